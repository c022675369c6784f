#include "Describe.h"

#include <cstdint>

namespace corvane {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendByte(std::string& shown, unsigned char byte)
{
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 0xF];
}

void AppendCodePoint(std::string& shown, char32_t point)
{
    shown += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) shown += kHex[(point >> shift) & 0xF];
}

#ifdef _WIN32
void AppendUtf8(std::string& text, char32_t point)
{
    if (point < 0x80) {
        text += static_cast<char>(point);
        return;
    }
    const int continuations = point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
    text += static_cast<char>(kLead[continuations] | (point >> (6 * continuations)));
    for (int i = continuations - 1; i >= 0; --i) text += static_cast<char>(0x80 | ((point >> (6 * i)) & 0x3F));
}
#endif

char32_t Decode(std::string_view sequence)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
    if (sequence.size() == 1) return byte(0);
    char32_t point = byte(0) & (0x7F >> sequence.size());
    for (std::size_t i = 1; i < sequence.size(); ++i) point = (point << 6) | (byte(i) & 0x3F);
    return point;
}

// Characters that would end a message's line, start a terminal's control sequence, be
// invisible controls, or turn the direction of the text after them (the bidirectional marks,
// embeddings, overrides and isolates), which could make a name read its reason backwards.
bool IsControl(char32_t point)
{
    return point < 0x20 || (point >= 0x7F && point <= 0x9F) || point == 0x2028 || point == 0x2029 ||
           point == 0x061C || point == 0x200E || point == 0x200F || (point >= 0x202A && point <= 0x202E) ||
           (point >= 0x2066 && point <= 0x2069);
}

// Whether a backslash of a name is shown doubled: on POSIX it is part of a name, and a name's
// `\n` must read apart from an escaped newline; on Windows it only separates folders.
#ifdef _WIN32
constexpr bool kBackslashEscaped = false;
#else
constexpr bool kBackslashEscaped = true;
#endif

// `text` as one line of valid UTF-8: every control escaped, each byte that is not part of valid
// UTF-8 as `\xff`; backslashes too when `escapeBackslash` is set.
std::string Escaped(std::string_view text, bool escapeBackslash)
{
    std::string shown;
    shown.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const int length = Utf8SequenceLength(text.substr(i));
        if (length == 0) {
            AppendByte(shown, static_cast<unsigned char>(text[i++]));
            continue;
        }
        const std::string_view sequence = text.substr(i, static_cast<std::size_t>(length));
        i += sequence.size();
        const char32_t point = Decode(sequence);
        if (point == '\\' && escapeBackslash) {
            shown += "\\\\";
        } else if (!IsControl(point)) {
            shown += sequence;
        } else if (point == '\n') {
            shown += "\\n";
        } else if (point == '\t') {
            shown += "\\t";
        } else if (point == '\r') {
            shown += "\\r";
        } else if (point <= 0x7F) {
            AppendByte(shown, static_cast<unsigned char>(point));
        } else {
            AppendCodePoint(shown, point);
        }
    }
    return shown;
}

// A message made of parts already shown (names through ShownText or DisplayName) kept to one
// line: escaping it again changes nothing, so a name's escapes are never doubled.
std::string OneLine(std::string_view text) { return Escaped(text, false); }

std::string WithoutClosingStop(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

Error Described(int code, std::string_view what, std::string_view name, std::string_view rest)
{
    std::string description;
    description.append(what).append(" '").append(name).append("': ").append(rest);
    return {static_cast<std::int32_t>(code), OneLine(description)};
}

// "a, b and c": the words of a list, as a sentence names them.
std::string Listed(std::span<const std::string_view> words)
{
    std::string list;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) list += i + 1 == words.size() ? " and " : ", ";
        list += words[i];
    }
    return list;
}

}  // namespace

