#pragma once
// What the core needs from whatever shows it to the operator: the window,
// the command line, or a test's fake. Nothing here is named after a toolkit.

#include <functional>
#include <optional>
#include <string>

namespace quennel {

struct MessageBoxRequest {
    enum class Kind { Plain, Information, Error };
    Kind Icon = Kind::Plain;
    std::string Title;             // empty: the program's title
    std::string Text;
    std::optional<int> X, Y;       // top-left corner on the screen; default placement when empty
};

class OperatorConsole {
public:
    virtual ~OperatorConsole() = default;

    // The status line's caption.
    virtual void ShowStatus(const std::string& text) = 0;

    // The result list: detection's diagnostic lines and the fault lists.
    virtual void ClearResults() = 0;
    virtual void ShowResults(bool visible) = 0;
    virtual void AddResult(const std::string& line) = 0;

    // The address display ("01A5") and the checksum caption ("CheckSum=1FE0").
    virtual void ShowAddress(const std::string& text) = 0;
    virtual void ShowChecksum(const std::string& caption) = 0;

    // The front end's half of the command frame: LockCommands disables the
    // command buttons, hides the result list and shows the status line busy;
    // UnlockCommands enables them again (the device operations only when a
    // programmer is known) and shows the status line failed or passed.
    virtual void LockCommands() = 0;
    virtual void UnlockCommands(bool programmerFound, bool fault) = 0;

    // A modal box; returns when the operator has closed it.
    virtual void ShowMessageBox(const MessageBoxRequest& box) = 0;

    // Runs what is pending on the message thread and returns.
    virtual void ProcessMessages() = 0;
    // Like ProcessMessages, but first sleeps until something is pending:
    // the way a wait yields the processor instead of spinning.
    virtual void WaitForMessages() = 0;
    // Queues call for the message thread and returns at once; safe from any
    // thread. The call runs in the message thread's next pump or wait.
    virtual void PostToMessageThread(std::function<void()> call) = 0;
};

} // namespace quennel
