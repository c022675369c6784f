// Parts of the file layer shared by every system.
#include <random>
#include <system_error>

#include "OsFile.h"

namespace corvane::detail {

std::string DisplayName(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

Error SystemError(int code, std::string_view what, std::string_view name)
{
    std::string text = std::system_category().message(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    std::string description;
    description.append(what).append(" '").append(name).append("': ").append(text);
    return {static_cast<std::int32_t>(code), std::move(description)};
}

std::string TemporaryName()
{
    static thread_local std::mt19937 generator{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = ".cv";
    std::uint32_t bits = generator();
    for (int i = 0; i < 8; ++i, bits >>= 4) name += kHex[bits & 0xF];
    return name;
}

OsFile::OsFile(OsFile&& other) noexcept : handle_(other.handle_), owned_(other.owned_)
{
    other.owned_ = false;
}

OsFile& OsFile::operator=(OsFile&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        owned_ = other.owned_;
        other.owned_ = false;
    }
    return *this;
}

OsFile::~OsFile() { Close(); }

}  // namespace corvane::detail
