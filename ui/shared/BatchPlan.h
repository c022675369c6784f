// Which files of a job are coded together: the plan of a batch, worked out from the files alone.
//
// A job's files are coded in runs: consecutive files into the same folder form one run, coded as
// one batch whose flushes to disk are shared; a folder that changes starts a new run. Work that
// counts each file on its own (Grouping::OneByOne) makes every file a run of its own, so that a
// run is always the stretch of work whose counts start from nothing. Before each run its folder
// is made when missing: every run's, not only the first into a folder, since a folder may be
// removed while the user answers a question between runs.
#pragma once

#include <QString>

#include <cstddef>
#include <span>

#include "codec/FileTransform.h"

namespace corvane {

// One file of a job: `source` coded into `folder` (made when missing) under `name`.
struct JobFile {
    Coding coding;
    QString source;
    QString folder;
    QString name;
};

enum class Grouping {
    ByFolder,  // consecutive files into one folder form one run
    OneByOne,  // every file is a run of its own
};

// Files [first, end) of a job, all into `folder`, which is made before the run when missing.
struct Run {
    std::size_t first = 0;
    std::size_t end = 0;
    QString folder;

    bool operator==(const Run&) const = default;
};

// The run that starts at file `first` of `files`: after a failure the job goes on with the run
// that starts after the failed file. Files that write the same file, or read what an earlier one
// writes, are the batch's to keep in order, so they need no run of their own. An empty run
// (first at or past the end) when no file is left.
Run RunFrom(std::span<const JobFile> files, std::size_t first, Grouping grouping);

}  // namespace corvane
