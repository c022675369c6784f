#include "ui/shared/BatchPlan.h"

namespace corvane {

Run RunFrom(std::span<const JobFile> files, std::size_t first, Grouping grouping)
{
    if (first >= files.size()) return {files.size(), files.size(), {}};
    const QString& folder = files[first].folder;
    std::size_t end = first + 1;
    if (grouping == Grouping::ByFolder) {
        while (end < files.size() && files[end].folder == folder) ++end;
    }
    return {first, end, folder};
}

}  // namespace corvane
