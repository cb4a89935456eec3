#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

namespace quennel::test {

void ScriptedDialogs::ShowBox(const MessageBoxRequest& box) {
    Boxes.push_back(box);
    if (WhileBoxOpen)
        WhileBoxOpen(box);
}

bool ScriptedDialogs::AskYesNo(const std::string& title, const std::string& text) {
    Questions.push_back({title, text});
    if (Answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text;
        return false;
    }
    const bool answer = Answers.front();
    Answers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDialogs::ChooseOpenFile(const FileDialogRequest& request) {
    OpenRequests.push_back(request);
    if (OpenFiles.empty()) {
        ADD_FAILURE() << "unexpected open dialog";
        return std::nullopt;
    }
    std::optional<std::string> file = OpenFiles.front();
    OpenFiles.pop_front();
    return file;
}

std::optional<std::string> ScriptedDialogs::ChooseSaveFile(const FileDialogRequest& request) {
    SaveRequests.push_back(request);
    if (SaveFiles.empty()) {
        ADD_FAILURE() << "unexpected save dialog";
        return std::nullopt;
    }
    std::optional<std::string> file = SaveFiles.front();
    SaveFiles.pop_front();
    return file;
}

} // namespace quennel::test
