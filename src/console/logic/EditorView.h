#pragma once
// What the buffer editor needs from the window: the page's text control, the
// start-address box and a few of the window's own routines. Nothing here is
// named after a toolkit; the window implements it, tests fake it.

#include <string>
#include <vector>

namespace quennel {

class EditorView {
public:
    virtual ~EditorView() = default;

    // The page's text control (read-only to the operator). Lines are given
    // without their breaks; line 0 is the status line.
    virtual void SetPageLines(const std::vector<std::string>& lines) = 0; // the whole page anew
    virtual void ReplacePageLine(int line, const std::string& text) = 0;  // one line, the rest untouched
    // Caret offsets count a line break as one character, as the control does;
    // the editor converts. SetCaret leaves no selection.
    virtual void SetCaret(int offset) = 0;
    virtual int Caret() const = 0;
    virtual void ShowPage(bool visible) = 0;
    // The control that loses the focus reports it: the page through the
    // editor's Edit_1Exit, the address box through Chg_Edit_AddExit. Both may
    // run inside these calls.
    virtual void FocusPage() = 0;

    // The start-address box, which shows what is typed in upper case and
    // holds at most 6 characters.
    virtual void ClearAddressBox() = 0;
    virtual void ShowAddressBox(bool visible) = 0;
    virtual void FocusAddressBox() = 0;
    virtual std::string AddressBoxText() const = 0;

    // The rest of the window.
    virtual void HideResults() = 0;    // the result list
    virtual void UnlockControls() = 0; // the command frame's closing half
    virtual void UpdateChecksum() = 0; // sums the device's bytes and shows the sum
    virtual void ProcessMessages() = 0;
};

} // namespace quennel
