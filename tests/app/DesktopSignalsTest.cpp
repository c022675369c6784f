// The desktop program ended by a signal in the middle of an encode: the named temporary file it
// was writing is removed before it ends, as the companion removes its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/Companion.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using testing::AwaitCondition;
using testing::FileNames;

// Whether process `pid` has a file open in `folder` (named or not) that holds `size` bytes or more.
bool WritingInto(pid_t pid, const fs::path& folder, std::uintmax_t size)
{
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored)) {
        const fs::path target = fs::read_symlink(entry.path(), ignored);
        if (target.parent_path() != folder) continue;
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            static_cast<std::uintmax_t>(info.st_size) >= size)
            return true;
    }
    return false;
}

struct SignalRow {
    const char* temporary;
    int signalNumber;
};

void PrintTo(const SignalRow& row, std::ostream* out) { *out << row.temporary << ", SIG" << sigabbrev_np(row.signalNumber); }

class DesktopProgramEnded : public ::testing::TestWithParam<SignalRow> {
protected:
    testing::TempDir dir;
};

// The program, copied into a folder of its own so that its results go there, is started on a
// long file; a module loaded into it presses "Encode File!". Once the result has a megabyte on
// disk the program gets the signal: it ends through it, and the results folder holds nothing.
TEST_P(DesktopProgramEnded, LeavesNoTemporaryFile)
{
    const SignalRow row = GetParam();
    const fs::path program = dir / "program";
    fs::create_directories(program);
    fs::copy_file(CORVANE_DESKTOP_EXE, program / "corvane");
    fs::permissions(program / "corvane", fs::perms::owner_all);
    const fs::path source = dir / "long.bin";
    testing::WriteBytes(source, {});
    fs::resize_file(source, std::uintmax_t{8} << 30);  // sparse: read fast, written for real
    const fs::path results = program / "Encoded File(s)";

    rlimit noCore{0, 0};
    rlimit savedCore{};
    ::getrlimit(RLIMIT_CORE, &savedCore);
    ::setrlimit(RLIMIT_CORE, &noCore);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = testing::StartProgram((program / "corvane").string(), {source.string()}, null, null, null,
                                            dir.path(),
                                            {"QT_QPA_PLATFORM=offscreen", std::string("LD_PRELOAD=") + CORVANE_PRESS_ENCODE,
                                             std::string("CORVANE_TEMPORARY_FILE=") + row.temporary,
                                             "HOME=" + dir.path().string()});
    ::close(null);
    ASSERT_GT(pid, 0);

    const bool started = AwaitCondition([&] { return WritingInto(pid, results, std::uintmax_t{1} << 20); });
    if (started && std::string(row.temporary) == "named") {
        const auto names = FileNames(results);
        EXPECT_EQ(names.size(), 1u);
        if (!names.empty()) {
            EXPECT_EQ(names[0].rfind(".cv", 0), 0u) << names[0];
        }
    }
    ASSERT_EQ(::kill(pid, started ? row.signalNumber : SIGKILL), 0);
    const int status = testing::WaitStatus(pid);
    ::setrlimit(RLIMIT_CORE, &savedCore);
    ASSERT_TRUE(started) << "the program never wrote its result";
    EXPECT_EQ(status, 128 + row.signalNumber);
    EXPECT_EQ(FileNames(results), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Signals, DesktopProgramEnded,
                         ::testing::Values(SignalRow{"named", SIGTERM}, SignalRow{"named", SIGINT},
                                           SignalRow{"named", SIGHUP}, SignalRow{"named", SIGQUIT},
                                           SignalRow{"unnamed", SIGTERM}),
                         [](const auto& info) {
                             return std::string(info.param.temporary) + "_" + sigabbrev_np(info.param.signalNumber);
                         });

}  // namespace
}  // namespace corvane
