// Many small files into a folder: `corvane-codec encode SOURCE... FOLDER` against `cp` of the same
// files followed by one `sync --file-system` of their file system (the flush the companion makes
// too, and no other file system's), the cheapest way to have them all on disk; where the windows are
// built, also the same files dropped onto the Encoded File(s) viewer (offscreen, in this
// process; the viewer shown and the drop's data made before the clock starts), timed from the
// drop until the viewer's work has ended. 5,000 files of 4 KiB (change
// with --files N --size BYTES), in a scratch folder under CORVANE_BENCH_DIR, else the system's
// temporary folder. Each round runs every side back to back, in turning order, each into a new
// folder with nothing left to write back from before; the report gives the median time of each
// side and the median ratio to cp and sync with the lowest and highest. Goal: at most 1.5x.
//
//   build/bin/codec_batch_bench [--rounds N] [--files N] [--size BYTES]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#ifdef CORVANE_BATCH_DROP
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "bench/PrintingDesktop.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "ui/shared/Jobs.h"
#include "ui/viewers/FolderViewer.h"
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Runs a program (found on PATH) and waits for it; false when it could not start or failed.
bool Run(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int error = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)) {
        std::fprintf(stderr, "cannot start %s: %s\n", argv[0], std::strerror(error));
        return false;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Seconds taken by `work`, after everything written before was put on disk, so that no run
// pays for another's write-back.
template <class Work>
double Timed(const Work& work)
{
    ::sync();
    const auto start = Clock::now();
    if (!work()) {
        std::fprintf(stderr, "a run failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

#ifdef CORVANE_BATCH_DROP
using corvane::bench::PrintingDesktop;

// The Encoded File(s) viewer of a program kept in `program`, shown, and a drop of `names` as a
// file manager makes it: what is ready before the drop.
struct DropReady {
    corvane::FolderViewer* viewer = nullptr;
    std::unique_ptr<QMimeData> mime;
};

DropReady PrepareDrop(const fs::path& program, const std::vector<std::string>& names)
{
    using namespace corvane;
    platform::SetProgramFolder(QString::fromStdString(program.string()));
    DropReady ready{FolderViewer::ShowEncoded(), std::make_unique<QMimeData>()};
    static_cast<void>(QTest::qWaitForWindowExposed(ready.viewer));
    QList<QUrl> urls;
    for (const std::string& name : names) urls << QUrl::fromLocalFile(QString::fromStdString(name));
    ready.mime->setUrls(urls);
    return ready;
}

// The drop, as the window system delivers it, until the viewer's work has ended; true when
// every file was coded and nothing was reported.
bool Drop(DropReady& ready, const fs::path& program, std::size_t count, PrintingDesktop& desktop)
{
    using namespace corvane;
    QWindow* window = ready.viewer->windowHandle();
    const QPoint centre = ready.viewer->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, ready.mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDragMoveEvent move(centre, Qt::CopyAction, ready.mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &move);
    QDropEvent drop(QPointF(centre), Qt::CopyAction, ready.mime.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    QCoreApplication::processEvents();
    QEventLoop waiting;
    QTimer looking;
    QObject::connect(&looking, &QTimer::timeout, [&] {
        if (!Jobs::Running()) waiting.quit();
    });
    looking.start(5);
    if (Jobs::Running()) waiting.exec();
    std::error_code unknown;
    std::size_t landed = 0;
    for (auto it = fs::directory_iterator(program / "Encoded File(s)", unknown); !unknown && it != fs::directory_iterator(); ++it)
        ++landed;
    return !desktop.failed && landed == count;
}

void CloseDrop(DropReady& ready)
{
    ready.viewer->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
#endif

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

long Option(int argc, char** argv, const char* name, long fallback)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) return std::strtol(argv[i + 1], nullptr, 10);
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef CORVANE_BATCH_DROP
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    PrintingDesktop desktop;
    const corvane::platform::DesktopOverride useIt(desktop);
#endif
    const long rounds = Option(argc, argv, "--rounds", 7);
    const long files = Option(argc, argv, "--files", 5000);
    const long size = Option(argc, argv, "--size", 4096);
    const char* chosen = std::getenv("CORVANE_BENCH_DIR");
    std::string pattern = (fs::path(chosen ? chosen : fs::temp_directory_path().c_str()) / "corvane-batch-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::fprintf(stderr, "cannot make a scratch folder in %s: %s\n", pattern.c_str(), std::strerror(errno));
        return 1;
    }
    const fs::path scratch = pattern;
    const fs::path sources = scratch / "sources";
    fs::create_directories(sources);
    std::vector<std::string> names;
    std::mt19937 generator(1);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    for (long i = 0; i < files; ++i) {
        for (char& b : bytes) b = static_cast<char>(generator());
        names.push_back((sources / ("file-" + std::to_string(i))).string());
        std::ofstream(names.back(), std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ::sync();

    // Each round writes into folders of its own, all removed at the end: a run right after
    // thousands of files were deleted pays for it (ext4 skips recently freed inodes), and it
    // would be whichever side ran first in the next round.
    struct Side {
        const char* name;
        std::function<bool(const fs::path& into)> run;
        std::function<void(const fs::path& into)> prepare = {};  // before the clock starts
        std::function<void()> after = {};                        // once the clock has stopped
        std::vector<double> times = {};
        std::vector<double> ratios = {};  // to cp and sync in the same round
    };
    std::vector<Side> sides;
    sides.push_back({"cp + sync", [&](const fs::path& into) {
                         std::vector<std::string> cp{"cp"};
                         cp.insert(cp.end(), names.begin(), names.end());
                         cp.push_back(into.string());
                         return Run(cp) && Run({"sync", "--file-system", into.string()});
                     }});
    sides.push_back({"corvane-codec encode", [&](const fs::path& into) {
                         std::vector<std::string> corvane{CORVANE_CODEC_EXE, "encode"};
                         corvane.insert(corvane.end(), names.begin(), names.end());
                         corvane.push_back(into.string());
                         return Run(corvane);
                     }});
#ifdef CORVANE_BATCH_DROP
    DropReady ready;
    sides.push_back({"drop onto the viewer",
                     [&](const fs::path& into) { return Drop(ready, into, names.size(), desktop); },
                     [&](const fs::path& into) { ready = PrepareDrop(into, names); },
                     [&] { CloseDrop(ready); }});
#endif

    std::printf("%ld files of %ld bytes in %s, %ld rounds\n", files, size, scratch.c_str(), rounds);
    for (long round = 0; round < rounds; ++round) {
        std::vector<double> times(sides.size());
        for (std::size_t k = 0; k < sides.size(); ++k) {
            // Each side goes first in turn.
            const std::size_t s = (k + static_cast<std::size_t>(round)) % sides.size();
            const fs::path into = scratch / (std::to_string(s) + "-" + std::to_string(round));
            fs::create_directories(into);
            if (sides[s].prepare) sides[s].prepare(into);
            times[s] = Timed([&] { return sides[s].run(into); });
            if (sides[s].after) sides[s].after();
        }
        std::printf("round %ld:", round + 1);
        for (std::size_t s = 0; s < sides.size(); ++s) {
            sides[s].times.push_back(times[s]);
            sides[s].ratios.push_back(times[s] / times[0]);
            std::printf("%s %s %.3f s", s ? "," : "", sides[s].name, times[s]);
        }
        std::printf("\n");
    }
    fs::remove_all(scratch);
    const auto lowest = [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); };
    const auto highest = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
    std::printf("\n| run | median | lowest | highest | ratio to cp + sync: median (lowest to highest) |\n|---|---|---|---|---|\n");
    bool met = true;
    for (std::size_t s = 0; s < sides.size(); ++s) {
        const Side& side = sides[s];
        std::printf("| %s | %.3f s | %.3f s | %.3f s |", side.name, Median(side.times), lowest(side.times), highest(side.times));
        if (s == 0) {
            std::printf(" |\n");
            continue;
        }
        std::printf(" %.2f (%.2f to %.2f) |\n", Median(side.ratios), lowest(side.ratios), highest(side.ratios));
        met = met && Median(side.ratios) <= 1.5;
    }
    std::printf("goal (every median ratio at most 1.5): %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
