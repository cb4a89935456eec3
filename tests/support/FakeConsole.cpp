#include "FakeConsole.h"

#include <utility>

namespace quennel::test {

void FakeConsole::ShowStatus(const std::string& text) {
    Status = text;
    StatusHistory.push_back(text);
}

void FakeConsole::ClearResults() { Results.clear(); }
void FakeConsole::ShowResults(bool visible) { ResultsVisible = visible; }
void FakeConsole::AddResult(const std::string& line) { Results.push_back(line); }

void FakeConsole::ShowAddress(const std::string& text) {
    Address = text;
    AddressHistory.push_back(text);
}

void FakeConsole::ShowChecksum(const std::string& caption) { Checksum = caption; }

void FakeConsole::LockCommands() {
    ++Locks;
    Locked = true;
    ResultsVisible = false;
}

void FakeConsole::UnlockCommands(bool programmerFound, bool fault) {
    ++Unlocks;
    Locked = false;
    LastUnlockProgrammerFound = programmerFound;
    LastUnlockFault = fault;
}

void FakeConsole::ShowMessageBox(const MessageBoxRequest& box) {
    Boxes.push_back(box);
    if (DuringMessageBox)
        DuringMessageBox(box);
}

void FakeConsole::ProcessMessages() {
    ++MessagePumps;
    if (DuringMessages)
        DuringMessages();
    Queue.ProcessMessages();
}

void FakeConsole::WaitForMessages() {
    ++MessagePumps;
    if (DuringMessages) {
        // What DuringMessages does stands for a message of its own (a close
        // may have stopped the timer), so the pump must not sleep for long.
        DuringMessages();
        Queue.WaitForMessages(std::chrono::milliseconds(1));
        return;
    }
    Queue.WaitForMessages();
}

void FakeConsole::PostToMessageThread(std::function<void()> call) { Queue.Post(std::move(call)); }

} // namespace quennel::test
