#include "Console.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cwchar>
#include <locale.h>
#endif

namespace corvane::tools {

namespace {
constexpr int kDefaultColumns = 80;
}  // namespace

#ifdef _WIN32
int Write(std::FILE* to, std::string_view text)
{
    HANDLE console = ::GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(console, &mode)) {
        const int size = static_cast<int>(text.size());
        std::wstring wide(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
        DWORD written = 0;
        if (::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) return 0;
        return static_cast<int>(::GetLastError());
    }
    ::SetLastError(ERROR_SUCCESS);
    if (std::fwrite(text.data(), 1, text.size(), to) == text.size() && std::fflush(to) == 0) return 0;
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? static_cast<int>(error) : ERROR_WRITE_FAULT;
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::vector<Character> TerminalCharacters(std::string_view text)
{
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80 || characters.empty()) characters.push_back({i, byte < 0x80 ? 1u : 2u});
    }
    return characters;
}

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return kDefaultColumns;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : kDefaultColumns;
}
#else
int Write(std::FILE* to, std::string_view text)
{
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), to) == text.size() && std::fflush(to) == 0) return 0;
    return errno != 0 ? errno : EIO;
}

std::vector<Character> TerminalCharacters(std::string_view text)
{
    // Text here is always UTF-8, whatever the user's locale: it is decoded in a UTF-8 locale of
    // this thread's own, which leaves the program's locale alone.
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    const locale_t earlier = utf8 ? ::uselocale(utf8) : nullptr;
    std::vector<Character> characters;
    std::mbstate_t state{};
    for (std::size_t i = 0; i < text.size();) {
        wchar_t c = 0;
        const std::size_t length = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
        if (length == 0 || length > text.size() - i) {  // a NUL, or a byte that starts no character
            characters.push_back({i, 1});
            state = {};
            ++i;
            continue;
        }
        const int width = ::wcwidth(c);
        characters.push_back({i, width < 0 ? 1u : static_cast<std::size_t>(width)});
        i += length;
    }
    if (earlier) ::uselocale(earlier);
    return characters;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int TerminalColumns()
{
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kDefaultColumns;
    return size.ws_col;
}
#endif

}  // namespace corvane::tools
