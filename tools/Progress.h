// The companion's --progress display: how far the file being coded has got, on standard error.
//
// On a terminal each file gets one line, redrawn in place ("\r") every 200 ms with the bytes
// done and the total, the speed and the time left, cut to the terminal's width so that it never
// wraps; when the file is done the line shows its final state, whole, and ends with a newline.
// A long name is cut to its end to fit, never to nothing. When
// standard error is not a terminal (a log, a pipe), nothing is redrawn: a whole line is written
// every 10 seconds and one when each file is done, so that a reader gets complete lines. With
// several files, each line starts with "file I of N, NAME: ". A file that fails leaves no line:
// its line is erased, and the error line that the caller writes next takes its place.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "codec/FileTransform.h"
#include "units/RateEstimate.h"

namespace corvane::tools {

class Progress {
public:
    // `files`: how many files the run codes.
    explicit Progress(std::size_t files);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Starts following file `index` (from 1), shown as `name`, through `control`, which must
    // outlive the matching End. `sizeKnown` is false for standard input.
    void Begin(std::size_t index, std::string name, const TransformControl& control, bool sizeKnown);
    // Ends the file's line: with its final state when it `succeeded`, erased otherwise.
    void End(bool succeeded);

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    // The file's state without its counter and name: "1.46 GiB of 2.00 GiB (73%), ...".
    std::string Line(Clock::time_point now, bool final);
    // The state after "file I of N, NAME: " when there are several files.
    std::string Whole(const std::string& state) const;
    void Draw(const std::string& state, bool final);
    void Erase();

    const std::size_t files_;
    const bool terminal_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    const TransformControl* control_ = nullptr;  // the file being followed, or none
    std::string counter_;  // "file I of N, ", or nothing for one file
    std::string name_;
    bool sizeKnown_ = true;
    Clock::time_point started_;
    Clock::time_point lastLine_;
    std::deque<ProgressSample> samples_;  // since started_, as many as the speed needs
    std::size_t shownColumns_ = 0;  // the width of the line on the terminal, 0 for none
    std::thread thread_;
};

// Ends a progress line that is showing with a newline, so that the shell's next output starts on
// a line of its own, and keeps any later redraw off the terminal. Async-signal-safe: for the
// signals that end the program (InstallTemporaryFileCleanup's `first`).
void EndProgressLine();

}  // namespace corvane::tools
