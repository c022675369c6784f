#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "codec/ByteCodec.h"
#include "codec/FileTransform.h"
#include "support/Coded.h"
#include "support/SmallDisk.h"
#include "support/TempDir.h"

namespace corvane {
namespace {

using testing::Bytes;
using testing::Encoded;
using testing::FileNames;
using testing::FirstDifference;
using testing::ReadBytes;
using testing::WriteBytes;

class FileTransform : public ::testing::Test {
protected:
    testing::TempDir dir;
};

TEST_F(FileTransform, RoundTripsAnyContentAcrossChunkEdges)
{
    Bytes ramp(256);
    for (int i = 0; i < 256; ++i) ramp[i] = static_cast<std::uint8_t>(i);
    const struct {
        const char* name;
        Bytes content;
    } cases[] = {
        {"empty", {}},
        {"one byte", {0xA5}},
        {"ramp", ramp},
        {"all 0xFF", Bytes(3000, 0xFF)},
        {"three chunks and a bit", testing::RandomBytes((3 << 20) + 5, 11)},
    };
    for (const auto& c : cases) {
        WriteBytes(dir / "plain", c.content);
        ASSERT_FALSE(EncodeFile(dir / "plain", dir / "coded")) << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "coded"), Encoded(c.content)), "") << c.name;
        ASSERT_FALSE(DecodeFile(dir / "coded", dir / "again")) << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "again"), c.content), "") << c.name;
        EXPECT_EQ(FirstDifference(ReadBytes(dir / "plain"), c.content), "") << "source changed: " << c.name;
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"again", "coded", "plain"}));
}

TEST_F(FileTransform, SamePathIsReplacedByItsCodedContent)
{
    const Bytes plain = testing::RandomBytes(5000, 3);
    WriteBytes(dir / "file", plain);
    ASSERT_FALSE(EncodeFile(dir / "file", dir / "file"));
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "file"), Encoded(plain)), "");
    ASSERT_FALSE(DecodeFile(dir / "file", dir / "file"));
    EXPECT_EQ(FirstDifference(ReadBytes(dir / "file"), plain), "");
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{"file"});
}

TEST_F(FileTransform, LongerDestinationEndsAtTheNewLength)
{
    WriteBytes(dir / "source", {1, 2, 3});
    WriteBytes(dir / "destination", Bytes(10000, 0x55));
    ASSERT_FALSE(EncodeFile(dir / "source", dir / "destination"));
    EXPECT_EQ(ReadBytes(dir / "destination"), (Bytes{1, 3, 6}));
}

TEST_F(FileTransform, DestinationLinkIsReplacedAndItsTargetLeftAlone)
{
    WriteBytes(dir / "source", {1, 1});
    WriteBytes(dir / "target", {9});
    std::filesystem::create_symlink(dir / "target", dir / "link");
    ASSERT_FALSE(EncodeFile(dir / "source", dir / "link"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "link"));
    EXPECT_EQ(ReadBytes(dir / "link"), (Bytes{1, 2}));
    EXPECT_EQ(ReadBytes(dir / "target"), Bytes{9});
}

TEST_F(FileTransform, RefusedInputsWriteNothing)
{
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    WriteBytes(dir / "plain", {1, 2, 3});
    WriteBytes(dir / "earlier", {7, 7});

    const struct {
        const char* name;
        std::filesystem::path source;
        std::filesystem::path destination;
        int number;
        std::string description;
    } cases[] = {
        {"missing source", dir / "nothing", dir / "out", ENOENT,
         "Cannot open '" + (dir / "nothing").string() + "': No such file or directory"},
        {"folder as source", dir / "folder", dir / "out", EISDIR,
         "Cannot read '" + (dir / "folder").string() + "': Is a directory"},
        // Refused at once: opening must not wait for a writer.
        {"FIFO as source", dir / "fifo", dir / "out", EINVAL,
         "Cannot read '" + (dir / "fifo").string() + "': not a regular file"},
        {"missing destination folder", dir / "plain", dir / "absent" / "out", ENOENT,
         "Cannot write '" + (dir / "absent" / "out").string() + "': No such file or directory"},
        {"folder as destination", dir / "plain", dir / "folder", EISDIR,
         "Cannot write '" + (dir / "folder").string() + "': Is a directory"},
        {"missing source, existing destination", dir / "nothing", dir / "earlier", ENOENT,
         "Cannot open '" + (dir / "nothing").string() + "': No such file or directory"},
    };
    for (const auto& c : cases) {
        const auto error = EncodeFile(c.source, c.destination);
        ASSERT_TRUE(error) << c.name;
        EXPECT_EQ(error->number, c.number) << c.name;
        EXPECT_EQ(error->description, c.description) << c.name;
    }
    EXPECT_EQ(FileNames(dir.path()), (std::vector<std::string>{"earlier", "fifo", "folder", "plain"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
    EXPECT_EQ(ReadBytes(dir / "earlier"), (Bytes{7, 7}));
}

// A write that fails half-way must leave the earlier destination whole and no temporary file.
void ExpectNothingLost(const std::filesystem::path& folder, const std::filesystem::path& source,
                       int expectedNumber)
{
    const Bytes earlier{4, 5, 6};
    WriteBytes(folder / "result", earlier);
    const auto error = EncodeFile(source, folder / "result");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number, expectedNumber) << error->description;
    EXPECT_NE(error->description.find((folder / "result").string()), std::string::npos)
        << error->description;
    EXPECT_EQ(ReadBytes(folder / "result"), earlier);
    EXPECT_EQ(FileNames(folder), std::vector<std::string>{"result"});
}

TEST_F(FileTransform, FullDiskKeepsTheEarlierDestination)
{
    const testing::SmallDisk small(dir / "small");
    if (!small.Mounted()) GTEST_SKIP() << small.Why();
    WriteBytes(dir / "big", testing::RandomBytes(1 << 20, 5));
    ExpectNothingLost(small.path(), dir / "big", ENOSPC);
}

TEST_F(FileTransform, OverSizeWriteIsAnErrorNotASignal)
{
    const auto folder = dir / "out";
    std::filesystem::create_directory(folder);
    WriteBytes(dir / "big", testing::RandomBytes(1 << 20, 6));

    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    ExpectNothingLost(folder, dir / "big", EFBIG);
    ::setrlimit(RLIMIT_FSIZE, &saved);
}

}  // namespace
}  // namespace corvane
