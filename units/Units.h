// How Corvane writes amounts, in the companion and in the windows alike.
//
// Sizes are in binary units, each 1024 times the one before (KiB, MiB, GiB, ... as the IEC names
// them), with three significant figures: "512 bytes", "1.46 GiB", "12.5 MiB", "125 KiB". A size
// takes the largest unit it has at least one of, so 1000 to 1023 KiB stay in KiB ("1010 KiB").
// This is the rule of Qt's QLocale::formattedDataSize in its IEC format, whose locale-aware text
// the windows show (platform/Units.h); SizeText is the same text in English with a "." decimal
// point, for the companion, which has no Qt.
//
// Durations are whole seconds in their largest two units: "less than a second", "12 s",
// "3 min 05 s", "2 h 07 min".
#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// A size as it is written: `value` of `unit` (0 for bytes, 1 for KiB, ... 6 for EiB), shown with
// `decimals` digits after the point.
struct SizeInUnits {
    double value;
    int unit;
    int decimals;
};

SizeInUnits InUnits(std::uint64_t bytes);

// "0 bytes", "1023 bytes", "1.00 KiB", "1.46 GiB", "16.0 EiB".
std::string SizeText(std::uint64_t bytes);

// "less than a second", "59 s", "1 min 00 s", "59 min 59 s", "1 h 00 min", "2 h 07 min".
std::string DurationText(std::uint64_t seconds);

}  // namespace corvane
