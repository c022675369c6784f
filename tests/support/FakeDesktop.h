// A desktop for tests: answers message boxes from a queue (OK once it runs dry) and records
// every box, started program, opened address and ending of the program.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "platform/Desktop.h"

namespace corvane::testing {

class FakeDesktop : public platform::Desktop {
public:
    FakeDesktop() : override_(*this) {}

    platform::MsgAnswer ShowMessage(const platform::MessageBoxRequest& request) override
    {
        boxes.push_back(request);
        if (onMessage) onMessage(request);
        if (answers.empty()) return platform::MsgAnswer::Ok;
        const platform::MsgAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<Error> StartProgram(const platform::ProgramRequest& request, platform::ProgramEnded ended) override
    {
        programs.push_back(request);
        endings.push_back(std::move(ended));
        return startError;
    }
    void OpenAddress(const QString& address) override { addresses << address; }
    void EndProgram() override { ++ended; }

    std::deque<platform::MsgAnswer> answers;
    std::function<void(const platform::MessageBoxRequest&)> onMessage;
    std::optional<Error> startError;

    std::vector<platform::MessageBoxRequest> boxes;
    std::vector<platform::ProgramRequest> programs;
    std::vector<platform::ProgramEnded> endings;  // each started program's, to end it as a test says
    QStringList addresses;
    int ended = 0;

private:
    platform::DesktopOverride override_;
};

}  // namespace corvane::testing
