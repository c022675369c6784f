#include <gtest/gtest.h>

#include <QDir>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include <sys/mount.h>
#include <unistd.h>

#include "platform/Files.h"
#include "platform/ResultsFolder.h"
#include "support/TempDir.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }

// Sets an environment variable for the life of this object.
class EnvironmentOverride {
public:
    EnvironmentOverride(const char* name, const QByteArray& value)
        : name_(name), saved_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~EnvironmentOverride()
    {
        if (had_) {
            qputenv(name_, saved_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;

private:
    const char* name_;
    QByteArray saved_;
    bool had_;
};

// Takes the right to write `folder` away from this process for the life of this object: root
// ignores permission bits, so it gets a read-only file system mounted there instead.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(fs::path folder) : folder_(std::move(folder))
    {
        if (::geteuid() != 0) {
            fs::permissions(folder_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        } else if (::mount("tmpfs", folder_.c_str(), "tmpfs", MS_RDONLY, "size=4k") == 0) {
            mounted_ = true;
        } else {
            why_ = std::string("cannot mount a read-only file system here: ") + std::strerror(errno);
        }
    }
    ~ReadOnlyFolder()
    {
        if (mounted_) ::umount(folder_.c_str());
        fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    const std::string& Why() const { return why_; }

private:
    fs::path folder_;
    bool mounted_ = false;
    std::string why_;
};

enum class Layout {
    BuildFolder,  // .../build/bin, nothing installed around it
    Unpacked,     // a folder of the user's own that is not called bin
    Installed,    // <prefix>/bin with <prefix>/share/applications/org.corvane.Corvane.desktop
    ReadOnly,     // a folder of any name that the user cannot write
};

// A home folder and a program folder of their own, with HOME and XDG_CONFIG_HOME pointing into
// the home folder, and ProgramFolder() answering the program folder.
class ResultsFolder : public ::testing::Test {
protected:
    void TearDown() override { SetProgramFolder({}); }

    fs::path MakeProgramFolder(Layout layout)
    {
        const fs::path prefix = dir / "prefix";
        const fs::path program = prefix / (layout == Layout::Unpacked ? "Corvane" : "bin");
        fs::create_directories(program);
        if (layout == Layout::Installed) {
            fs::create_directories(prefix / "share" / "applications");
            std::ofstream(prefix / "share" / "applications" / "org.corvane.Corvane.desktop") << "[Desktop Entry]\n";
        }
        SetProgramFolder(Q(program));
        return program;
    }

    void WriteUserDirs(const std::string& line)
    {
        fs::create_directories(home / ".config");
        std::ofstream(home / ".config" / "user-dirs.dirs") << line << "\n";
    }

    testing::TempDir dir;
    const fs::path home = dir.path() / "home";
    EnvironmentOverride homeVariable{"HOME", QFile::encodeName(Q(home))};
    EnvironmentOverride configVariable{"XDG_CONFIG_HOME", QFile::encodeName(Q(home / ".config"))};
};

TEST_F(ResultsFolder, BesideAWritableProgramElseInTheDocumentsFolder)
{
    const struct {
        const char* name;
        Layout layout;
        const char* userDirs;   // the line of user-dirs.dirs, or nullptr for none
        const char* documents;  // the folder under home expected to hold Corvane, or nullptr for beside
    } cases[] = {
        {"build folder", Layout::BuildFolder, nullptr, nullptr},
        {"unpacked into a folder of the user's", Layout::Unpacked, nullptr, nullptr},
        {"installed", Layout::Installed, nullptr, "Documents"},
        {"installed, documents moved", Layout::Installed, "XDG_DOCUMENTS_DIR=\"$HOME/My Papers\"", "My Papers"},
        {"read-only folder", Layout::ReadOnly, nullptr, "Documents"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        fs::remove_all(dir.path());
        fs::create_directories(home);
        if (row.userDirs) WriteUserDirs(row.userDirs);
        const fs::path program = MakeProgramFolder(row.layout);
        std::optional<ReadOnlyFolder> readOnly;
        if (row.layout == Layout::ReadOnly) {
            readOnly.emplace(program);
            if (!readOnly->Why().empty()) {
                ADD_FAILURE() << readOnly->Why();
                continue;
            }
        }

        const QString base = ResultsBase();

        if (!row.documents) {
            EXPECT_EQ(base, QDir::toNativeSeparators(Q(program)));
            EXPECT_FALSE(fs::exists(home / "Documents")) << "nothing is made in the home folder";
            continue;
        }
        const fs::path expected = home / row.documents / "Corvane";
        EXPECT_EQ(base, QDir::toNativeSeparators(Q(expected)));
        EXPECT_FALSE(fs::exists(home / row.documents)) << "the question makes no folder";
        EXPECT_TRUE(fs::is_empty(program)) << "nothing is made beside the program";
        // The first result's folder is made with its missing parents.
        EXPECT_FALSE(MakeFolder(base + QDir::separator() + QStringLiteral("Encoded File(s)")));
        EXPECT_TRUE(fs::is_directory(expected / "Encoded File(s)"));
    }
}

// Root may write anywhere: an installed copy must still keep out of the system's folders.
TEST_F(ResultsFolder, InstalledCopyKeepsOutOfItsFolderEvenWhenWritable)
{
    fs::create_directories(home);
    const fs::path program = MakeProgramFolder(Layout::Installed);
    ASSERT_EQ(::access(program.c_str(), W_OK), 0);
    EXPECT_EQ(ResultsBase(), QDir::toNativeSeparators(Q(home / "Documents" / "Corvane")));
    EXPECT_TRUE(fs::is_empty(program));
}

// A documents folder that cannot be made is still answered, so that making the results
// folder in it reports the reason to the user.
TEST_F(ResultsFolder, UnmakeableDocumentsFolderIsStillAnswered)
{
    fs::create_directories(home);
    std::ofstream(home / "Documents") << "a file where the folder should be\n";
    MakeProgramFolder(Layout::Installed);
    const QString base = ResultsBase();
    EXPECT_EQ(base, QDir::toNativeSeparators(Q(home / "Documents" / "Corvane")));
    const auto error = MakeFolder(base + QDir::separator() + QStringLiteral("Encoded File(s)"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->number, ENOTDIR);
}

}  // namespace
}  // namespace corvane::platform
