// How the windows answer during long work: a 2 GiB file encoded from the main window
// (offscreen), with a 10 ms timer on the user-interface thread whose ticks show every turn of
// the event loop; the largest gap between two ticks is the longest the windows could not answer.
// The same file is encoded by the companion's call, TransformFile on one thread, in the same run,
// for the throughput ratio, and on a worker thread while the event loop turns without windows, to
// tell the thread's cost from the windows'. Runs alternate, companion first, each after a sync so that none pays
// for another's writing back, after one untimed run; the table shows medians.
//
// Heavy: writes 2 GiB (flushed to disk) per run, 3 runs of each by default (`--runs N`), in a
// scratch folder (CORVANE_BENCH_DIR, else the system's temporary folder) removed at the end.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "codec/FileTransform.h"
#include "bench/PrintingDesktop.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Form.h"
#include "ui/main/frmMain.h"
#include "ui/shared/Jobs.h"

namespace corvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kSize = std::uint64_t{2} << 30;
constexpr int kTickMs = 10;

struct WindowRun {
    double seconds = 0;
    double largestGapMs = 0;  // beyond the timer's own interval
    double largestGapAt = 0;  // seconds after the click, at the gap's end
    int gapsOver100Ms = 0;
    int ticks = 0;
};

// A sparse source with a leading 1, so that every encoded byte is 1 and the whole result is written.
void MakeSource(const fs::path& path)
{
    { std::ofstream out(path, std::ios::binary | std::ios::trunc); }
    fs::resize_file(path, kSize);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.put(1);
}

double CompanionRun(const fs::path& source, const fs::path& destination)
{
    fs::remove(destination);
    QElapsedTimer clock;
    clock.start();
    if (const auto error = TransformFile(Coding::Encode, Endpoint::File(source), Endpoint::File(destination))) {
        std::fprintf(stderr, "%s\n", ErrorLine(*error).c_str());
        std::exit(1);
    }
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Runs the event loop, with a tick every kTickMs, from `start` until `ended` holds; the run's time
// counts from just before `start`.
WindowRun TickedLoop(const std::function<void()>& start, const std::function<bool()>& ended)
{
    WindowRun run;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    QEventLoop loop;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        const double gapMs = static_cast<double>(now - lastTick) / 1e6 - kTickMs;
        if (gapMs > run.largestGapMs) {
            run.largestGapMs = gapMs;
            run.largestGapAt = static_cast<double>(now) / 1e9;
        }
        run.gapsOver100Ms += gapMs > 100;
        ++run.ticks;
        lastTick = now;
        if (ended()) loop.quit();
    });
    clock.start();
    start();
    lastTick = clock.nsecsElapsed();
    ticks.start(kTickMs);
    loop.exec();
    run.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return run;
}

// TransformFile on a thread of its own while this thread's event loop turns, without windows.
WindowRun ThreadRun(const fs::path& source, const fs::path& destination)
{
    fs::remove(destination);
    std::atomic<bool> done{false};
    std::thread worker;
    const WindowRun run = TickedLoop(
        [&] {
            worker = std::thread([&] {
                if (const auto error = TransformFile(Coding::Encode, Endpoint::File(source), Endpoint::File(destination))) {
                    std::fprintf(stderr, "%s\n", ErrorLine(*error).c_str());
                    std::exit(1);
                }
                done = true;
            });
        },
        [&] { return done.load(); });
    worker.join();
    return run;
}

WindowRun WindowsRun(const fs::path& source, const fs::path& destination, PrintingDesktop& desktop)
{
    fs::remove(destination);
    auto* window = new frmMain;
    window->Show();
    if (!QTest::qWaitForWindowExposed(window) || window->ShowFile(QString::fromStdString(source.string()))) {
        std::fprintf(stderr, "the main window did not come up on the source\n");
        std::exit(1);
    }
    QWidget* encode = window->Control(QStringLiteral("cmdencode"));
    const WindowRun run = TickedLoop([encode] { QTest::mouseClick(encode, Qt::LeftButton, {}, encode->rect().center()); },
                                     [] { return !Jobs::Running(); });
    platform::UnloadForm(QStringLiteral("frmMain"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (desktop.failed || !fs::exists(destination)) std::exit(1);
    return run;
}

void PrintRun(const char* what, int number, const WindowRun& w)
{
    std::printf("%s run %d: %.2f s, largest gap between event-loop turns %.1f ms (ending %.2f s in), %d gaps over 100 ms, %d turns\n",
                what, number, w.seconds, w.largestGapMs, w.largestGapAt, w.gapsOver100Ms, w.ticks);
    std::fflush(stdout);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];  // the upper median of an even count
}

int Main(int argc, char** argv)
{
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrintingDesktop desktop;
    const platform::DesktopOverride useIt(desktop);

    const char* base = std::getenv("CORVANE_BENCH_DIR");
    const fs::path scratch = fs::path(base && *base ? base : fs::temp_directory_path().string()) /
                             ("corvane-responsiveness-" + std::to_string(QCoreApplication::applicationPid()));
    fs::create_directories(scratch / "program");
    platform::SetProgramFolder(QString::fromStdString((scratch / "program").string()));
    const fs::path source = scratch / "source.bin";
    MakeSource(source);

    // Untimed: the first coding of a fresh source is slower than every later one, whoever does it.
    ::sync();
    CompanionRun(source, scratch / "companion.bin");

    std::vector<double> companion, thread, windows;
    double largestGap = 0;
    for (int i = 0; i < runs; ++i) {
        ::sync();
        companion.push_back(CompanionRun(source, scratch / "companion.bin"));
        std::printf("companion run %d: %.2f s\n", i + 1, companion.back());
        ::sync();
        const WindowRun t = ThreadRun(source, scratch / "thread.bin");
        PrintRun("thread", i + 1, t);
        thread.push_back(t.seconds);
        ::sync();
        const WindowRun w = WindowsRun(source, scratch / "program" / "Encoded File(s)" / "source.bin", desktop);
        PrintRun("windows", i + 1, w);
        windows.push_back(w.seconds);
        largestGap = std::max(largestGap, w.largestGapMs);
    }
    fs::remove_all(scratch);

    const double baseline = Median(companion);
    const double mib = static_cast<double>(kSize) / (1 << 20);
    std::printf("\n| encode of 2 GiB | median time | throughput | ratio |\n|---|---|---|---|\n");
    const std::pair<const char*, double> rows[] = {{"companion (TransformFile)", baseline},
                                                   {"worker thread, event loop, no windows", Median(thread)},
                                                   {"main window (worker thread)", Median(windows)}};
    for (const auto& [what, seconds] : rows) {
        std::printf("| %s | %.2f s | %.0f MiB/s | %.2f |\n", what, seconds, mib / seconds, baseline / seconds);
    }
    std::printf("\nLargest gap between event-loop turns over all window runs: %.1f ms\n", largestGap);
    return 0;
}

}  // namespace
}  // namespace corvane::bench

int main(int argc, char** argv) { return corvane::bench::Main(argc, argv); }
