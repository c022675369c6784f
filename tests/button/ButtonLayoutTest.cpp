// The button's properties, stored layout, access keys, shape and caption placement, and the
// layout row that places the program's buttons.
#include <gtest/gtest.h>
#include "ButtonFixture.h"

#include "ui/button/ButtonRow.h"
#include "ui/button/Mnemonic.h"

#include <QFontMetrics>

#include <array>
#include <tuple>

namespace corvane::testing {
namespace {

using platform::ColorValue;
using platform::PropertyBag;
using platform::PropertyValue;
using platform::StdFont;

constexpr OleColor kWindowFrame = 0x80000006;
const StdFont kSansSerif{QStringLiteral("MS Sans Serif"), 8.25, 400, 0};

// A holding window with a font and foreground colour of its own, and one button in it.
class Holder : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPointSizeF(10);
        window.setFont(font);
        window.resize(200, 100);
        platform::SetAmbientForeColor(&window, platform::Rgb(0, 0, 128));
    }
    ZelXpButton* Button(const char* name = "cmdencode")
    {
        auto* button = new ZelXpButton(&window);
        button->setObjectName(QString::fromUtf8(name));
        button->setGeometry(10, 10, 75, 23);
        return button;
    }
    // A stored layout with these entries, in this order.
    static PropertyBag Bag(std::initializer_list<std::pair<const char*, PropertyValue>> entries)
    {
        PropertyBag bag;
        for (const auto& [name, value] : entries) bag.WriteProperty(QString::fromUtf8(name), value);
        return bag;
    }
    // The layout every button of the program's windows stores.
    static PropertyBag ProgramLayout(const char* caption)
    {
        return Bag({{"caption", QString::fromUtf8(caption)},
                    {"font", kSansSerif},
                    {"forecolor", ColorValue(kWindowFrame)},
                    {"forehover", ColorValue(0)}});
    }

    QWidget window;
};

TEST_F(Holder, ANewInstanceIsCaptionedWithItsNameInTheWindowsFont)
{
    ZelXpButton* button = Button();
    button->InitProperties();
    EXPECT_EQ(button->Caption(), QStringLiteral("cmdencode"));
    EXPECT_EQ(button->Font().Name, QStringLiteral("DejaVu Serif"));
    EXPECT_TRUE(button->Enabled());
    EXPECT_EQ(button->ForeColor(), kWindowFrame);  // the class setting
    EXPECT_EQ(button->ForeHover(), 0u);
    EXPECT_TRUE(button->AccessKeys().isEmpty());
    EXPECT_FALSE(button->LayoutChanged());
}

// The row that places the program's buttons gives each the program's settings, not those of the
// window that holds it, and its caption exactly as written.
class ProgramButtonRow : public Holder, public ::testing::WithParamInterface<const char*> {};

TEST_P(ProgramButtonRow, MakesTheButtonWithTheWindowFontAndItsCaptionAsWritten)
{
    const char* caption = GetParam();
    const platform::ControlRow row = XpButtonRow("cmdSample", caption, {120, 240, 1215, 495}, 7);
    ASSERT_TRUE(row.create);
    auto* button = qobject_cast<ZelXpButton*>(row.create(&window));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->Caption(), QString::fromUtf8(caption));
    EXPECT_EQ(button->Font(), kSansSerif);
    EXPECT_EQ(button->ForeColor(), kWindowFrame);
    EXPECT_EQ(button->ForeHover(), 0u);  // black
}

INSTANTIATE_TEST_SUITE_P(Captions, ProgramButtonRow,
                         ::testing::Values("&About", "Say \"hi\"", "C:\\Temp\\a.txt", "a&&b", ""));

TEST_F(Holder, AnEmptyLayoutReadsTheWindowsValuesAndForeHoverFallsBackToTheButtonsForeColor)
{
    ZelXpButton* button = Button();
    ASSERT_FALSE(button->ReadProperties(PropertyBag{}).has_value());
    EXPECT_EQ(button->Caption(), QStringLiteral("cmdencode"));
    EXPECT_EQ(button->Font().Name, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(button->ForeColor(), platform::Rgb(0, 0, 128));
    EXPECT_EQ(button->ForeHover(), platform::Rgb(0, 0, 128));

    ZelXpButton* own = Button("cmdOwn");
    ASSERT_FALSE(own->ReadProperties(Bag({{"forecolor", ColorValue(kWindowFrame)}})).has_value());
    EXPECT_EQ(own->ForeHover(), kWindowFrame);  // the button's own colour, not the window's
}

TEST_F(Holder, TheProgramsLayoutGivesAnEnabledButtonWithItsAccessKey)
{
    ZelXpButton* button = Button();
    ASSERT_FALSE(button->ReadProperties(ProgramLayout("&Encode File!")).has_value());
    EXPECT_EQ(button->Caption(), QStringLiteral("&Encode File!"));
    EXPECT_EQ(button->Font(), kSansSerif);
    EXPECT_EQ(button->ForeColor(), kWindowFrame);
    EXPECT_EQ(button->ForeHover(), 0u);
    EXPECT_TRUE(button->Enabled());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->AccessKeys(), QStringLiteral("e"));
}

