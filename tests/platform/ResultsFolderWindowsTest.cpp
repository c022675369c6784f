// Where the results go on Windows: beside a program that is not installed, and in the user's
// Documents folder for an installed copy: one beside the installer's uninstaller, wherever it is,
// or one in Program Files, whoever may write that folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/ResultsFolder.h"
#include "support/TempDir.h"

namespace corvane::platform {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) { return QString::fromStdWString(path.wstring()); }

class ResultsFolderOnWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* variable : kVariables) saved_.push_back(qgetenv(variable));
        // Program Files here is a folder of the test's own, which this user may write.
        for (const char* variable : kVariables) qputenv(variable, QDir::toNativeSeparators(Q(programFiles)).toUtf8());
        fs::create_directories(programFiles);
    }
    void TearDown() override
    {
        SetProgramFolder({});
        for (std::size_t i = 0; i < std::size(kVariables); ++i) qputenv(kVariables[i], saved_[i]);
    }

    static constexpr const char* kVariables[] = {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"};
    testing::TempDir dir;
    const fs::path programFiles = dir.path() / "Program Files";
    std::vector<QByteArray> saved_;
};

TEST_F(ResultsFolderOnWindows, InstalledBesideItsUninstallerOrInProgramFilesElseBesideTheProgram)
{
    const QString documents = QDir::toNativeSeparators(
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)).filePath(QStringLiteral("Corvane")));
    const struct {
        const char* name;
        fs::path program;
        bool installed;
        const char* uninstaller = nullptr;  // a file or folder of that name beside the program
    } cases[] = {
        {"unpacked into a folder of the user's", dir.path() / "Downloads" / "corvane-1.0.0-windows-x64", false},
        {"a folder whose name only begins like Program Files", dir.path() / "Program Files Old" / "Corvane", false},
        {"installed", programFiles / "Corvane", true},
        {"installed into a folder of the user's choice", dir.path() / "Tools" / "Corvane", true, "Uninstall.exe"},
        {"a folder named like the uninstaller is none", dir.path() / "Unpacked" / "Corvane", false, "Uninstall.exe/"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        fs::create_directories(row.program);
        if (row.uninstaller) {
            const std::string name = row.uninstaller;
            if (name.ends_with('/')) {
                fs::create_directories(row.program / name.substr(0, name.size() - 1));
            } else {
                std::ofstream(row.program / name) << "MZ";
            }
        }
        const auto entries = [&] { return std::distance(fs::directory_iterator(row.program), fs::directory_iterator{}); };
        const auto count = entries();
        SetProgramFolder(Q(row.program));
        const QString base = ResultsBase();
        EXPECT_EQ(base, row.installed ? documents : QDir::toNativeSeparators(Q(row.program)));
        EXPECT_EQ(entries(), count) << "nothing is made beside the program";
    }
}

}  // namespace
}  // namespace corvane::platform
