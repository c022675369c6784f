// The stored layout's bag: default rules, names without regard to case, conversions, text form.
#include "platform/hosted/PropertyBag.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(PropertyBag, ReadGivesTheDefaultOnlyWhenTheNameIsAbsent)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("caption"), QStringLiteral("&About"));
    EXPECT_EQ(ToText(bag.ReadProperty(QStringLiteral("Caption"), QStringLiteral("x"))), QStringLiteral("&About"));
    EXPECT_EQ(ToText(bag.ReadProperty(QStringLiteral("CAPTION"), QStringLiteral("x"))), QStringLiteral("&About"));
    EXPECT_EQ(ToText(bag.ReadProperty(QStringLiteral("Tag"), QStringLiteral("x"))), QStringLiteral("x"));
}

TEST(PropertyBag, WriteStoresNothingWhenTheValueEqualsItsDefault)
{
    struct Row {
        const char* name;
        PropertyValue value;
        std::optional<PropertyValue> defaultValue;
        bool stored;
    };
    const Row rows[] = {
        {"Enabled", true, PropertyValue(true), false},
        {"Enabled", false, PropertyValue(true), true},
        {"ForeColor", std::int64_t{0x80000006}, std::nullopt, true},
        {"ForeHover", std::int64_t{0}, PropertyValue(std::int64_t{0}), false},
        {"Font", StdFont{}, PropertyValue(StdFont{}), false},
        {"Font", StdFont{QStringLiteral("Tahoma"), 8.25, 400, 0}, PropertyValue(StdFont{}), true},
    };
    for (const auto& row : rows) {
        PropertyBag bag;
        const QString name = QString::fromUtf8(row.name);
        row.defaultValue ? bag.WriteProperty(name, row.value, *row.defaultValue) : bag.WriteProperty(name, row.value);
        EXPECT_EQ(bag.Contains(name), row.stored) << row.name;
    }
}

TEST(PropertyBag, WritingTheDefaultForgetsAnEarlierValueAndNamesKeepTheirFirstSpelling)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("forehover"), std::int64_t{255});
    bag.WriteProperty(QStringLiteral("ForeHover"), std::int64_t{7});
    ASSERT_EQ(bag.Count(), 1u);
    EXPECT_EQ(bag.Entries()[0].first, QStringLiteral("forehover"));
    EXPECT_EQ(ToColor(bag.Entries()[0].second), 7u);
    bag.WriteProperty(QStringLiteral("FOREHOVER"), std::int64_t{0}, std::int64_t{0});
    EXPECT_EQ(bag.Count(), 0u);
}

TEST(PropertyBag, ConversionsFollowTheStoredType)
{
    EXPECT_TRUE(ToBoolean(std::int64_t{-1}));
    EXPECT_FALSE(ToBoolean(QStringLiteral("false")));
    EXPECT_EQ(ToLong(true), -1);
    EXPECT_EQ(ToLong(2.5), 2);  // halves to even
    EXPECT_EQ(ToLong(3.5), 4);
    EXPECT_EQ(ToColor(std::int64_t{0x80000006}), 0x80000006u);
    EXPECT_EQ(ToText(false), QStringLiteral("False"));
    EXPECT_THROW(ToFont(QStringLiteral("Tahoma")), TypeMismatch);
    EXPECT_THROW(ToBoolean(QStringLiteral("maybe")), TypeMismatch);
    EXPECT_THROW(ToLong(StdFont{}), TypeMismatch);
}

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
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, bag);
}

TEST(PropertyBag, TextFormAcceptsOneLineWithSemicolons)
{
    const auto bag = PropertyBag::FromText(
        QStringLiteral(R"(Caption = "Encode File!"; Font = Font("MS Sans Serif", 8.25, 400, 0); ForeColor = 0x80000006)"));
    ASSERT_TRUE(bag.has_value());
    EXPECT_EQ(ToText(bag->ReadProperty(QStringLiteral("caption"), QString())), QStringLiteral("Encode File!"));
    EXPECT_EQ(ToFont(bag->ReadProperty(QStringLiteral("font"), QString())).Size, 8.25);
    EXPECT_EQ(ToColor(bag->ReadProperty(QStringLiteral("forecolor"), QString())), 0x80000006u);
}

TEST(PropertyBag, MalformedTextIsAnErrorWithNumberAndDescription)
{
    const char* bad[] = {"Caption = \"open", "= 3", "Font = Font(\"x\", 8)", "Enabled = Maybe", "A = 1 2"};
    for (const char* text : bad) {
        Error error;
        EXPECT_FALSE(PropertyBag::FromText(QString::fromUtf8(text), &error).has_value()) << text;
        EXPECT_EQ(error.number, 380) << text;
        EXPECT_FALSE(error.description.isEmpty()) << text;
    }
}

}  // namespace
}  // namespace corvane::platform
