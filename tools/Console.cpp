#include "Console.h"

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace corvane::tools {

namespace {
constexpr int kDefaultColumns = 80;
}  // namespace

#ifdef _WIN32
void Write(std::FILE* to, std::string_view text)
{
    HANDLE console = ::GetStdHandle(to == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(console, &mode)) {
        const int size = static_cast<int>(text.size());
        std::wstring wide(::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
        DWORD written = 0;
        ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
}

bool StandardErrorIsTerminal()
{
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int TerminalColumns()
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return kDefaultColumns;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? columns : kDefaultColumns;
}
#else
void Write(std::FILE* to, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), to);
    std::fflush(to);
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
