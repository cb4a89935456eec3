#pragma once
// Every modal box and file dialog of the window goes through this one seam:
// the programs answer it with Qt's boxes and dialogs, the tests answer it in
// advance (the next answer, the next file name), so the window runs headless.

#include "core/OperatorConsole.h"

#include <optional>
#include <string>

namespace quennel {

struct FileDialogRequest {
    std::string Title;
    std::string Filter;           // "Bin|*.Bin|Hex|*.Hex|All|*.*": name and pattern pairs
    int FilterIndex = 1;          // counted from 1
    std::string DefaultExtension; // added to a typed name that has none
    std::string Folder;           // where the dialog opens; empty: the current directory
    std::string FileName;         // the name it offers
    bool MustExist = false;       // open: the path and the file must exist
    bool AskBeforeOverwrite = false;
};

class DialogSeam {
public:
    virtual ~DialogSeam() = default;

    // A box with one OK button; returns when it is closed.
    virtual void ShowBox(const MessageBoxRequest& box) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
    // The full path chosen, or nothing when the operator cancelled.
    virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
};

} // namespace quennel
