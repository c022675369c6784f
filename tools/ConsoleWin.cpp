// The console on Windows: text to a console as UTF-16, everything else as bytes.
#include "Console.h"

#include <string>

#include <windows.h>

namespace corvane::tools {

namespace {
constexpr int kDefaultColumns = 80;
}  // namespace

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

}  // namespace corvane::tools