int Utf8SequenceLength(std::string_view bytes)
{
    if (bytes.empty()) return 0;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead == 0xE0) length = 3, low = 0xA0;
    else if (lead == 0xED) length = 3, high = 0x9F;  // no UTF-16 surrogates
    else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
    else if (lead == 0xF0) length = 4, low = 0x90;
    else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
    else if (lead == 0xF4) length = 4, high = 0x8F;
    else return 0;
    if (bytes.size() < static_cast<std::size_t>(length)) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (int i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

std::string ShownText(std::string_view text) { return Escaped(text, kBackslashEscaped); }

std::string DisplayName(const std::filesystem::path& path)
{
#ifdef _WIN32
    // UTF-16 to UTF-8 by hand: the library's conversion throws on a lone surrogate, which
    // Windows allows in a name.
    const std::wstring& units = path.native();
    std::string shown;
    std::string run;  // UTF-8 not yet shown
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t point = static_cast<char16_t>(units[i]);
        const bool pair = point >= 0xD800 && point <= 0xDBFF && i + 1 < units.size() &&
                          units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
        if (pair) {
            point = 0x10000 + ((point - 0xD800) << 10) + (static_cast<char16_t>(units[++i]) - 0xDC00);
        } else if (point >= 0xD800 && point <= 0xDFFF) {
            shown += ShownText(run);
            run.clear();
            AppendCodePoint(shown, point);
            continue;
        }
        AppendUtf8(run, point);
    }
    return shown + ShownText(run);
#else
    return ShownText(path.native());
#endif
}

std::string SystemText(int code) { return WithoutClosingStop(std::system_category().message(code)); }

Error SystemError(int code, std::string_view what, std::string_view name, std::string_view advice)
{
    std::string text = SystemText(code);
    if (!advice.empty()) text.append("; ").append(advice);
    return Described(code, what, name, text);
}

Error SystemError(const std::error_code& code, std::string_view what, std::string_view name, std::string_view advice)
{
    std::string text = WithoutClosingStop(code.message());
    if (!advice.empty()) text.append("; ").append(advice);
    return Described(code.value(), what, name, text);
}

Error ProblemError(int code, std::string_view what, std::string_view name, std::string_view problem)
{
    return Described(code, what, name, problem);
}

Error CancelledError(int code, std::string_view what, std::string_view name)
{
    std::string description;
    description.append(what).append(" '").append(name).append("' was cancelled");
    return {static_cast<std::int32_t>(code), OneLine(description)};
}

Error UnknownKernelError(int code, std::string_view name, std::span<const std::string_view> kernels)
{
    return {static_cast<std::int32_t>(code),
            "no codec kernel is called \"" + ShownText(name) + "\"; the kernels are " + Listed(kernels)};
}

Error UnsupportedKernelError(int code, std::string_view name, std::span<const std::string_view> kernels)
{
    return {static_cast<std::int32_t>(code),
            "this processor cannot run the " + ShownText(name) + " codec kernel; it can run " + Listed(kernels)};
}

Error EnvironmentError(std::string_view variable, const Error& error)
{
    return {error.number, std::string(variable) + ": " + error.description};
}

std::string UsageMistakeText(std::string_view program, std::string_view mistake)
{
    std::string text;
    text.append(program).append(": ").append(ShownText(mistake));
    text.append("\nTry '").append(program).append(" --help' for more information.\n");
    return text;
}

std::string VersionText(std::string_view program)
{
    std::string text;
    text.append(program).append(" " CORVANE_VERSION "\n");
    text.append("Copyright (C) 2026 The Corvane developers.\n"
                "License MIT: <https://opensource.org/license/mit>.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n");
    return text;
}

std::string ErrorLine(const Error& error)
{
    return "Error: " + std::to_string(error.number) + ": " + OneLine(error.description);
}

std::string WarningLine(const Error& warning)
{
    return "Warning: " + std::to_string(warning.number) + ": " + OneLine(warning.description);
}

}  // namespace corvane
