// What the windows share: the error report, the output folders, the coding work and its units.
#include "support/SystemWords.h"
#include "support/UiFixture.h"
#include "ui/shared/CodingJob.h"
#include "ui/shared/Dropped.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ProgressWindow.h"
#include "ui/shared/ReportError.h"

#include <QCursor>

namespace corvane {
namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;
using testing::Q;

TEST(ReportError, ShowsTheErrorLineWithOkAndCancelUnderNoData)
{
    testing::FakeDesktop desktop;
    desktop.answers = {MsgAnswer::Cancel};
    EXPECT_EQ(ReportError(Error{-5, "Cannot read 'C:\\Temp\\\"a\".txt': \xC3\xA9" "chec"}), MsgAnswer::Cancel);
    ASSERT_EQ(desktop.boxes.size(), 1u);
    EXPECT_EQ(desktop.boxes[0].text, QString::fromUtf8("Error: -5: Cannot read 'C:\\Temp\\\"a\".txt': \xC3\xA9" "chec"));
    EXPECT_EQ(desktop.boxes[0].caption, "No Data");
    EXPECT_EQ(desktop.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(desktop.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(desktop.ended, 0);  // the report alone never ends the program
}

TEST(ReportCommandError, OkGoesOnAndCancelEndsTheProgram)
{
    const struct {
        MsgAnswer answer;
        bool goesOn;
        int ended;
    } cases[] = {{MsgAnswer::Ok, true, 0}, {MsgAnswer::Cancel, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer == MsgAnswer::Ok ? "OK" : "Cancel");
        testing::FakeDesktop desktop;
        desktop.answers = {c.answer};
        EXPECT_EQ(ReportCommandError(Error{2, "gone"}), c.goesOn);
        EXPECT_EQ(desktop.boxes.size(), 1u);
        EXPECT_EQ(desktop.ended, c.ended);
    }
}

// Dropped files coded as batches: each lands under its own name, a name dropped twice ends up
// with the later file, as one file after another would leave it, and every outcome is heard in
// the drop's order.
TEST(CodeDroppedFiles, CodesEachFileIntoTheFolderInTheDropsOrder)
{
    testing::TempDir dir;
    std::filesystem::create_directories(dir / "a");
    std::filesystem::create_directories(dir / "b");
    std::filesystem::create_directories(dir / "out");
    testing::WriteBytes(dir / "a" / "x.txt", {1, 2});
    testing::WriteBytes(dir / "a" / "y.txt", {3});
    testing::WriteBytes(dir / "b" / "x.txt", {4, 4});
    const QStringList paths{testing::Q(dir / "a" / "x.txt"), testing::Q(dir / "a" / "y.txt"),
                            testing::Q(dir / "a" / "missing.txt"), testing::Q(dir / "b" / "x.txt")};
    std::vector<int> heard;
    const std::vector<BatchOutcome> outcomes =
        CodeDroppedFiles(Coding::Encode, paths, testing::Q(dir / "out"), nullptr,
                         [&](int index, const BatchOutcome&) { heard.push_back(index); });
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_FALSE(outcomes[0].error);
    EXPECT_FALSE(outcomes[1].error);
    ASSERT_TRUE(outcomes[2].error);
    EXPECT_EQ(outcomes[2].error->number, ENOENT);
    EXPECT_FALSE(outcomes[3].error);
    EXPECT_EQ(testing::ReadBytes(dir / "out" / "x.txt"), (testing::Bytes{4, 8}));
    EXPECT_EQ(testing::ReadBytes(dir / "out" / "y.txt"), testing::Bytes{3});
    EXPECT_EQ(testing::FileNames(dir / "out"), (std::vector<std::string>{"x.txt", "y.txt"}));
}

TEST(JoinPath, AlwaysAddsTheSeparatorSoARootDoublesIt)
{
    const QString s = QDir::separator();
    EXPECT_EQ(JoinPath(s, "a.txt"), s + s + "a.txt");
    EXPECT_EQ(JoinPath(s + "data", "a.txt"), s + "data" + s + "a.txt");
}

// Coding work run to its end without a window, and what each file's outcome tells the starter.
class CodingWork : public testing::UiTest {
protected:
    struct Outcome {
        QStringList landed;
        std::vector<Error> failures;
        std::optional<bool> cancelled;  // set once the finished handler ran
    };

    // Runs `files` as one job; after a failure the job goes on when `goOn` says so.
    Outcome Run(std::vector<CodingJob::File> files, bool goOn = true)
    {
        Outcome outcome;
        const CodingJob* job = CodingJob::Start(
            nullptr, std::move(files),
            {.landed = [&](const CodingJob::File& file) { outcome.landed << file.name; },
             .failed =
                 [&](const CodingJob::File&, const Error& error) {
                     outcome.failures.push_back(error);
                     return goOn;
                 },
             .finished = [&](bool cancelled) { outcome.cancelled = cancelled; }});
        EXPECT_TRUE(job);
        EXPECT_TRUE(WorkEnded());
        return outcome;
    }

    CodingJob::File Into(Coding coding, const std::filesystem::path& source, const QString& folder, const QString& name)
    {
        return {coding, Q(source), OutputFolder(folder), name};
    }
};

TEST_F(CodingWork, MakesTheFolderCodesTheFileAndRestoresTheCursor)
{
    testing::WriteBytes(data / "a.txt", {1, 2, 3});
    EXPECT_EQ(OutputFolder(kEncodedFolder), Q(encoded()));
    Outcome outcome = Run({Into(Coding::Encode, data / "a.txt", kEncodedFolder, "b.txt")});
    EXPECT_EQ(outcome.landed, QStringList{"b.txt"});
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(outcome.cancelled, false);
    EXPECT_EQ(testing::ReadBytes(encoded() / "b.txt"), (testing::Bytes{1, 3, 6}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A failure comes back as the transform's error, and the cursor is restored as well.
    outcome = Run({Into(Coding::Decode, data / "missing", kDecodedFolder, "missing")});
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].number, ENOENT);
    EXPECT_TRUE(outcome.landed.isEmpty());
    EXPECT_EQ(outcome.cancelled, false);
    EXPECT_TRUE(std::filesystem::is_directory(decoded()));
    EXPECT_FALSE(std::filesystem::exists(decoded() / "missing"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CodingWork, AnOutputFolderTakenByAFileIsTheError)
{
    testing::WriteBytes(data / "a.txt", {1});
    testing::WriteBytes(encoded(), {2});  // a file holds the output folder's name
    const Outcome outcome = Run({Into(Coding::Encode, data / "a.txt", kEncodedFolder, "a.txt")});
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].number, testing::kThroughAFile);
    EXPECT_EQ("Error: " + QString::number(outcome.failures[0].number) + ": " +
                  QString::fromStdString(outcome.failures[0].description),
              testing::ErrorText(testing::kThroughAFile, testing::kThroughAFileWhat, Q(encoded() / "a.txt")));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A failure in a batch: the starter's answer decides whether the files after it are coded.
TEST_F(CodingWork, ABatchGoesOnAfterAFailureOrStopsThere)
{
    testing::WriteBytes(data / "a.txt", {1});
    testing::WriteBytes(data / "c.txt", {2});
    for (const bool goOn : {true, false}) {
        SCOPED_TRACE(goOn ? "go on" : "stop");
        std::filesystem::remove_all(encoded());
        const Outcome outcome = Run({Into(Coding::Encode, data / "a.txt", kEncodedFolder, "a.txt"),
                                     Into(Coding::Encode, data / "b.txt", kEncodedFolder, "b.txt"),
                                     Into(Coding::Encode, data / "c.txt", kEncodedFolder, "c.txt")},
                                    goOn);
        EXPECT_EQ(outcome.failures.size(), 1u);
        EXPECT_EQ(outcome.landed, goOn ? (QStringList{"a.txt", "c.txt"}) : QStringList{"a.txt"});
        EXPECT_EQ(outcome.cancelled, false);
        EXPECT_EQ(testing::FileNames(encoded()),
                  goOn ? (std::vector<std::string>{"a.txt", "c.txt"}) : std::vector<std::string>{"a.txt"});
    }
}

TEST_F(CodingWork, OneJobAtATime)
{
    testing::WriteBytes(data / "a.txt", {1});
    const auto file = Into(Coding::Encode, data / "a.txt", kEncodedFolder, "a.txt");
    CodingJob* first = CodingJob::Start(nullptr, {file}, {});
    ASSERT_TRUE(first);
    EXPECT_EQ(CodingJob::Running(), first);
    EXPECT_EQ(CodingJob::Start(nullptr, {file}, {}), nullptr);
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::ReadBytes(encoded() / "a.txt"), testing::Bytes{1});
}

}  // namespace
}  // namespace corvane
