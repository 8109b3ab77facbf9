// A user-interaction port for tests: answers message boxes from a script and records
// every message and every scan counter it was shown.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "setup/session/user_port.h"

namespace qvtest {

class RecordingPort : public qv::UserPort {
public:
    // Answers given to the next message boxes, in order; when the script runs out, a box
    // is answered with its default button.
    std::deque<qv::Answer> answers;
    std::vector<qv::Message> messages;
    std::vector<int> scanDirectories;
    std::vector<std::pair<int, std::string>> scanModules;
    int doEventsCalls = 0;

    qv::Answer ShowMessage(const qv::Message& message) override;
    void DoEvents() override { ++doEventsCalls; }
    void ShowScanDirectories(int count) override { scanDirectories.push_back(count); }
    void ShowScanModules(int count, const std::string& totalBytes) override {
        scanModules.emplace_back(count, totalBytes);
    }
};

// The answer of the button at 1-based position `position` of a box with these buttons.
qv::Answer ButtonAt(qv::Buttons buttons, int position);

}  // namespace qvtest
