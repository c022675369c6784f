#include "Progress.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <vector>

#include "Console.h"
#include "codec/Describe.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace corvane::tools {

namespace {

using namespace std::chrono_literals;

constexpr auto kRedrawEvery = 200ms;
constexpr auto kLineEvery = 10s;  // when standard error is not a terminal
constexpr auto kSpeedOver = 3s;

// Shared with the signal handler: whether a line without its newline is on the terminal, and
// whether the process is ending (then nothing more is drawn).
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> gLineShowing{false};
std::atomic<bool> gEnding{false};

std::string Amount(double bytes)
{
    static constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
        return text;
    }
    std::size_t unit = 0;
    for (bytes /= 1024; bytes >= 1000 && unit + 1 < std::size(kUnits); ++unit) bytes /= 1024;
    // Three figures, as in "1.25 GiB", "12.5 GiB", "125 GiB".
    const int decimals = bytes < 10 ? 2 : bytes < 100 ? 1 : 0;
    std::snprintf(text, sizeof text, "%.*f %s", decimals, bytes, kUnits[unit]);
    return text;
}

std::string Duration(double seconds)
{
    // A stalled file's time left can be any size; past a hundred thousand hours it says nothing.
    const auto whole = static_cast<long long>(std::clamp(seconds, 0.0, 3.6e8));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// The columns a character takes on a terminal: two for the wide East Asian ranges and emoji.
std::size_t Columns(char32_t c)
{
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// The UTF-8 characters of `text`, each with the byte where it starts and its columns.
struct Character {
    std::size_t start;
    std::size_t columns;
};

std::vector<Character> Characters(std::string_view text)
{
    std::vector<Character> characters;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = length == 1 ? lead : lead & (0x3F >> (length - 1));
        std::size_t n = 1;
        for (; n < length && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80; ++n) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + n]) & 0x3F);
        }
        characters.push_back({i, Columns(c)});
        i += n;
    }
    return characters;
}

std::size_t ColumnsOf(std::string_view text)
{
    std::size_t columns = 0;
    for (const Character& c : Characters(text)) columns += c.columns;
    return columns;
}

// The end of `text` that fits in `columns`, after "..." when something was left out.
std::string Tail(std::string_view text, std::size_t columns)
{
    if (ColumnsOf(text) <= columns) return std::string(text);
    if (columns < 3) return std::string(columns, '.');
    const std::vector<Character> characters = Characters(text);
    std::size_t used = 3;
    std::size_t from = text.size();
    for (auto c = characters.rbegin(); c != characters.rend() && used + c->columns <= columns; ++c) {
        used += c->columns;
        from = c->start;
    }
    return "..." + std::string(text.substr(from));
}

// The start of `text` that fits in `columns`.
std::string Head(std::string_view text, std::size_t columns)
{
    std::size_t used = 0;
    for (const Character& c : Characters(text)) {
        if (used + c.columns > columns) return std::string(text.substr(0, c.start));
        used += c.columns;
    }
    return std::string(text);
}

}  // namespace

Progress::Progress(std::size_t files) : files_(files), terminal_(StandardErrorIsTerminal())
{
#ifdef _WIN32
    thread_ = std::thread([this] { Run(); });
#else
    // The codec holds back the ending signals on its own thread while a temporary file's name
    // appears or goes; the drawing thread must never take one, or it would slip past that.
    sigset_t ending;
    sigset_t earlier;
    ::sigemptyset(&ending);
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) ::sigaddset(&ending, signalNumber);
    ::pthread_sigmask(SIG_BLOCK, &ending, &earlier);
    thread_ = std::thread([this] { Run(); });
    ::pthread_sigmask(SIG_SETMASK, &earlier, nullptr);
#endif
}

Progress::~Progress()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Progress::Begin(std::size_t index, std::string name, const TransformControl& control, bool sizeKnown)
{
    const std::lock_guard lock(mutex_);
    control_ = &control;
    prefix_ = files_ > 1 ? "file " + std::to_string(index) + " of " + std::to_string(files_) + ", " +
                               corvane::ShownText(name) + ": "
                         : "";
    sizeKnown_ = sizeKnown;
    started_ = lastLine_ = Clock::now();
    samples_.assign(1, {started_, 0});
}

