// What the windows share: the error report, the output folders, the coding work and its units.
#include "support/SystemWords.h"
#include "support/UiFixture.h"
#include "ui/shared/Jobs.h"
#include "ui/shared/BatchPlan.h"
#include "ui/shared/Dropped.h"
#include "ui/shared/OutputFolders.h"
#include "ui/shared/ProgressCounting.h"
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

TEST(JoinPath, AlwaysAddsTheSeparatorSoARootDoublesIt)
{
    const QString s = QDir::separator();
    EXPECT_EQ(JoinPath(s, "a.txt"), s + s + "a.txt");
    EXPECT_EQ(JoinPath(s + "data", "a.txt"), s + "data" + s + "a.txt");
}

// The runs a job's files are coded in, walked as the job walks them: each run from the file
// after the last, or after a failed file.
TEST(BatchPlan, ConsecutiveFilesIntoOneFolderFormOneRun)
{
    const auto into = [](const char* folder) { return JobFile{Coding::Encode, "s", folder, "n"}; };
    const struct {
        const char* name;
        std::vector<JobFile> files;
        Grouping grouping;
        std::size_t from;  // where the walk starts: after a failure, in the middle of a run
        std::vector<corvane::Run> runs;
    } cases[] = {
        {"no file", {}, Grouping::ByFolder, 0, {}},
        {"one file", {into("E")}, Grouping::ByFolder, 0, {{0, 1, "E"}}},
        {"several into one folder", {into("E"), into("E"), into("E")}, Grouping::ByFolder, 0, {{0, 3, "E"}}},
        {"alternating folders",
         {into("E"), into("D"), into("D"), into("E")},
         Grouping::ByFolder,
         0,
         {{0, 1, "E"}, {1, 3, "D"}, {3, 4, "E"}}},
        {"after a failure", {into("E"), into("E"), into("E"), into("D")}, Grouping::ByFolder, 1, {{1, 3, "E"}, {3, 4, "D"}}},
        {"one by one", {into("E"), into("E")}, Grouping::OneByOne, 0, {{0, 1, "E"}, {1, 2, "E"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<corvane::Run> runs;
        for (std::size_t first = c.from; first < c.files.size(); first = runs.back().end) {
            runs.push_back(RunFrom(c.files, first, c.grouping));
            ASSERT_GT(runs.back().end, first);
        }
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(RunFrom(c.files, c.files.size(), c.grouping).first, RunFrom(c.files, c.files.size(), c.grouping).end);
    }
}

// The speed is counted from where the work says its counts start, and from nowhere else: a
// batch's files follow one another in one count, files coded one by one each start one, and
// counts that go back (a file of a batch tried once more) start none, nor give a wild figure.
TEST(ProgressCounting, CountsStartOnlyWhereTheWorkSaysSo)
{
    struct Step {
        double seconds;
        std::optional<std::uint64_t> done;  // none: the counts start here
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::optional<double> bytesPerSecond;  // after the last step
    } cases[] = {
        {"a batch's files in one count", {{0, {}}, {1, 100}, {2, 200}, {3, 300}}, 100},
        {"a file counted on its own", {{0, {}}, {1, 100}, {2, 200}, {2, {}}, {3, 50}, {4, 100}}, 50},
        {"counts that went back: no start", {{0, {}}, {1, 100}, {2, 300}, {2.5, 150}, {3, 300}}, 100},
        {"counts that went back past the rate's first sample", {{0, {}}, {1, 100}, {2, 200}, {3, 300}, {4.5, 50}},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgressCounting counting;
        for (const Step& step : c.steps) {
            if (step.done) {
                counting.Sample(step.seconds, *step.done);
            } else {
                counting.Start(step.seconds);
            }
        }
        EXPECT_EQ(counting.Estimate(1000).bytesPerSecond, c.bytesPerSecond);
    }
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
        const CodingJob* job = Jobs::Start(
            nullptr, std::move(files),
            {.landed = [&](const CodingJob::File& file) { outcome.landed << file.name; },
             .failed =
                 [&](const CodingJob::File&, const Error& error) {
                     outcome.failures.push_back(error);
                     return goOn;
                 },
             .warned = {},
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

// Several files coded as batches: each lands under its own name in order, a name given twice
// ends up with the later file, as one file after another would leave it; after a failure OK goes
// on with the next file and Cancel stops there, no later file touched.
TEST_F(CodingWork, ABatchLandsInOrderAndStopsOrGoesOnAtAFailure)
{
    std::filesystem::create_directories(data / "a");
    std::filesystem::create_directories(data / "b");
    testing::WriteBytes(data / "a" / "x.txt", {1, 2});
    testing::WriteBytes(data / "a" / "y.txt", {3});
    testing::WriteBytes(data / "b" / "x.txt", {4, 4});
    const struct {
        bool goOn;
        QStringList landed;
        testing::Bytes x;
    } cases[] = {{true, {"x.txt", "y.txt", "x.txt"}, {4, 8}}, {false, {"x.txt", "y.txt"}, {1, 3}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.goOn ? "OK goes on" : "Cancel stops");
        std::filesystem::remove_all(encoded());
        const Outcome outcome = Run({Into(Coding::Encode, data / "a" / "x.txt", kEncodedFolder, "x.txt"),
                                     Into(Coding::Encode, data / "a" / "y.txt", kEncodedFolder, "y.txt"),
                                     Into(Coding::Encode, data / "missing.txt", kEncodedFolder, "missing.txt"),
                                     Into(Coding::Encode, data / "b" / "x.txt", kEncodedFolder, "x.txt")},
                                    c.goOn);
        EXPECT_EQ(outcome.landed, c.landed);
        ASSERT_EQ(outcome.failures.size(), 1u);
        EXPECT_EQ(outcome.failures[0].number, ENOENT);
        EXPECT_EQ(outcome.cancelled, false);
        EXPECT_EQ(testing::ReadBytes(encoded() / "x.txt"), c.x);
        EXPECT_EQ(testing::ReadBytes(encoded() / "y.txt"), testing::Bytes{3});
        EXPECT_EQ(testing::FileNames(encoded()), (std::vector<std::string>{"x.txt", "y.txt"}));
    }
}

// Leaving the program while the user is asked about a failed file: whatever the answer, no later
// file is touched, the starter hears nothing more, and the program ends once, after the job.
TEST_F(CodingWork, LeavingWhileAFailureIsAskedAboutEndsTheJobThere)
{
    testing::WriteBytes(data / "a.txt", {1});
    int ended = 0;
    bool finished = false;
    const CodingJob* job = Jobs::Start(
        nullptr,
        {Into(Coding::Encode, data / "missing.txt", kEncodedFolder, "missing.txt"),
         Into(Coding::Encode, data / "a.txt", kDecodedFolder, "a.txt")},
        {.landed = {},
         .failed =
             [&](const CodingJob::File&, const Error&) {
                 Jobs::Leave([&] { ++ended; });
                 EXPECT_EQ(ended, 0);  // not while the question waits
                 return true;
             },
         .warned = {},
         .finished = [&](bool) { finished = true; }});
    ASSERT_TRUE(job);
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(finished);
    EXPECT_FALSE(std::filesystem::exists(decoded() / "a.txt"));
}

TEST_F(CodingWork, OneJobAtATime)
{
    testing::WriteBytes(data / "a.txt", {1});
    const auto file = Into(Coding::Encode, data / "a.txt", kEncodedFolder, "a.txt");
    CodingJob* first = Jobs::Start(nullptr, {file}, {});
    ASSERT_TRUE(first);
    EXPECT_EQ(Jobs::Running(), first);
    EXPECT_EQ(Jobs::Start(nullptr, {file}, {}), nullptr);
    ASSERT_TRUE(WorkEnded());
    EXPECT_EQ(testing::ReadBytes(encoded() / "a.txt"), testing::Bytes{1});
}

}  // namespace
}  // namespace corvane
