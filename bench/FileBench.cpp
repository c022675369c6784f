// Coding whole files against copying them, measured in the same run, and the peak memory of
// coding a file larger than 4 GiB. Ends with a table of medians and ratios, with their spread.
//
// Heavy: writes a 1 GiB source and, for each run, a 1 GiB destination flushed to disk, then a
// 4 GiB destination (from a sparse source); all in a scratch folder (CORVANE_BENCH_DIR, else the
// system's temporary folder) that is removed at the end. Needs about 7 GiB free there. Run it
// once with CORVANE_BENCH_DIR on a disk and once on /dev/shm, where `cp` copies inside the
// system and every copy through a buffer shows.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "RatioReport.h"
#include "codec/ByteCodec.h"
#include "codec/FileTransform.h"

extern char** environ;

namespace corvane::bench {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
constexpr std::uint64_t kSourceSize = kGiB;
// Above 4 GiB, and not a multiple of the buffer, so that 64-bit lengths and the tail both count.
constexpr std::uint64_t kBigSize = 4 * kGiB + 4099;
constexpr std::size_t kBufferSizes[] = {256 << 10, 1 << 20, 4 << 20};
// The buffer of the file transform, the plain copy's buffer in the ratios.
constexpr std::size_t kTransformBuffer = 1 << 20;

struct Scratch {
    fs::path folder;
    fs::path source;       // kSourceSize bytes, kept in the page cache
    fs::path destination;  // removed before every run
};
Scratch gScratch;

std::string BufferName(std::size_t size)
{
    return size >= kMiB ? std::to_string(size / kMiB) + "MiB" : std::to_string(size >> 10) + "KiB";
}

// 0, or the errno of the first failure.
int ReadFull(int fd, std::uint8_t* buffer, std::size_t size, std::size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, buffer + got, size - got);
        if (n == 0) break;
        if (n < 0 && errno != EINTR) return errno;
        if (n > 0) got += static_cast<std::size_t>(n);
    }
    return 0;
}

int WriteAll(int fd, const std::uint8_t* bytes, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n == 0) return EIO;
        if (n < 0 && errno != EINTR) return errno;
        if (n > 0) done += static_cast<std::size_t>(n);
    }
    return 0;
}

constexpr std::size_t kPage = 4096;

struct CopyOptions {
    std::size_t bufferSize = kTransformBuffer;
    bool code = false;     // encode every chunk on its way through
    bool durable = false;  // fsync before the rename
    // Where the buffer starts past a page boundary: `new` gives a 1 MiB block 16 bytes past one.
    std::size_t offset = 0;
    // The source is mapped a buffer's size at a time and coded from the mapping into the buffer,
    // instead of read() into it: one copy fewer.
    bool mappedSource = false;
};

struct AlignedDelete {
    void operator()(std::uint8_t* bytes) const { ::operator delete[](bytes, std::align_val_t{kPage}); }
};

// The next buffer's worth of the source in `chunk`, read or mapped; 0 or an errno.
int NextChunk(int in, std::uint64_t at, const CopyOptions& options, std::uint8_t* buffer,
              std::span<const std::uint8_t>& chunk, void*& mapping)
{
    if (!options.mappedSource) {
        std::size_t got = 0;
        const int error = ReadFull(in, buffer, options.bufferSize, got);
        chunk = {buffer, got};
        return error;
    }
    struct stat info {};
    if (::fstat(in, &info) != 0) return errno;
    const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
    // Mapped only within the length the file has now, as a transform reading this way would.
    const std::size_t length =
        at >= size ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(options.bufferSize, size - at));
    chunk = {};
    if (length == 0) return 0;
    mapping = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, in, static_cast<off_t>(at));
    if (mapping == MAP_FAILED) {
        mapping = nullptr;
        return errno;
    }
    ::madvise(mapping, length, MADV_SEQUENTIAL);
    chunk = {static_cast<const std::uint8_t*>(mapping), length};
    return 0;
}

