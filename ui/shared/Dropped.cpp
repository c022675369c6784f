#include "ui/shared/Dropped.h"

#include <system_error>

#include "codec/Describe.h"
#include "platform/Files.h"

namespace corvane {

Error FolderDropped(const QString& path)
{
    return SystemError(std::make_error_code(std::errc::is_a_directory), "Cannot code", platform::NameInMessage(path),
                       "drop files, not folders");
}

}  // namespace corvane
