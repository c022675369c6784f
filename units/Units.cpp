#include "units/Units.h"

#include <bit>
#include <cmath>
#include <cstdio>

namespace corvane {

namespace {
constexpr const char* kUnitNames[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
}  // namespace

SizeInUnits InUnits(std::uint64_t bytes)
{
    if (bytes < 1024) return {static_cast<double>(bytes), 0, 0};
    // The largest power of 1024 not above the size: a tenth of the highest bit's position.
    const int unit = (63 - std::countl_zero(bytes)) / 10;
    const double value = static_cast<double>(bytes) / std::pow(1024.0, unit);
    // Three figures once rounded: 9.996 shows as "10.0", not "10.00".
    const int decimals = value < 9.995 ? 2 : value < 99.95 ? 1 : 0;
    return {value, unit, decimals};
}

std::string SizeText(std::uint64_t bytes)
{
    const SizeInUnits size = InUnits(bytes);
    char text[32];
    if (size.unit == 0) {
        std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(bytes), kUnitNames[0]);
    } else {
        std::snprintf(text, sizeof text, "%.*f %s", size.decimals, size.value, kUnitNames[size.unit]);
    }
    return text;
}

std::string DurationText(std::uint64_t seconds)
{
    if (seconds == 0) return "less than a second";
    char text[48];
    const auto whole = static_cast<unsigned long long>(seconds);
    if (whole < 60) {
        std::snprintf(text, sizeof text, "%llu s", whole);
    } else if (whole < 3600) {
        std::snprintf(text, sizeof text, "%llu min %02llu s", whole / 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%llu h %02llu min", whole / 3600, whole / 60 % 60);
    }
    return text;
}

}  // namespace corvane