// What the file transform does, with or without the coding: read (or map) the source into one
// buffer, write a temporary file beside the destination, optionally flush it, rename it over the
// destination. Returns 0 or the errno of the first failure.
int CopyThroughBuffer(const fs::path& from, const fs::path& to, const CopyOptions& options)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    const fs::path temporary = to.string() + ".part";
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return errno;
    }
    const std::unique_ptr<std::uint8_t[], AlignedDelete> block(
        new (std::align_val_t{kPage}) std::uint8_t[options.bufferSize + kPage]);
    std::uint8_t* const buffer = block.get() + options.offset;
    std::uint8_t running = 0;
    int error = 0;
    std::uint64_t at = 0;
    for (std::size_t got = options.bufferSize; error == 0 && got == options.bufferSize; at += got) {
        std::span<const std::uint8_t> chunk;
        void* mapping = nullptr;
        error = NextChunk(in, at, options, buffer, chunk, mapping);
        got = chunk.size();
        const std::span<std::uint8_t> to(buffer, got);
        if (error == 0 && options.code) running = EncodeBytes(chunk, to, running);
        if (error == 0 && !options.code && mapping) std::memcpy(buffer, chunk.data(), got);
        if (mapping) ::munmap(mapping, got);
        if (error == 0) error = WriteAll(out, buffer, got);
    }
    if (error == 0 && options.durable && ::fsync(out) != 0) error = errno;
    ::close(out);
    ::close(in);
    if (error == 0 && ::rename(temporary.c_str(), to.c_str()) != 0) error = errno;
    return error;
}

int FlushToDisk(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

// Runs a program (found on PATH) and waits for it; "" or a description of the failure.
std::string RunProgram(std::vector<std::string> arguments)
{
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (const int error = ::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ)) {
        return "cannot start " + arguments[0] + ": " + std::strerror(error);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : arguments[0] + " failed";
}

std::string RunCp(const fs::path& from, const fs::path& to) { return RunProgram({"cp", from, to}); }

// Removes the destination and waits until the removal is on disk, so that a run does not pay
// for an earlier run's write-back or freed blocks.
void Settle()
{
    fs::remove(gScratch.destination);
    const int fd = ::open(gScratch.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// A run on the 1 GiB source: "" or a description of what failed.
using Job = std::function<std::string()>;

// Times one job, with the disk settled before and the destination flushed after, both outside
// the measured time. Returns seconds, or a negative number after a failure.
double TimeOne(const Job& job, std::string& failure)
{
    Settle();
    const auto start = std::chrono::steady_clock::now();
    failure = job();
    const auto stop = std::chrono::steady_clock::now();
    FlushToDisk(gScratch.destination);
    return failure.empty() ? std::chrono::duration<double>(stop - start).count() : -1;
}

// Each iteration runs the subject and its baseline back to back, in alternating order, and
// records their ratio: the shared disk's slow and fast spells then hit both sides of a ratio
// alike, and the median of the ratios over the repetitions is the figure to quote.
void TimePair(benchmark::State& state, const Job& subject, const Job& baseline)
{
    static unsigned turn = 0;
    double subjectSeconds = 0;
    double baselineSeconds = 0;
    for (auto _ : state) {
        std::string failure;
        const bool subjectFirst = turn++ % 2 == 0;
        const double first = TimeOne(subjectFirst ? subject : baseline, failure);
        const double second =
            failure.empty() ? TimeOne(subjectFirst ? baseline : subject, failure) : -1;
        if (!failure.empty()) {
            state.SkipWithError(failure.c_str());
            break;
        }
        subjectSeconds = subjectFirst ? first : second;
        baselineSeconds = subjectFirst ? second : first;
        state.SetIterationTime(subjectSeconds);
    }
    state.counters["subject_s"] = subjectSeconds;
    state.counters["baseline_s"] = baselineSeconds;
    state.counters["ratio"] = baselineSeconds > 0 ? subjectSeconds / baselineSeconds : 0;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kSourceSize));
}

std::string ErrnoText(int error) { return error == 0 ? "" : std::strerror(error); }

std::string CopyName(const CopyOptions& options)
{
    return std::string(options.code ? "coded copy/" : "copy/") + BufferName(options.bufferSize) +
           (options.offset ? "/" + std::to_string(options.offset) + " bytes past a page" : "") +
           (options.mappedSource ? "/mapped source" : "") + (options.durable ? "/fsync" : "/no fsync");
}

// The peak resident memory (VmHWM) of a running process, in bytes; 0 once it has ended.
std::uint64_t PeakResident(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
    }
    return 0;
}

