// Sizes in the windows: the companion's rule (units/Units.h) in the user's language, through Qt.
#include <gtest/gtest.h>

#include <QLocale>

#include <cstdint>

#include "platform/Units.h"
#include "units/Units.h"

namespace corvane {
namespace {

// Sets the default locale for one test and puts the earlier one back.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(earlier_); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale earlier_;
};

constexpr std::uint64_t kSizes[] = {0,       1,        999,        1023,       1024,      10234,
                                    10235,   102400,   1048575,    1048576,    64 << 20,  1567663063,
                                    std::uint64_t{5} << 40, (std::uint64_t{1} << 62) + 12345};

TEST(WindowUnits, EnglishWindowsWriteSizesAsTheCompanionDoes)
{
    const LocaleScope english(QLocale(QLocale::English, QLocale::UnitedKingdom));
    for (const std::uint64_t bytes : kSizes) {
        // English separates thousands ("1,023 bytes"), which the companion does not.
        EXPECT_EQ(platform::SizeText(bytes).remove(QLatin1Char(',')).toStdString(), SizeText(bytes)) << bytes;
    }
}

TEST(WindowUnits, SizesFollowTheUsersLanguage)
{
    const LocaleScope german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(platform::SizeText(1567663063), QStringLiteral("1,46 GiB"));
    EXPECT_EQ(platform::SizeText(64 << 20), QStringLiteral("64,0 MiB"));
    EXPECT_EQ(platform::DurationText(185), QStringLiteral("3 min 05 s"));
}

}  // namespace
}  // namespace corvane
