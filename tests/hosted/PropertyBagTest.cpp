// The stored layout's bag: default rules, names without regard to case, conversions.
#include "platform/hosted/PropertyBag.h"

#include <gtest/gtest.h>

namespace corvane::platform {
namespace {

TEST(PropertyBag, ReadGivesTheDefaultOnlyWhenTheNameIsAbsent)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("caption"), QStringLiteral("&About"));
    const PropertyValue stored = QStringLiteral("&About");
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Caption"), QStringLiteral("x")), stored);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("CAPTION"), QStringLiteral("x")), stored);
    EXPECT_EQ(bag.ReadProperty(QStringLiteral("Tag"), QStringLiteral("x")), PropertyValue(QStringLiteral("x")));
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
        SCOPED_TRACE(row.name);
        PropertyBag bag;
        const QString name = QString::fromUtf8(row.name);
        row.defaultValue ? bag.WriteProperty(name, row.value, *row.defaultValue) : bag.WriteProperty(name, row.value);
        EXPECT_EQ(bag.Contains(name), row.stored);
    }
}

TEST(PropertyBag, WritingTheDefaultForgetsAnEarlierValueAndNamesKeepTheirFirstSpelling)
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("forehover"), std::int64_t{255});
    bag.WriteProperty(QStringLiteral("ForeHover"), std::int64_t{7});
    ASSERT_EQ(bag.Count(), 1u);
    EXPECT_EQ(bag.Entries()[0].first, QStringLiteral("forehover"));
    EXPECT_EQ(bag.Entries()[0].second, PropertyValue(std::int64_t{7}));
    bag.WriteProperty(QStringLiteral("FOREHOVER"), std::int64_t{0}, std::int64_t{0});
    EXPECT_EQ(bag.Count(), 0u);
}

TEST(PropertyBag, ConversionsFollowTheStoredType)
{
    EXPECT_EQ(ToBoolean(std::int64_t{-1}).value(), true);
    EXPECT_EQ(ToBoolean(QStringLiteral("false")).value(), false);
    EXPECT_EQ(ToLong(true).value(), -1);
    EXPECT_EQ(ToLong(2.5).value(), 2);  // halves to even
    EXPECT_EQ(ToLong(3.5).value(), 4);
    EXPECT_EQ(ToColor(std::int64_t{0x80000006}).value(), 0x80000006u);
    EXPECT_EQ(ToText(false).value(), QStringLiteral("False"));
}

TEST(PropertyBag, AValueOfAnotherKindIsATypeMismatch)
{
    const corvane::Error mismatch{13, "Type mismatch"};
    EXPECT_EQ(ToFont(QStringLiteral("Tahoma")).error(), mismatch);
    EXPECT_EQ(ToBoolean(QStringLiteral("maybe")).error(), mismatch);
    EXPECT_EQ(ToLong(StdFont{}).error(), mismatch);
    EXPECT_EQ(ToLong(std::int64_t{0x100000000}).error(), mismatch);  // wider than 32 bits
    EXPECT_EQ(ToColor(QStringLiteral("red")).error(), mismatch);
    EXPECT_EQ(ToText(StdFont{}).error(), mismatch);
}

TEST(PropertyBag, FirstErrorNamesTheFirstFailedConversion)
{
    const ErrorOr<bool> good = true;
    const ErrorOr<std::int32_t> bad{corvane::Error{13, "first"}};
    const ErrorOr<QString> worse{corvane::Error{380, "second"}};
    EXPECT_FALSE(FirstError(good, good).has_value());
    EXPECT_EQ(FirstError(good, bad, worse), (corvane::Error{13, "first"}));
    EXPECT_EQ(FirstError(worse, bad), (corvane::Error{380, "second"}));
}

}  // namespace
}  // namespace corvane::platform