// Codes a sparse source of kBigSize bytes into a real destination with the command-line
// companion, which streams through the same file transform, and reports the companion's peak
// resident memory. The peak is read from /proc while it runs: its ru_maxrss would also count the
// memory of this process, from which it was started.
void PeakMemoryOfBigFile(benchmark::State& state)
{
    const fs::path source = gScratch.folder / "big-source";
    const fs::path destination = gScratch.folder / "big-destination";
    {
        const int fd = ::open(source.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const bool sized = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(kBigSize)) == 0;
        if (fd >= 0) ::close(fd);
        if (!sized) {
            state.SkipWithError("cannot create the sparse source");
            return;
        }
    }
    double peak = 0;
    for (auto _ : state) {
        fs::remove(destination);
        const std::string from = source.string();
        const std::string to = destination.string();
        char* argv[] = {const_cast<char*>(CORVANE_CODEC_EXE), const_cast<char*>("encode"),
                        const_cast<char*>(from.c_str()), const_cast<char*>(to.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (::posix_spawn(&pid, CORVANE_CODEC_EXE, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot start " CORVANE_CODEC_EXE);
            break;
        }
        int status = 0;
        for (;;) {
            const std::uint64_t sampled = PeakResident(pid);  // VmHWM only grows while it runs
            const pid_t ended = ::waitpid(pid, &status, WNOHANG);
            if (ended == pid) break;
            if (ended < 0 && errno != EINTR) {
                status = -1;
                break;
            }
            peak = std::max(peak, static_cast<double>(sampled));
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto stop = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
        std::error_code ignored;
        const bool succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (!succeeded || fs::file_size(destination, ignored) != kBigSize) {
            state.SkipWithError("the companion failed or wrote the wrong size");
            break;
        }
    }
    state.counters["peak_MiB"] = peak / kMiB;
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kBigSize));
    std::error_code ignored;
    fs::remove(source, ignored);
    fs::remove(destination, ignored);
}

// Every file run is one timed iteration of a second or more; repetitions give the medians.
template <typename Function>
benchmark::internal::Benchmark* RegisterFileRun(const std::string& name, Function function)
{
    return benchmark::RegisterBenchmark(name.c_str(), function)
        ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::ranges::min_element(v); })
        ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::ranges::max_element(v); })
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

struct Pair {
    std::string name;
    Job subject;
    Job baseline;
};

Job Copy(const CopyOptions& options)
{
    return [options] {
        return ErrnoText(CopyThroughBuffer(gScratch.source, gScratch.destination, options));
    };
}

Job Transform(Coding coding)
{
    return [coding] {
        const auto error = TransformFile(coding, Endpoint::File(gScratch.source),
                                         Endpoint::File(gScratch.destination));
        return error ? error->description : "";
    };
}

Job CpAndFsync()
{
    return [] {
        std::string failure = RunCp(gScratch.source, gScratch.destination);
        return failure.empty() ? ErrnoText(FlushToDisk(gScratch.destination)) : failure;
    };
}

// The companion as a user runs it, in its own process.
Job Companion()
{
    return [] { return RunProgram({CORVANE_CODEC_EXE, "encode", gScratch.source, gScratch.destination}); };
}

// A copy as durable as the transform's: cp to a temporary name, flush it, rename it over the
// destination, flush the folder.
Job DurableCp()
{
    return [] {
        const fs::path temporary = gScratch.destination.string() + ".part";
        std::string failure = RunCp(gScratch.source, temporary);
        if (failure.empty()) failure = ErrnoText(FlushToDisk(temporary));
        if (failure.empty() && ::rename(temporary.c_str(), gScratch.destination.c_str()) != 0) {
            failure = std::strerror(errno);
        }
        return failure.empty() ? ErrnoText(FlushToDisk(gScratch.folder)) : failure;
    };
}

std::vector<Pair> Pairs()
{
    std::vector<Pair> pairs;
    // The buffer size: the coding's cost on top of the same copy, with and without the disk.
    for (const bool durable : {true, false}) {
        for (const std::size_t bufferSize : kBufferSizes) {
            const CopyOptions plain{bufferSize, false, durable};
            const CopyOptions coded{bufferSize, true, durable};
            pairs.push_back({"coded copy vs " + CopyName(plain), Copy(coded), Copy(plain)});
        }
    }
    // Where the buffer lies, and a mapped source instead of read(), without the disk.
    const CopyOptions coded{kTransformBuffer, true, false};
    CopyOptions pastPage = coded;
    pastPage.offset = 16;
    CopyOptions mapped = coded;
    mapped.mappedSource = true;
    pairs.push_back({CopyName(pastPage) + " vs page-aligned", Copy(pastPage), Copy(coded)});
    pairs.push_back({CopyName(mapped) + " vs read()", Copy(mapped), Copy(coded)});
    const CopyOptions plain{kTransformBuffer, false, true};
    pairs.push_back({"corvane-codec encode vs cp, fsync, rename, fsync folder", Companion(), DurableCp()});
    pairs.push_back({"EncodeFile vs " + CopyName(plain), Transform(Coding::Encode), Copy(plain)});
    pairs.push_back({"DecodeFile vs " + CopyName(plain), Transform(Coding::Decode), Copy(plain)});
    pairs.push_back({"EncodeFile vs cp + fsync", Transform(Coding::Encode), CpAndFsync()});
    return pairs;
}

