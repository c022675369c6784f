#include "Progress.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <vector>

#include "Console.h"
#include "codec/Describe.h"
#include "units/RateEstimate.h"
#include "units/Units.h"

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
// On a narrow terminal a file's name is cut to its end, but never to fewer columns than this
// ("..." and the name's last nine), so that the line still says which file it is.
constexpr std::size_t kShortestName = 12;

// Shared with the signal handler: whether a line without its newline is on the terminal, and
// whether the process is ending (then nothing more is drawn).
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> gLineShowing{false};
std::atomic<bool> gEnding{false};

// Bytes, or bytes a second, as a size: "1.46 GiB".
std::string Amount(double bytes) { return SizeText(static_cast<std::uint64_t>(std::max(bytes, 0.0))); }

// Seconds as a duration, "3 min 05 s"; a stalled file's time left can be any size, and past a
// hundred thousand hours it says nothing more.
std::string Duration(double seconds) { return DurationText(static_cast<std::uint64_t>(std::clamp(seconds, 0.0, 3.6e8))); }

std::size_t ColumnsOf(std::string_view text)
{
    std::size_t columns = 0;
    for (const Character& c : TerminalCharacters(text)) columns += c.columns;
    return columns;
}

// The end of `text` that fits in `columns`, after "..." when something was left out.
std::string Tail(std::string_view text, std::size_t columns)
{
    if (ColumnsOf(text) <= columns) return std::string(text);
    if (columns < 3) return std::string(columns, '.');
    const std::vector<Character> characters = TerminalCharacters(text);
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
    for (const Character& c : TerminalCharacters(text)) {
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
    counter_ = files_ > 1 ? "file " + std::to_string(index) + " of " + std::to_string(files_) + ", " : "";
    name_ = files_ > 1 ? corvane::ShownText(name) : "";
    sizeKnown_ = sizeKnown;
    started_ = lastLine_ = Clock::now();
    samples_.assign(1, {0, 0});
}

void Progress::End(bool succeeded)
{
    const std::lock_guard lock(mutex_);
    if (succeeded) {
        const std::string line = Line(Clock::now(), true);
        if (terminal_) {
            Draw(line, true);
            if (!gEnding.load()) Write(stderr, "\n");
            shownColumns_ = 0;
            gLineShowing.store(false);
        } else {
            Write(stderr, Whole(line) + "\n");
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
            Draw(line, false);
        } else if (now - lastLine_ >= kLineEvery) {
            Write(stderr, Whole(line) + "\n");
            lastLine_ = now;
        }
    }
}

// The line for the file being followed: running, with the speed of the last few seconds and
// the time left once they are known (units/RateEstimate.h); or final, with the average speed and
// the time it took.
std::string Progress::Line(Clock::time_point now, bool final)
{
    const std::uint64_t done = control_->done.load(std::memory_order_relaxed);
    const std::uint64_t total = control_->total.load(std::memory_order_relaxed);
    const double seconds = std::chrono::duration<double>(now - started_).count();
    KeepSample(samples_, {seconds, done});

    std::string line = Amount(static_cast<double>(done));
    if (sizeKnown_) {
        const std::uint64_t percent = total == 0 ? (final ? 100 : 0) : std::min<std::uint64_t>(done, total) * 100 / total;
        line += " of " + Amount(static_cast<double>(total)) + " (" + std::to_string(percent) + "%)";
    }
    if (final) {
        const double speed = seconds > 0 ? static_cast<double>(done) / seconds : 0;
        return line + ", " + Amount(speed) + "/s, took " + Duration(seconds);
    }
    const std::vector<ProgressSample> samples(samples_.begin(), samples_.end());
    const RateEstimate estimate = EstimateRate(samples, sizeKnown_ ? total : 0);
    if (estimate.bytesPerSecond) line += ", " + Amount(*estimate.bytesPerSecond) + "/s";
    if (estimate.secondsLeft) line += ", " + Duration(*estimate.secondsLeft) + " left";
    return line;
}

std::string Progress::Whole(const std::string& state) const
{
    return files_ > 1 ? counter_ + name_ + ": " + state : state;
}

// Puts the file's `state` over the line showing. A running line is cut to the terminal's width,
// so that its next redraw covers it: the name loses its start first, down to kShortestName
// columns, then the line loses its end. A `final` line is never redrawn: its name is cut the same
// way, but the rest is kept whole, even if it has to wrap.
void Progress::Draw(const std::string& state, bool final)
{
    const std::size_t columns = static_cast<std::size_t>(std::max(TerminalColumns() - 1, 1));
    std::string fitted = state;
    if (files_ > 1) {
        const std::size_t fixed = ColumnsOf(counter_) + ColumnsOf(state) + 2;
        const std::size_t room = fixed < columns ? columns - fixed : 0;
        fitted = counter_ + Tail(name_, std::max(room, kShortestName)) + ": " + state;
    }
    if (!final) fitted = Head(fitted, columns);
    const std::size_t width = ColumnsOf(fitted);
    std::string text = shownColumns_ > 0 ? "\r" + fitted : fitted;
    if (width < shownColumns_) text.append(shownColumns_ - width, ' ');
    if (gEnding.load()) return;
    gLineShowing.store(true);
    Write(stderr, text);
    shownColumns_ = std::min(width, columns);
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
