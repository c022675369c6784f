#include "ui/shared/JobTransform.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "ui/shared/OutputFolders.h"

namespace corvane {

namespace {

JobTransform& CurrentTransform()
{
    static JobTransform transform = JobTransform::Batches();
    return transform;
}

std::filesystem::path DestinationOf(const JobFile& file) { return platform::ToPath(JoinPath(file.folder, file.name)); }

// A file's outcome once it is coded alone: a warning counts only for a file that was coded.
BatchOutcome OutcomeOf(std::optional<Error> error, const TransformControl& control)
{
    const bool failed = error.has_value();
    return {std::move(error), failed ? std::nullopt : control.warning};
}

void CodeBatch(std::span<const JobFile> files, TransformControl& control, const JobTransform::Landed& landed)
{
    if (files.size() == 1) {
        landed(0, OutcomeOf(JobTransform::CodeFile(files.front(), control), control));
        return;
    }
    std::vector<BatchFile> batch;
    batch.reserve(files.size());
    for (const JobFile& file : files) {
        batch.push_back({file.coding, platform::ToPath(file.source), DestinationOf(file), Links::Refuse});
    }
    static_cast<void>(TransformFiles(batch, &control, landed, AfterFailure::Stop));
}

}  // namespace

JobTransform JobTransform::Batches() { return {CodeBatch, Grouping::ByFolder}; }

// Results go only into the program's own output folders, which the user never named: a link
// planted there (by anyone who may write the program's folder) is refused, never followed.
std::optional<Error> JobTransform::CodeFile(const JobFile& file, TransformControl& control)
{
    return TransformFile(file.coding, Endpoint::File(platform::ToPath(file.source)),
                         Endpoint::File(DestinationOf(file), Links::Refuse),
                         &control);
}

// Its runs hold one file each (Grouping::OneByOne); the loop keeps it right for any run.
JobTransform JobTransform::OneByOne(CodeOne code)
{
    auto run = [code = std::move(code)](std::span<const JobFile> files, TransformControl& control, const Landed& landed) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            control.warning.reset();  // each file's own
            BatchOutcome outcome = OutcomeOf(code(files[i], control), control);
            const bool failed = outcome.error.has_value();
            landed(i, outcome);
            if (failed) return;
        }
    };
    return {std::move(run), Grouping::OneByOne};
}

const JobTransform& JobTransform::Current() { return CurrentTransform(); }

JobTransform JobTransform::Use(JobTransform transform)
{
    return std::exchange(CurrentTransform(), transform.code ? std::move(transform) : Batches());
}

}  // namespace corvane
