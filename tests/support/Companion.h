// Starting the real companion, built beside the tests (CORVANE_CODEC_EXE), as a child process.
// POSIX only.
#pragma once

#include "support/Programs.h"

namespace corvane::testing {

// The companion, built beside the tests, started as StartProgram starts a program.
inline pid_t StartCompanion(const std::vector<std::string>& args, int in, int out, int err,
                            const std::filesystem::path& folder = {},
                            const std::vector<std::string>& extraEnvironment = {})
{
    return StartProgram(CORVANE_CODEC_EXE, args, in, out, err, folder, extraEnvironment);
}

}  // namespace corvane::testing
