// Paths and attributes on POSIX systems, where a name is any bytes and the attribute bits are
// derived from the permissions and the name.
#include <QByteArray>
#include <QDir>
#include <QUrl>

#include <string>
#include <string_view>
#include <system_error>

#include "codec/Describe.h"
#include "platform/Files.h"

namespace corvane::platform {

namespace fs = std::filesystem;

namespace {
constexpr char16_t kEscapedByte = 0xDC00;

bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }
}  // namespace

fs::path ToPath(const QString& path)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    qsizetype start = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsEscapedByte(path.at(i).unicode())) continue;
        bytes += QStringView(path).sliced(start, i - start).toUtf8().toStdString();
        if (i < path.size()) bytes += static_cast<char>(path.at(i).unicode() - kEscapedByte);
        start = i + 1;
    }
    return fs::path(std::move(bytes));
}

QString FromPath(const fs::path& path)
{
    const std::string_view bytes = path.native();
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const int length = Utf8SequenceLength(bytes.substr(i));
        if (length > 0) {
            i += static_cast<std::size_t>(length);
            continue;
        }
        text += QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(i - start));
        text += QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[i])));
        start = ++i;
    }
    text += QString::fromUtf8(bytes.data() + start, static_cast<qsizetype>(i - start));
    return text;
}

QString LocalPath(const QUrl& address)
{
    if (address.host().isEmpty()) {
        const QByteArray bytes = QByteArray::fromPercentEncoding(address.path(QUrl::FullyEncoded).toLatin1());
        return FromPath(fs::path(bytes.toStdString()));
    }
    return QDir::toNativeSeparators(address.toLocalFile());
}

QString Shown(const QString& path)
{
    QString shown = path;
    for (QChar& unit : shown) {
        if (IsEscapedByte(unit.unicode())) unit = QChar::ReplacementCharacter;
    }
    return shown;
}

std::optional<Error> CheckFileToOpen(const QString& path)
{
    std::error_code code;
    const fs::file_status status = fs::status(ToPath(path), code);
    if (!code && status.type() == fs::file_type::directory) code = std::make_error_code(std::errc::is_a_directory);
    if (code) return SystemError(code, "Cannot open", NameInMessage(path));
    return std::nullopt;
}

ErrorOr<quint32> FileAttributes(const QString& path)
{
    std::error_code code;
    const fs::file_status status = fs::status(ToPath(path), code);
    if (code) return SystemError(code, "Cannot read the attributes of", NameInMessage(path));
    quint32 bits = 0;
    if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) bits |= kReadOnly;
    if (ToPath(path).filename().native().starts_with('.')) bits |= kHidden;
    if (status.type() == fs::file_type::directory) bits |= kFolder;
    return bits;
}

}  // namespace corvane::platform
