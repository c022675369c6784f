// The terminal on POSIX systems: bytes out, characters measured by the C library.
#include "Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cwchar>
#include <locale.h>
#include <string>

namespace corvane::tools {

namespace {
constexpr int kDefaultColumns = 80;
}  // namespace

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

}  // namespace corvane::tools