TEST_F(Holder, ALayoutWithEnabledFalseGivesADisabledWindowFromTheFirstRepaint)
{
    ZelXpButton* button = Button();
    ASSERT_FALSE(button->ReadProperties(Bag({{"Enabled", false}, {"Caption", QStringLiteral("x")}})).has_value());
    EXPECT_FALSE(button->isEnabled());
    window.show();
    EXPECT_EQ(button->Look(), ButtonLook::Disabled);
}

TEST_F(Holder, AValueOfTheWrongKindFailsTheRead)
{
    ZelXpButton* button = Button();
    const PropertyBag wrongFont = Bag({{"Caption", QStringLiteral("Kept out")}, {"Font", QStringLiteral("Tahoma")}});
    EXPECT_EQ(button->ReadProperties(wrongFont),
              (corvane::Error{13, "Type mismatch"}));
    EXPECT_EQ(button->Caption(), QString()) << "a failed read applies nothing";
}

TEST_F(Holder, WriteStoresOnlyValuesThatDifferFromTheirDefaultsAndAlwaysForeColor)
{
    struct Row {
        const char* what;
        PropertyBag read;
        PropertyBag written;
    };
    const Row rows[] = {
        {"the program's layout", ProgramLayout("&About"),
         Bag({{"Font", kSansSerif},
              {"Caption", QStringLiteral("&About")},
              {"ForeColor", ColorValue(kWindowFrame)},
              {"ForeHover", ColorValue(0)}})},
        // Caption equal to the name, the window's font and hover colour: only ForeColor is stored.
        {"defaults",
         Bag({{"Caption", QStringLiteral("cmdencode")}, {"ForeColor", ColorValue(0x80)}, {"ForeHover", ColorValue(0x800000)}}),
         Bag({{"ForeColor", ColorValue(0x80)}})},
        {"disabled", Bag({{"ForeColor", ColorValue(0x800000)}, {"Enabled", false}}),
         Bag({{"Enabled", false}, {"ForeColor", ColorValue(0x800000)}})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ZelXpButton* button = Button();
        EXPECT_FALSE(button->ReadProperties(row.read).has_value());
        EXPECT_EQ(button->WriteProperties(), row.written);
        delete button;
    }
}

TEST_F(Holder, AWrittenLayoutReadsBackToTheSameButton)
{
    ZelXpButton* button = Button();
    button->InitProperties();
    button->SetCaption(QStringLiteral("Save && E&xit"));
    button->SetFont(StdFont{QStringLiteral("Tahoma"), 9.75, 700, 1});
    button->SetForeColor(platform::Rgb(10, 20, 30));
    button->SetForeHover(platform::Rgb(0, 0, 128));  // the window's colour: not stored
    button->SetEnabled(false);
    EXPECT_TRUE(button->LayoutChanged());
    const PropertyBag written = button->WriteProperties();
    EXPECT_FALSE(written.Contains(QStringLiteral("ForeHover")));

    ZelXpButton* copy = Button();
    ASSERT_FALSE(copy->ReadProperties(written).has_value());
    EXPECT_EQ(copy->Caption(), button->Caption());
    EXPECT_EQ(copy->Font(), button->Font());
    EXPECT_EQ(copy->ForeColor(), button->ForeColor());
    EXPECT_EQ(copy->ForeHover(), button->ForeColor());  // read back as the button's own colour
    EXPECT_EQ(copy->Enabled(), false);
    EXPECT_EQ(copy->AccessKeys(), QStringLiteral("x"));
}

TEST_F(Holder, SettersRepaintAndReportInTheirOrder)
{
    // Whether the surface already shows the change when the holder hears PropertyChanged, and
    // whether the setter repaints at all.
    struct Row {
        const char* name;
        std::function<void(ZelXpButton*)> set;
        bool repaintedBeforeChanged;
        bool repaints;
    };
    const Row rows[] = {
        {"Enabled", [](ZelXpButton* b) { b->SetEnabled(false); }, false, true},
        {"Font", [](ZelXpButton* b) { b->SetFont(StdFont{QStringLiteral("DejaVu Sans"), 14, 700, 0}); }, true, true},
        {"Caption", [](ZelXpButton* b) { b->SetCaption(QStringLiteral("Other")); }, true, true},
        {"ForeColor", [](ZelXpButton* b) { b->SetForeColor(platform::Rgb(255, 0, 0)); }, true, true},
        {"ForeHover", [](ZelXpButton* b) { b->SetForeHover(platform::Rgb(255, 0, 0)); }, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ZelXpButton* button = Button();
        EXPECT_FALSE(button->ReadProperties(ProgramLayout("Go")).has_value());
        window.show();
        const QImage before = button->Image();
        QStringList changed;
        bool repaintedFirst = false;
        QObject::connect(button, &platform::UserControl::LayoutPropertyChanged, [&](const QString& name) {
            changed << name;
            repaintedFirst = button->Image() != before;
        });
        row.set(button);
        EXPECT_EQ(changed, QStringList{QString::fromUtf8(row.name)});
        EXPECT_EQ(repaintedFirst, row.repaintedBeforeChanged);
        EXPECT_EQ(button->Image() != before, row.repaints);
        delete button;
    }
}

TEST_F(Holder, SettersCalledThroughTheHostedControlBaseStillRepaint)
{
    ZelXpButton* button = Button();
    EXPECT_FALSE(button->ReadProperties(ProgramLayout("Go")).has_value());
    window.show();
    platform::UserControl* base = button;
    const QImage normal = button->Image();

    base->SetForeColor(platform::Rgb(255, 0, 0));
    EXPECT_NE(button->Image(), normal);
    base->SetFont(StdFont{QStringLiteral("DejaVu Sans"), 14, 700, 0});
    EXPECT_EQ(button->Font().Size, 14);
    base->SetEnabled(false);
    EXPECT_EQ(button->Look(), ButtonLook::Disabled);
    EXPECT_FALSE(base->Enabled());
    EXPECT_FALSE(button->Enabled());
    EXPECT_TRUE(button->LayoutChanged());
}

// Each caption with the text the face shows, the character it underlines and the access key.
struct MnemonicRow {
    const char* caption;
    const char* shown;
    qsizetype underlined;
    const char* key;
};

std::ostream& operator<<(std::ostream& out, const MnemonicRow& row)
{
    return out << '"' << row.caption << '"';
}

class CaptionMarkers : public ::testing::TestWithParam<MnemonicRow> {};

TEST_P(CaptionMarkers, GiveTheFaceAndTheAccessKeyTheSameCharacter)
{
    const MnemonicRow& row = GetParam();
    const Mnemonic parsed = ParseMnemonic(QString::fromUtf8(row.caption));
    EXPECT_EQ(parsed.Text, QString::fromUtf8(row.shown));
    EXPECT_EQ(parsed.Underlined, row.underlined);
    ZelXpButton button;
    button.SetCaption(QString::fromUtf8(row.caption));
    EXPECT_EQ(button.AccessKeys(), QString::fromUtf8(row.key));
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionMarkers, ::testing::Values(
    MnemonicRow{"&About", "About", 0, "a"},
    MnemonicRow{"&OK", "OK", 0, "o"},
    MnemonicRow{"&Visit Website", "Visit Website", 0, "v"},
    MnemonicRow{"Exit", "Exit", -1, ""},
    MnemonicRow{"E&xit", "Exit", 1, "x"},
    MnemonicRow{"E&XIT", "EXIT", 1, "x"},
    MnemonicRow{"Save && Exit", "Save & Exit", -1, ""},
    MnemonicRow{"a&&b&c", "a&bc", 3, "c"},
    MnemonicRow{"&&&x", "&x", 1, "x"},
    MnemonicRow{"a&&b&&c&d", "a&b&cd", -1, ""},
    MnemonicRow{"&a&&b&&c", "a&b&c", 0, "a"},
    MnemonicRow{"&a&b", "ab", 0, "a"},
    MnemonicRow{"x&", "x", -1, ""},
    MnemonicRow{"&", "", -1, ""},
    MnemonicRow{"", "", -1, ""},
    MnemonicRow{"a&&", "a&", -1, ""},
    MnemonicRow{"&&x&", "&x", -1, ""}));

// The face of a button captioned `caption`, normal look.
QImage FaceWith(const char* caption)
{
    platform::UserControl surface;
    surface.resize(75, 23);
    surface.SetFont(StdFont{QStringLiteral("DejaVu Sans"), 8.25, 400, 0});
    ButtonFaceState state;
    state.Caption = QString::fromUtf8(caption);
    ButtonFace(surface, GeometryOf(platform::GetClientRect(&surface)), state).Draw(ButtonLook::Normal);
    return surface.Image();
}

TEST(CaptionMarkers, TheFaceUnderlinesOnlyTheAccessKey)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows shows access keys underlined only once Alt is pressed";
#endif
    struct Row {
        const char* caption;
        const char* sameFaceAs;  // a caption that shows the same text and underline
    };
    const Row rows[] = {{"a&&b&&c&d", "a&&b&&cd"}, {"&a&b", "&ab"}, {"x&", "x"}, {"&&x&", "&&x"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(FaceWith(row.caption), FaceWith(row.sameFaceAs));
    }
    EXPECT_NE(FaceWith("&OK"), FaceWith("OK"));
}

TEST(ButtonShape, CutsExactlyTheFourCornerPixelsAfterEveryRepaint)
{
    QWidget window;
    auto* button = new ZelXpButton(&window);
    button->setGeometry(0, 0, 75, 23);
    Configure(button, QStringLiteral("OK"));
    window.show();
    QRegion expected(0, 0, 75, 23);
    for (const QPoint corner : {QPoint(0, 0), QPoint(0, 22), QPoint(74, 0), QPoint(74, 22)})
        expected -= QRegion(corner.x(), corner.y(), 1, 1);
    EXPECT_EQ(button->mask(), expected);
    button->resize(40, 33);
    QRegion resized(0, 0, 40, 33);
    for (const QPoint corner : {QPoint(0, 0), QPoint(0, 32), QPoint(39, 0), QPoint(39, 32)})
        resized -= QRegion(corner.x(), corner.y(), 1, 1);
    EXPECT_EQ(button->mask(), resized);
    button->SetCaption(QStringLiteral("Again"));
    EXPECT_EQ(button->mask(), resized);
}

// The rows of the caption's ink, and whether it is the text colour smoothed onto the face: every
// inked pixel lies, channel by channel, between the face colour of its row and the text colour,
// and the darkest comes within a quarter of the way to the text colour.
struct Ink {
    int top = 1000, bottom = -1;
    bool blends = true;
    double closest = 1.0;  // of the inked pixels, the least share of the way from the text colour to the face
};
Ink InkOf(const QImage& image, QRgb text)
{
    Ink ink;
    const auto channels = [](QRgb rgb) { return std::array<int, 3>{qRed(rgb), qGreen(rgb), qBlue(rgb)}; };
    for (int y = 3; y < image.height() - 4; ++y)
        for (int x = 4; x < image.width() - 4; ++x) {
            const QRgb rgb = image.pixel(x, y);
            const QRgb face = image.pixel(3, y);  // the face colour of this row, beside the text
            if (rgb == face) continue;
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            const auto [p, f, t] = std::tuple{channels(rgb), channels(face), channels(text)};
            double share = 0;
            for (int c = 0; c < 3; ++c) {
                ink.blends = ink.blends && p[c] >= std::min(f[c], t[c]) && p[c] <= std::max(f[c], t[c]);
                if (f[c] != t[c]) share = std::max(share, double(p[c] - t[c]) / (f[c] - t[c]));
            }
            ink.closest = std::min(ink.closest, share);
        }
    return ink;
}

TEST(ButtonCaption, IsDrawnInsideItsCentredRectangleInTheLooksColour)
{
    for (const int H : {23, 24, 33}) {
        SCOPED_TRACE(::testing::Message() << "height " << H);
        QWidget window;
        auto* button = new ZelXpButton(&window);
        button->setGeometry(0, 0, 75, H);
        Configure(button, QStringLiteral("Hg"));
        window.show();
        const int textHeight = QFontMetrics(platform::ToQFont(button->Font()), &button->Image()).height();
        const auto rect = CaptionRectangle(75, H, textHeight);
        const QRgb black = qRgb(0, 0, 0);  // the window frame colour resolves to black
        const Ink ink = InkOf(button->Image(), black);
        EXPECT_LE(ink.top, ink.bottom) << "no caption drawn";
        EXPECT_GE(ink.top, rect.Top);
        EXPECT_LT(ink.bottom, rect.Bottom);
        EXPECT_TRUE(ink.blends);
        EXPECT_LE(ink.closest, 0.25);

        button->SetEnabled(false);
        const Ink disabled = InkOf(button->Image(), qRgb(161, 161, 146));
        EXPECT_LE(disabled.top, disabled.bottom) << "no caption drawn";
        EXPECT_TRUE(disabled.blends);
        EXPECT_LE(disabled.closest, 0.25);
        EXPECT_GT(InkOf(button->Image(), black).closest, 0.25) << "the disabled caption comes nowhere near black";
    }
}

}  // namespace
}  // namespace corvane::testing
