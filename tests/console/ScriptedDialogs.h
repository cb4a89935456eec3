#pragma once
// The window's dialog seam answered in advance by a test: every box is
// recorded and closed with OK, questions take the next scripted answer, file
// dialogs the next scripted file name (or a cancel).

#include "console/DialogSeam.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quennel::test {

class ScriptedDialogs : public DialogSeam {
public:
    struct Question {
        std::string Title;
        std::string Text;
    };

    void ShowBox(const MessageBoxRequest& box) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;

    // The answers to come; a dialog without one fails the test and is cancelled.
    std::deque<bool> Answers;
    std::deque<std::optional<std::string>> OpenFiles;
    std::deque<std::optional<std::string>> SaveFiles;
    // Runs while a box is open (the window behind it as it stands then).
    std::function<void(const MessageBoxRequest&)> WhileBoxOpen;

    // What was shown, in order.
    std::vector<MessageBoxRequest> Boxes;
    std::vector<Question> Questions;
    std::vector<FileDialogRequest> OpenRequests;
    std::vector<FileDialogRequest> SaveRequests;
};

} // namespace quennel::test
