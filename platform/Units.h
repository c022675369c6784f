// Sizes and durations as the windows show them: the rule of units/Units.h (binary units, three
// significant figures) in the user's language, through QLocale: "1.46 GiB" in English,
// "1,46 GiB" in German.
#pragma once

#include <QString>

#include <cstdint>

namespace corvane::platform {

// QLocale::formattedDataSize of the default locale (the system's unless a test set another),
// with units/Units.h's figures: "512 bytes", "1.46 GiB".
QString SizeText(std::uint64_t bytes);
// units/Units.h's DurationText: "3 min 05 s".
QString DurationText(std::uint64_t seconds);

}  // namespace corvane::platform
