#pragma once
// The command line's face of the core: status texts, result lines, the
// checksum caption and message boxes go to standard output as lines; the
// address display becomes a progress line on standard error when that is a
// terminal. Calls from other threads (Ctrl-C) wait in a message queue until
// the running operation processes its messages.

#include "core/MessageQueue.h"
#include "core/OperatorConsole.h"
#include "core/SharedState.h"

#include <chrono>
#include <ostream>
#include <string>

namespace quennel::cli {

class CliConsole : public OperatorConsole {
public:
    // showProgress: draw the progress line on err.
    CliConsole(std::ostream& out, std::ostream& err, bool showProgress);

    // The state whose DeviceEnd the progress line measures against.
    void Follow(const SharedState& state) { State = &state; }
    // Removes the progress line, if one is shown.
    void EndProgress();
    // While muted, status texts and result lines are not printed (message
    // boxes still are): the search's diagnostics matter only to 'detect'.
    void Mute(bool muted) { Muted = muted; }
    // Prints a line of the command line's own on the output.
    void Print(const std::string& line);

    void ShowStatus(const std::string& text) override;
    void ClearResults() override {}
    void ShowResults(bool) override {}
    void AddResult(const std::string& line) override;
    void ShowAddress(const std::string& text) override;
    void ShowChecksum(const std::string& caption) override;
    void LockCommands() override {}
    void UnlockCommands(bool, bool) override {}
    void ShowMessageBox(const MessageBoxRequest& box) override;
    void ProcessMessages() override;
    void WaitForMessages() override;
    void PostToMessageThread(std::function<void()> call) override;

    MessageQueue Queue;

private:
    std::ostream& Out;
    std::ostream& Err;
    const bool ShowProgress;
    const SharedState* State = nullptr;
    bool Muted = false;
    bool ProgressShown = false;
    int32_t LastAddress = -1;
    std::chrono::steady_clock::time_point PassStart;
    std::chrono::steady_clock::time_point LastDrawn;
};

} // namespace quennel::cli
