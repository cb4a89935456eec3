#pragma once
// The window's dialogs answered as a benchmark's operator answers them:
// every box closed with OK, every question with No, every file dialog
// cancelled. Error boxes are kept: a run that shows one has gone wrong.

#include "console/DialogSeam.h"

#include <optional>
#include <string>
#include <vector>

namespace quennel::bench {

class OperatorAnswers : public DialogSeam {
public:
    void ShowBox(const MessageBoxRequest& box) override {
        ++Boxes;
        if (box.Icon == MessageBoxRequest::Kind::Error)
            Errors.push_back(box.Text);
    }
    bool AskYesNo(const std::string& /*title*/, const std::string& text) override {
        Questions.push_back(text);
        return false;
    }
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& /*request*/) override { return {}; }
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& /*request*/) override { return {}; }

    int Boxes = 0;
    std::vector<std::string> Errors;
    std::vector<std::string> Questions;
};

} // namespace quennel::bench
