#pragma once
// The dialog seam answered by the operator: Qt's message boxes, placed where
// the box asks to be, and Qt's own (not the desktop's) file dialogs.

#include "console/DialogSeam.h"

namespace quennel {

class QtDialogs : public DialogSeam {
public:
    void ShowBox(const MessageBoxRequest& box) override;
    bool AskYesNo(const std::string& title, const std::string& text) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
};

// The program's title, shown on boxes that name no title of their own.
inline constexpr const char* ProgramTitle = "Quennel";

} // namespace quennel
