// The desktop of a benchmark that drives the windows: any message box is a failure of the run.
// It is printed, never shown, and answered with OK.
#pragma once

#include <cstdio>
#include <optional>

#include "platform/Desktop.h"

namespace corvane::bench {

class PrintingDesktop : public platform::Desktop {
public:
    platform::MsgAnswer ShowMessage(const platform::MessageBoxRequest& request) override
    {
        std::fprintf(stderr, "message: %s\n", request.text.toStdString().c_str());
        failed = true;
        return platform::MsgAnswer::Ok;
    }
    std::optional<Error> StartProgram(const platform::ProgramRequest&, platform::ProgramEnded) override { return std::nullopt; }
    void OpenAddress(const QString&) override {}
    void EndProgram() override {}
    bool failed = false;
};

}  // namespace corvane::bench
