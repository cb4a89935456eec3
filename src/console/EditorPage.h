#pragma once
// The buffer editor in the window: shows the editor's page in Edit_1 and its
// start-address box in Chg_Edit_Add, and hands the events of both to the
// editor through the window's Deliver, so that an error raised there reaches
// the application error report. One instance lives as long as the window, and
// with it the editor's cursor.

#include "console/logic/BufferEditor.h"
#include "console/logic/EditorView.h"

#include <QObject>
#include <optional>

class QKeyEvent;
class QLineEdit;

namespace quennel {

class EditorTextControl;
class TMainForm;

class EditorPage : public QObject, public EditorView {
public:
    // The window's controls Edit_1 and Chg_Edit_Add must exist already.
    explicit EditorPage(TMainForm& form);
    ~EditorPage() override;
    EditorPage(const EditorPage&) = delete;
    EditorPage& operator=(const EditorPage&) = delete;

    BufferEditor& Editor() { return Logic; }

    void SetPageLines(const std::vector<std::string>& lines) override;
    void ReplacePageLine(int line, const std::string& text) override;
    void SetCaret(int offset) override;
    int Caret() const override;
    void ShowPage(bool visible) override;
    void FocusPage() override;
    void ClearAddressBox() override;
    void ShowAddressBox(bool visible) override;
    void FocusAddressBox() override;
    std::string AddressBoxText() const override;
    void HideResults() override;
    void UnlockControls() override;
    void UpdateChecksum() override;
    void ProcessMessages() override;

protected:
    // The address box's characters go through the editor's filter first.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ConnectPage();
    bool AddressBoxKey(const QKeyEvent& event);

    TMainForm& Form;
    EditorTextControl& Page;
    QLineEdit& AddressBox;
    BufferEditor Logic;
};

// The character a key stroke types, if any. Tab and Delete are commands and
// Alt combinations belong to the buttons' accelerators, so none of them types
// a character; Enter, Backspace, Escape and the Ctrl letters do (13, 8, 27, 1..26).
std::optional<char32_t> TypedCharacter(const QKeyEvent& event);

} // namespace quennel
