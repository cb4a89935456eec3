#pragma once
// A console without a screen: it runs the message thread's queue and drops
// everything it would show. Front ends that show only some of it (a
// demonstration, a benchmark) override just those parts.

#include "core/MessageQueue.h"
#include "core/OperatorConsole.h"

#include <utility>

namespace quennel {

class QueueConsole : public OperatorConsole {
public:
    void ShowStatus(const std::string&) override {}
    void ClearResults() override {}
    void ShowResults(bool) override {}
    void AddResult(const std::string&) override {}
    void ShowAddress(const std::string&) override {}
    void ShowChecksum(const std::string&) override {}
    void LockCommands() override {}
    void UnlockCommands(bool, bool) override {}
    void ShowMessageBox(const MessageBoxRequest&) override {}
    void ProcessMessages() override { Queue.ProcessMessages(); }
    void WaitForMessages() override { Queue.WaitForMessages(); }
    void PostToMessageThread(std::function<void()> call) override { Queue.Post(std::move(call)); }

private:
    MessageQueue Queue;
};

} // namespace quennel
