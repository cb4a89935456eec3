#pragma once
// A console for tests: records what the core shows, answers message boxes
// at once, and runs the message thread's calls on the thread that pumps, as
// the window's loop does.

#include <functional>
#include <string>
#include <vector>

#include "core/MessageQueue.h"
#include "core/OperatorConsole.h"

namespace quennel::test {

class FakeConsole : public OperatorConsole {
public:
    void ShowStatus(const std::string& text) override;
    void ClearResults() override;
    void ShowResults(bool visible) override;
    void AddResult(const std::string& line) override;
    void ShowAddress(const std::string& text) override;
    void ShowChecksum(const std::string& caption) override;
    void LockCommands() override;
    void UnlockCommands(bool programmerFound, bool fault) override;
    void ShowMessageBox(const MessageBoxRequest& box) override;
    void ProcessMessages() override;
    void WaitForMessages() override;
    void PostToMessageThread(std::function<void()> call) override;

    // What was shown, in order.
    std::string Status;                      // the caption now
    std::vector<std::string> StatusHistory;  // every caption set
    std::vector<std::string> Results;        // the result list now
    bool ResultsVisible = false;
    std::string Address;
    std::vector<std::string> AddressHistory;
    std::string Checksum;
    std::vector<MessageBoxRequest> Boxes;
    int Locks = 0;
    int Unlocks = 0;
    bool Locked = false;
    bool LastUnlockProgrammerFound = false;
    bool LastUnlockFault = false;
    int MessagePumps = 0; // ProcessMessages and WaitForMessages calls

    // Runs inside every message pump, before the queued calls: a test's way
    // of acting "from outside" in the middle of an operation (a close, Ctrl-C).
    std::function<void()> DuringMessages;
    // Runs when a message box is shown, while it is open.
    std::function<void(const MessageBoxRequest&)> DuringMessageBox;

    MessageQueue Queue;
};

} // namespace quennel::test