void Register()
{
    for (Pair& pair : Pairs()) {
        RegisterFileRun(pair.name, [subject = std::move(pair.subject),
                                    baseline = std::move(pair.baseline)](benchmark::State& state) {
            TimePair(state, subject, baseline);
        });
    }
    // One run: it writes 4 GiB, and the peak does not vary.
    RegisterFileRun("EncodeFile 4 GiB/peak memory", PeakMemoryOfBigFile)->Repetitions(1);
}

// Writes the 1 GiB source (varied bytes, in 1 MiB blocks), reads it back into the page cache, and
// copies it once.
bool PrepareScratch()
{
    const char* chosen = std::getenv("CORVANE_BENCH_DIR");
    std::string pattern = ((chosen && *chosen) ? fs::path(chosen) : fs::temp_directory_path()) /
                          "corvane-file-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("cannot create the scratch folder");
        return false;
    }
    gScratch = {pattern, fs::path(pattern) / "source", fs::path(pattern) / "destination"};
    if (fs::space(gScratch.folder).available < kSourceSize * 2 + kBigSize + kGiB) {
        std::fprintf(stderr, "%s: needs about 7 GiB free\n", gScratch.folder.c_str());
        return false;
    }
    std::ofstream out(gScratch.source, std::ios::binary);
    std::vector<char> block(kMiB);
    for (std::uint64_t at = 0; at < kSourceSize; at += kMiB) {
        for (std::size_t i = 0; i < block.size(); ++i) {
            block[i] = static_cast<char>((at + i) * 2654435761u >> 24);
        }
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    out.close();
    std::ifstream in(gScratch.source, std::ios::binary);
    while (in.read(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
    if (!out || FlushToDisk(gScratch.source) != 0) return false;
    // One unmeasured copy: the first file written after start-up is much slower on a virtual
    // machine (its memory is touched for the first time), and the first run would pay for it.
    const bool warm = CopyThroughBuffer(gScratch.source, gScratch.destination, {}) == 0;
    Settle();
    return warm;
}

void PrintRatios(const RatioReport& report)
{
    std::printf("\nA 1 GiB file in the page cache, in %s; medians over the repetitions, and the\n"
                "lowest and highest ratio.\n\n", gScratch.folder.c_str());
    std::printf("| run | seconds | baseline seconds | ratio of times | ratios from, to |\n"
                "|---|---|---|---|---|\n");
    for (const Pair& pair : Pairs()) {
        const Median* run = report.Find(pair.name);
        if (!run) continue;
        const Median* low = report.FindAggregate(pair.name, "min");
        const Median* high = report.FindAggregate(pair.name, "max");
        std::printf("| %s | %.3f | %.3f | %.2f |", pair.name.c_str(), run->counters.at("subject_s"),
                    run->counters.at("baseline_s"), run->counters.at("ratio"));
        if (low && high) std::printf(" %.2f, %.2f |", low->counters.at("ratio"), high->counters.at("ratio"));
        std::printf("\n");
    }
    if (const Median* big = report.Find("EncodeFile 4 GiB/peak memory")) {
        std::printf("\nPeak resident memory of corvane-codec encoding %llu bytes: %.1f MiB (%.1f s).\n",
                    static_cast<unsigned long long>(kBigSize), big->counters.at("peak_MiB"), big->seconds);
    }
}

}  // namespace
}  // namespace corvane::bench

int main(int argc, char** argv)
{
    corvane::bench::CommandLine command(argc, argv, corvane::bench::kRepeatedOftenAndInterleaved);
    benchmark::Initialize(&command.argc(), command.argv());
    if (benchmark::ReportUnrecognizedArguments(command.argc(), command.argv())) return 1;
    namespace bench = corvane::bench;
    if (!bench::PrepareScratch()) {
        std::filesystem::remove_all(bench::gScratch.folder);
        return 1;
    }
    bench::Register();
    bench::RatioReport report;
    benchmark::RunSpecifiedBenchmarks(&report);
    bench::PrintRatios(report);
    benchmark::Shutdown();
    std::filesystem::remove_all(bench::gScratch.folder);
    return 0;
}
