// The button's properties, stored layout, access keys, shape and caption placement.
#include "ButtonFixture.h"

#include <QFontMetrics>

namespace corvane::testing {
namespace {

using platform::PropertyBag;
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
    static PropertyBag Parse(const char* text) { return *PropertyBag::FromText(QString::fromUtf8(text)); }

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

TEST_F(Holder, AnEmptyLayoutReadsTheWindowsValuesAndForeHoverFallsBackToTheButtonsForeColor)
{
    ZelXpButton* button = Button();
    ASSERT_FALSE(button->ReadProperties(PropertyBag{}).has_value());
    EXPECT_EQ(button->Caption(), QStringLiteral("cmdencode"));
    EXPECT_EQ(button->Font().Name, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(button->ForeColor(), platform::Rgb(0, 0, 128));
    EXPECT_EQ(button->ForeHover(), platform::Rgb(0, 0, 128));

    ZelXpButton* own = Button("cmdOwn");
    ASSERT_FALSE(own->ReadProperties(Parse("forecolor = 0x80000006")).has_value());
    EXPECT_EQ(own->ForeHover(), kWindowFrame);  // the button's own colour, not the window's
}

TEST_F(Holder, TheProgramsLayoutGivesAnEnabledButtonWithItsAccessKey)
{
    ZelXpButton* button = Button();
    ASSERT_FALSE(button->ReadProperties(Layout("&Encode File!")).has_value());
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
    ASSERT_FALSE(button->ReadProperties(Parse("Enabled = False; Caption = \"x\"")).has_value());
    EXPECT_FALSE(button->isEnabled());
    window.show();
    EXPECT_EQ(button->Look(), ButtonLook::Disabled);
}

TEST_F(Holder, AValueOfTheWrongKindFailsTheRead)
{
    ZelXpButton* button = Button();
    const auto error = button->ReadProperties(Parse("Font = \"Tahoma\""));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number, 13);
}

TEST_F(Holder, WriteStoresOnlyValuesThatDifferFromTheirDefaultsAndAlwaysForeColor)
{
    struct Row {
        const char* layout;
        const char* written;
    };
    const Row rows[] = {
        {"Caption = \"&About\"; Font = Font(\"MS Sans Serif\", 8.25, 400, 0); ForeColor = 0x80000006; ForeHover = 0",
         "Font = Font(\"MS Sans Serif\", 8.25, 400, 0)\nCaption = \"&About\"\nForeColor = 0x80000006\nForeHover = 0\n"},
        // Caption equal to the name, the window's font and hover colour: only ForeColor is stored.
        {"Caption = \"cmdencode\"; ForeColor = 0x80; ForeHover = 0x800000",
         "ForeColor = 128\n"},
        {"ForeColor = 0x800000; Enabled = False", "Enabled = False\nForeColor = 0x00800000\n"},
    };
    for (const auto& row : rows) {
        ZelXpButton* button = Button();
        ASSERT_FALSE(button->ReadProperties(Parse(row.layout)).has_value()) << row.layout;
        EXPECT_EQ(button->WriteProperties().ToText(), QString::fromUtf8(row.written)) << row.layout;
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
    const QString text = button->WriteProperties().ToText();
    EXPECT_FALSE(text.contains(QLatin1String("ForeHover"))) << text.toStdString();

    ZelXpButton* copy = Button();
    ASSERT_FALSE(copy->ReadProperties(*PropertyBag::FromText(text)).has_value());
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
        ZelXpButton* button = Button();
        button->ReadProperties(Layout("Go"));
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
        EXPECT_EQ(repaintedFirst, row.repaintedBeforeChanged) << row.name;
        EXPECT_EQ(button->Image() != before, row.repaints) << row.name;
        delete button;
    }
}

TEST(ButtonAccessKeys, FollowTheCaptionsFirstMarker)
{
    struct Row {
        const char* caption;
        const char* key;
    };
    const Row rows[] = {
        {"&About", "a"},     {"&OK", "o"},          {"&Visit Website", "v"}, {"Exit", ""},
        {"E&XIT", "x"},      {"Save && Exit", ""},  {"a&&b&c", "c"},         {"&&&x", "x"},
        {"a&&b&&c&d", ""},   {"x&", ""},            {"&", ""},               {"", ""},
        {"a&&", ""},         {"&&x&", ""},
    };
    for (const auto& row : rows) {
        ZelXpButton button;
        button.SetCaption(QString::fromUtf8(row.caption));
        EXPECT_EQ(button.AccessKeys(), QString::fromUtf8(row.key)) << '"' << row.caption << '"';
    }
}

TEST(ButtonShape, CutsExactlyTheFourCornerPixelsAfterEveryRepaint)
{
    QWidget window;
    auto* button = new ZelXpButton(&window);
    button->setGeometry(0, 0, 75, 23);
    button->ReadProperties(Layout("OK"));
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

// The rows and colours of the caption's ink.
struct Ink {
    int top = 1000, bottom = -1;
    QSet<QRgb> colours;
};
Ink InkOf(const QImage& image, QRgb face)
{
    Ink ink;
    for (int y = 3; y < image.height() - 4; ++y)
        for (int x = 4; x < image.width() - 4; ++x) {
            const QRgb rgb = image.pixel(x, y);
            const QRgb row = image.pixel(3, y);  // the face colour of this row, beside the text
            if (rgb == row || rgb == face) continue;
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            ink.colours.insert(rgb);
        }
    return ink;
}

TEST(ButtonCaption, IsDrawnInsideItsCentredRectangleInTheLooksColour)
{
    for (const int H : {23, 24, 33}) {
        QWidget window;
        auto* button = new ZelXpButton(&window);
        button->setGeometry(0, 0, 75, H);
        button->ReadProperties(Layout("Hg"));
        window.show();
        const int textHeight = QFontMetrics(platform::ToQFont(button->Font()), &button->Image()).height();
        const auto rect = CaptionRectangle(75, H, textHeight);
        const Ink ink = InkOf(button->Image(), 0);
        ASSERT_LE(ink.top, ink.bottom) << "no caption drawn at height " << H;
        EXPECT_GE(ink.top, rect.Top) << H;
        EXPECT_LT(ink.bottom, rect.Bottom) << H;
        EXPECT_EQ(ink.colours, QSet<QRgb>{qRgb(0, 0, 0)}) << "window frame colour resolves to black, height " << H;

        button->SetEnabled(false);
        EXPECT_EQ(InkOf(button->Image(), 0).colours, QSet<QRgb>{qRgb(161, 161, 146)}) << H;
    }
}

}  // namespace
}  // namespace corvane::testing
