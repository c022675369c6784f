// The text form of the stored layout's bag: every kind of value round-trips, and malformed text is
// an error that names the entry.
#include "platform/hosted/PropertyBag.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(PropertyBag, TextFormRoundTripsEveryKindOfValue)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("caption"), QStringLiteral("Say \"hi\" \\ & bye\nnow"));
    bag.WriteProperty(QStringLiteral("font"), StdFont{QStringLiteral("MS Sans Serif"), 8.25, 700, 204});
    bag.WriteProperty(QStringLiteral("forecolor"), std::int64_t{0x80000006});
    bag.WriteProperty(QStringLiteral("forehover"), std::int64_t{0});
    bag.WriteProperty(QStringLiteral("Enabled"), false);
    bag.WriteProperty(QStringLiteral("Ratio"), 0.5);
    bag.WriteProperty(QStringLiteral("Whole"), 3.0);

    const QString text = bag.ToText();
    EXPECT_TRUE(text.contains(QStringLiteral("forecolor = 0x80000006"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("font = Font(\"MS Sans Serif\", 8.25, 700, 204)"))) << text.toStdString();
    const auto back = PropertyBag::FromText(text);
    ASSERT_TRUE(back.has_value()) << back.error().description;
    EXPECT_EQ(*back, bag);
}

TEST(PropertyBag, TextFormAcceptsOneLineWithSemicolons)
{
    const auto bag = PropertyBag::FromText(
        QStringLiteral(R"(Caption = "Encode File!"; Font = Font("MS Sans Serif", 8.25, 400, 0); ForeColor = 0x80000006)"));
    ASSERT_TRUE(bag.has_value()) << bag.error().description;
    EXPECT_EQ(bag->ReadProperty(QStringLiteral("caption"), QString()), PropertyValue(QStringLiteral("Encode File!")));
    EXPECT_EQ(ToFont(bag->ReadProperty(QStringLiteral("font"), QString())).value().Size, 8.25);
    EXPECT_EQ(bag->ReadProperty(QStringLiteral("forecolor"), QString()), PropertyValue(std::int64_t{0x80000006}));
}

TEST(PropertyBag, MalformedTextIsAnErrorWithNumberAndDescription)
{
    const char* bad[] = {"Caption = \"open", "= 3", "Font = Font(\"x\", 8)", "Enabled = Maybe", "A = 1 2"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        const auto bag = PropertyBag::FromText(QString::fromUtf8(text));
        EXPECT_FALSE(bag.has_value());
        if (bag.has_value()) continue;
        EXPECT_EQ(bag.error().number, 380);
        EXPECT_NE(bag.error().description.find(text), std::string::npos) << bag.error().description;
    }
}

}  // namespace
}  // namespace corvane::platform