void Progress::End(bool succeeded)
{
    const std::lock_guard lock(mutex_);
    if (succeeded) {
        const std::string line = Line(Clock::now(), true);
        if (terminal_) {
            Draw(line);
            if (!gEnding.load()) Write(stderr, "\n");
            shownColumns_ = 0;
            gLineShowing.store(false);
        } else {
            Write(stderr, line + "\n");
        }
    } else {
        Erase();
    }
    control_ = nullptr;
}

void Progress::Run()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, kRedrawEvery);
        if (stopping_ || !control_) continue;
        const Clock::time_point now = Clock::now();
        const std::string line = Line(now, false);
        if (terminal_) {
            Draw(line);
        } else if (now - lastLine_ >= kLineEvery) {
            Write(stderr, line + "\n");
            lastLine_ = now;
        }
    }
}

// The line for the file being followed: running, with the speed of the last few seconds and
// the time left; or final, with the average speed and the time it took.
std::string Progress::Line(Clock::time_point now, bool final)
{
    const std::uint64_t done = control_->done.load(std::memory_order_relaxed);
    const std::uint64_t total = control_->total.load(std::memory_order_relaxed);
    samples_.push_back({now, done});
    while (samples_.size() > 2 && now - samples_[1].when >= kSpeedOver) samples_.pop_front();
    const Sample& from = final ? Sample{started_, 0} : samples_.front();
    const double seconds = std::chrono::duration<double>(now - from.when).count();
    const double speed = seconds > 0 ? static_cast<double>(done - from.done) / seconds : 0;

    std::string line = prefix_ + Amount(static_cast<double>(done));
    if (sizeKnown_) {
        const std::uint64_t percent = total == 0 ? (final ? 100 : 0) : std::min<std::uint64_t>(done, total) * 100 / total;
        line += " of " + Amount(static_cast<double>(total)) + " (" + std::to_string(percent) + "%)";
    }
    line += ", " + Amount(speed) + "/s";
    if (final) {
        line += ", took " + Duration(seconds);
    } else if (sizeKnown_) {
        line += ", " + (speed > 0 ? Duration(static_cast<double>(total - std::min(done, total)) / speed) : "-:--") + " left";
    }
    return line;
}

// Puts `line` over the one showing, cut to the terminal's width: the name loses its start first.
void Progress::Draw(const std::string& line)
{
    const std::size_t columns = static_cast<std::size_t>(std::max(TerminalColumns() - 1, 1));
    std::string fitted = line;
    if (ColumnsOf(line) > columns && !prefix_.empty()) {
        const std::string counter = prefix_.substr(0, prefix_.find(", ") + 2);
        const std::string rest = line.substr(prefix_.size());
        const std::size_t fixed = ColumnsOf(counter) + ColumnsOf(rest) + 2;
        const std::string name = prefix_.substr(counter.size(), prefix_.size() - counter.size() - 2);
        fitted = counter + Tail(name, fixed < columns ? columns - fixed : 0) + ": " + rest;
    }
    fitted = Head(fitted, columns);
    const std::size_t width = ColumnsOf(fitted);
    std::string text = shownColumns_ > 0 ? "\r" + fitted : fitted;
    if (width < shownColumns_) text.append(shownColumns_ - width, ' ');
    if (gEnding.load()) return;
    gLineShowing.store(true);
    Write(stderr, text);
    shownColumns_ = width;
}

void Progress::Erase()
{
    if (shownColumns_ == 0) return;
    std::string blank(shownColumns_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    if (!gEnding.load()) Write(stderr, blank);
    shownColumns_ = 0;
    gLineShowing.store(false);
}

void EndProgressLine()
{
    gEnding.store(true);
    if (!gLineShowing.load()) return;
#ifdef _WIN32
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), "\n", 1, &written, nullptr);
#else
    const ssize_t ignored = ::write(STDERR_FILENO, "\n", 1);
    static_cast<void>(ignored);
#endif
}

}  // namespace corvane::tools
