// Many small files into a folder: `corvane-codec encode SOURCE... FOLDER` against `cp` of the same
// files followed by one `sync`, the cheapest way to have them all on disk. 5,000 files of 4 KiB
// (change with --files N --size BYTES), in a scratch folder under CORVANE_BENCH_DIR, else the
// system's temporary folder. Each round runs both sides back to back, in alternating order, each
// into a new folder with nothing left to write back from before; the report gives the median
// time of each side and the median ratio with the lowest and highest. Goal: at most 2x.
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
#include <fstream>
#include <random>
#include <string>
#include <vector>

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

// Seconds taken by `work` into the new folder `into`, after everything written before was put
// on disk, so that no run pays for another's write-back.
template <class Work>
double Timed(const fs::path& into, const Work& work)
{
    fs::create_directories(into);
    ::sync();
    const auto start = Clock::now();
    if (!work()) {
        std::fprintf(stderr, "a run failed\n");
        std::exit(1);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

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
    fs::path byCp;
    fs::path byCorvane;
    const auto cpAndSync = [&] {
        std::vector<std::string> cp{"cp"};
        cp.insert(cp.end(), names.begin(), names.end());
        cp.push_back(byCp.string());
        return Run(cp) && Run({"sync"});
    };
    const auto encode = [&] {
        std::vector<std::string> corvane{CORVANE_CODEC_EXE, "encode"};
        corvane.insert(corvane.end(), names.begin(), names.end());
        corvane.push_back(byCorvane.string());
        return Run(corvane);
    };

    std::printf("%ld files of %ld bytes in %s, %ld rounds\n", files, size, scratch.c_str(), rounds);
    std::vector<double> cpTimes;
    std::vector<double> corvaneTimes;
    std::vector<double> ratios;
    for (long round = 0; round < rounds; ++round) {
        byCp = scratch / ("cp-" + std::to_string(round));
        byCorvane = scratch / ("corvane-" + std::to_string(round));
        double a = 0;
        double b = 0;
        if (round % 2 == 0) {
            a = Timed(byCp, cpAndSync);
            b = Timed(byCorvane, encode);
        } else {
            b = Timed(byCorvane, encode);
            a = Timed(byCp, cpAndSync);
        }
        cpTimes.push_back(a);
        corvaneTimes.push_back(b);
        ratios.push_back(b / a);
        std::printf("round %ld: cp + sync %.3f s, corvane-codec encode %.3f s, ratio %.2f\n", round + 1, a, b, b / a);
    }
    fs::remove_all(scratch);
    std::printf("\n| run | median | lowest | highest |\n|---|---|---|---|\n");
    std::printf("| cp + sync | %.3f s | %.3f s | %.3f s |\n", Median(cpTimes),
                *std::min_element(cpTimes.begin(), cpTimes.end()), *std::max_element(cpTimes.begin(), cpTimes.end()));
    std::printf("| corvane-codec encode | %.3f s | %.3f s | %.3f s |\n", Median(corvaneTimes),
                *std::min_element(corvaneTimes.begin(), corvaneTimes.end()),
                *std::max_element(corvaneTimes.begin(), corvaneTimes.end()));
    std::printf("| ratio | %.2f | %.2f | %.2f |\n", Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    const bool met = Median(ratios) <= 2.0;
    std::printf("goal (median ratio at most 2): %s\n", met ? "met" : "NOT met");
    return met ? 0 : 1;
}
