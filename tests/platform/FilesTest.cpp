#include <gtest/gtest.h>

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#endif

#include "codec/Describe.h"
#include "platform/Files.h"
#include "support/SystemWords.h"
#include "support/TempDir.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

class Files : public ::testing::Test {
protected:
    testing::TempDir dir;
};

TEST_F(Files, LengthsAreSixtyFourBit)
{
    testing::WriteBytes(dir / "empty", {});
    const auto empty = FileLength(Q(dir / "empty"));
    ASSERT_TRUE(empty) << ErrorLine(empty.error());
    EXPECT_EQ(*empty, 0);
    testing::WriteBytes(dir / "huge", {});
    fs::resize_file(dir / "huge", (qint64{5} << 30) + 3);  // sparse: takes no room
    const auto huge = FileLength(Q(dir / "huge"));
    ASSERT_TRUE(huge) << ErrorLine(huge.error());
    EXPECT_EQ(*huge, (qint64{5} << 30) + 3);

    const auto missing = FileLength(Q(dir / "missing"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().number, ENOENT);
    EXPECT_EQ(missing.error().description,
              "Cannot read the size of '" + Q(dir / "missing").toStdString() + "': No such file or directory");
}

// A file named on the command line is checked in the system's own numbers and words: on Windows
// "The system cannot find the file specified", never the C library's "No such file or directory".
TEST_F(Files, AFileToOpenIsCheckedInTheSystemsOwnWords)
{
    testing::WriteBytes(dir / "plain.txt", {'x'});
    EXPECT_FALSE(CheckFileToOpen(Q(dir / "plain.txt")));
    const struct {
        const char* name;
        int number;
    } cases[] = {{"missing.txt", testing::kNoSuchFile}, {"", testing::kFolderAsFile}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const QString path = Q(dir / row.name);
        const auto error = CheckFileToOpen(path);
        ASSERT_TRUE(error);
        EXPECT_EQ(QString::fromStdString(ErrorLine(*error)),
                  testing::ErrorText(row.number, "Cannot open", QString::fromStdString(NameInMessage(path))));
    }
}

TEST_F(Files, AttributeBits)
{
    const struct {
        const char* name;
        bool folder;
        bool readOnly;
        quint32 bits;
    } cases[] = {
        {"plain", false, false, 0},
        {"locked", false, true, kReadOnly},
        {".secret", false, false, kHidden},
        {".both", false, true, kHidden | kReadOnly},
        {"folder", true, false, kFolder},
        {".hidden-folder", true, true, kFolder | kHidden | kReadOnly},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = dir / c.name;
        if (c.folder) {
            fs::create_directory(path);
        } else {
            testing::WriteBytes(path, {1});
        }
        quint32 expected = c.bits;
#ifdef _WIN32
        // Windows keeps these as the file's own attribute bits, set here as a user would set
        // them; a new file also carries the archive bit.
        // (Wine keeps no read-only bit on a folder.)
        DWORD own = c.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
        if (c.readOnly && !c.folder) own |= FILE_ATTRIBUTE_READONLY;
        if (c.folder) expected &= ~quint32{kReadOnly};
        if (c.bits & kHidden) own |= FILE_ATTRIBUTE_HIDDEN;
        ASSERT_TRUE(::SetFileAttributesW(path.c_str(), own & ~FILE_ATTRIBUTE_DIRECTORY));
        if (!c.folder) expected |= kArchive;
#else
        if (c.readOnly) fs::permissions(path, fs::perms::owner_write, fs::perm_options::remove);
#endif
        const auto bits = FileAttributes(Q(path));
#ifdef _WIN32
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
        fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
#endif
        EXPECT_TRUE(bits) << (bits ? "" : ErrorLine(bits.error()));
        if (bits) {
            EXPECT_EQ(*bits, expected);
        }
    }
    const auto missing = FileAttributes(Q(dir / "missing"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().number, ENOENT);
}

// The folder a result goes into is made with whichever of its parents are missing (the documents
// folder's Corvane, for an installed copy), where the result is written rather than where its
// place is asked for.
TEST_F(Files, FoldersAreMadeWithTheirMissingParents)
{
    EXPECT_FALSE(MakeFolder(Q(dir / "Encoded File(s)")));
    EXPECT_TRUE(fs::is_directory(dir / "Encoded File(s)"));
    EXPECT_TRUE(PathExists(Q(dir / "Encoded File(s)")));

    const auto again = MakeFolder(Q(dir / "Encoded File(s)"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->number, EEXIST);
    EXPECT_FALSE(MakeFolder(Q(dir / "a" / "b")));
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b"));

    testing::WriteBytes(dir / "file", {1});
    const auto throughAFile = MakeFolder(Q(dir / "file" / "b"));
    ASSERT_TRUE(throughAFile);
#ifndef _WIN32
    EXPECT_EQ(throughAFile->number, ENOTDIR);
#endif
}

TEST_F(Files, ExistenceDatesAndDeletion)
{
    testing::WriteBytes(dir / "file", {1});
#ifndef _WIN32
    // A link that leads nowhere still exists (Wine has no symbolic links to make).
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    EXPECT_TRUE(PathExists(Q(dir / "dangling")));
#endif
    EXPECT_TRUE(PathExists(Q(dir / "file")));
    EXPECT_FALSE(PathExists(Q(dir / "nothing")));

    const auto modified = FileModified(Q(dir / "file"));
    ASSERT_TRUE(modified) << ErrorLine(modified.error());
    EXPECT_LE(qAbs(modified->secsTo(QDateTime::currentDateTime())), 60);
    EXPECT_FALSE(DateTimeText(*modified).isEmpty());

    EXPECT_FALSE(RemoveFile(Q(dir / "file")));
    EXPECT_FALSE(PathExists(Q(dir / "file")));
    const auto again = RemoveFile(Q(dir / "file"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->number, ENOENT);
}

}  // namespace
}  // namespace corvane::platform
