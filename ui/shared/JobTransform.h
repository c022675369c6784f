// How a job's files are coded on the runner's thread, and which way jobs use: the program's own
// (one file by TransformFile, several into one folder as one TransformFiles batch), or one that a
// test puts in its place to hold, slow or fail the work.
//
// A transform codes one run of files (BatchPlan.h), all into one folder: in order, each outcome
// heard through `landed`, ending at the first file that fails (the last outcome heard), following
// and cancelling through `control`. Its grouping says which files form a run, and so where the
// counts of the work start from nothing: a batch counts all its files as one total, work that
// counts each file on its own codes each as a run of its own.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>

#include "codec/Error.h"
#include "codec/FileTransform.h"
#include "ui/shared/BatchPlan.h"

namespace corvane {

struct JobTransform {
    // A file's outcome as it is known, on the runner's thread; `index` counts in the run.
    using Landed = std::function<void(std::size_t index, const BatchOutcome& outcome)>;
    using CodeRun = std::function<void(std::span<const JobFile> files, TransformControl& control, const Landed& landed)>;
    using CodeOne = std::function<std::optional<Error>(const JobFile& file, TransformControl& control)>;

    CodeRun code;
    Grouping grouping = Grouping::ByFolder;

    // The program's transform: one file alone as CodeFile codes it, several as one batch of
    // TransformFiles that stops at its first failure.
    static JobTransform Batches();
    // One file coded from its source into its folder.
    static std::optional<Error> CodeFile(const JobFile& file, TransformControl& control);
    // A transform that codes each file with `code`, each counted on its own as a run of its own.
    static JobTransform OneByOne(CodeOne code);

    // The transform that jobs started from now on use.
    static const JobTransform& Current();
    // Makes jobs started from now on use `transform` (Batches when it has no code); returns the
    // transform used before. A test holds, slows or fails work with it.
    static JobTransform Use(JobTransform transform);
};

}  // namespace corvane
