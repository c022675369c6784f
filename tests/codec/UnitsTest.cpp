// How both programs write sizes and durations (units/Units.h): the figures against values worked
// out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "units/Units.h"

namespace corvane {
namespace {

TEST(Units, SizesInBinaryUnitsWithThreeFigures)
{
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {1024, "1.00 KiB"},
        {1536, "1.50 KiB"},
        {10234, "9.99 KiB"},            // 9.994: still three figures
        {10235, "10.0 KiB"},            // 9.995 rounds up to 10.0, not "10.00"
        {102400, "100 KiB"},
        {1000 * 1024, "1000 KiB"},      // a unit is taken once there is one of it, as in Qt
        {1048575, "1024 KiB"},
        {1048576, "1.00 MiB"},
        {64 << 20, "64.0 MiB"},
        {1567663063, "1.46 GiB"},
        {std::uint64_t{5} << 40, "5.00 TiB"},
        {UINT64_MAX, "16.0 EiB"},
    };
    for (const auto& [bytes, text] : sizes) EXPECT_EQ(SizeText(bytes), text) << bytes;
}

TEST(Units, DurationsInTheirLargestTwoUnits)
{
    const std::pair<std::uint64_t, const char*> durations[] = {
        {0, "less than a second"}, {1, "1 s"},         {59, "59 s"},         {60, "1 min 00 s"},
        {185, "3 min 05 s"},       {3599, "59 min 59 s"}, {3600, "1 h 00 min"}, {7620, "2 h 07 min"},
        {360000, "100 h 00 min"},
    };
    for (const auto& [seconds, text] : durations) EXPECT_EQ(DurationText(seconds), text) << seconds;
}

}  // namespace
}  // namespace corvane
