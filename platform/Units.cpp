#include "platform/Units.h"

#include <QLocale>

#include <algorithm>
#include <limits>

#include "units/Units.h"

namespace corvane::platform {

QString SizeText(std::uint64_t bytes)
{
    // Qt counts in qint64; no file or speed comes near its 8 EiB.
    const auto size = static_cast<qint64>(std::min<std::uint64_t>(bytes, std::numeric_limits<qint64>::max()));
    return QLocale().formattedDataSize(size, InUnits(bytes).decimals, QLocale::DataSizeIecFormat);
}

QString DurationText(std::uint64_t seconds) { return QString::fromStdString(corvane::DurationText(seconds)); }

}  // namespace corvane::platform
