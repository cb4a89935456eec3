#pragma once
// A windowless stand-in for the editor's page and address box: keeps the
// page's lines and a caret counted as a one-character-per-break control
// counts it, tracks the focus and reports focus losses to the editor the way
// the window does, and counts what the editor asked for.

#include "console/logic/BufferEditor.h"
#include "console/logic/EditorView.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quennel::test {

class FakeEditorView : public EditorView {
public:
    enum class Focus { Elsewhere, Page, AddressBox };

    void SetPageLines(const std::vector<std::string>& lines) override {
        Lines = lines;
        ++PageWrites;
        if (!lines.empty())
            StatusLines.push_back(lines[0]);
    }
    void ReplacePageLine(int line, const std::string& text) override {
        ASSERT_GE(line, 0);
        ASSERT_LT(line, static_cast<int>(Lines.size()));
        Lines[static_cast<size_t>(line)] = text;
        LineWrites.push_back(line);
        if (line == 0)
            StatusLines.push_back(text);
    }
    void SetCaret(int offset) override { CaretOffset = offset; }
    int Caret() const override { return CaretOffset; }
    void ShowPage(bool visible) override { PageVisible = visible; }
    void FocusPage() override { MoveFocus(Focus::Page); }

    void ClearAddressBox() override { AddressText.clear(); }
    void ShowAddressBox(bool visible) override { AddressBoxVisible = visible; }
    void FocusAddressBox() override { MoveFocus(Focus::AddressBox); }
    std::string AddressBoxText() const override { return AddressText; }

    void HideResults() override { ResultsVisible = false; }
    void UnlockControls() override { ++Unlocks; }
    void UpdateChecksum() override { ++ChecksumUpdates; }
    void ProcessMessages() override { ++MessagePumps; }

    // The focus goes to another control of the window (a button, Tab).
    void FocusElsewhere() { MoveFocus(Focus::Elsewhere); }

    // The control's text, breaks as single characters.
    std::string Text() const {
        std::string text;
        for (size_t i = 0; i < Lines.size(); ++i)
            text += (i ? "\n" : "") + Lines[i];
        return text;
    }
    // The caret's line and column, found in the text as the control holds it.
    std::pair<int, int> CaretAt() const {
        int line = 0, column = 0;
        const std::string text = Text();
        for (int i = 0; i < CaretOffset && i < static_cast<int>(text.size()); ++i) {
            if (text[static_cast<size_t>(i)] == '\n') {
                ++line;
                column = 0;
            } else {
                ++column;
            }
        }
        return {line, column};
    }
    // Moves the caret as a click at this line and column would.
    void ClickAt(int line, int column) {
        int offset = 0;
        for (int i = 0; i < line; ++i)
            offset += static_cast<int>(Lines[static_cast<size_t>(i)].size()) + 1;
        CaretOffset = offset + column;
    }

    void ClearCounts() {
        PageWrites = 0;
        LineWrites.clear();
    }

    BufferEditor* Editor = nullptr; // told about focus losses
    std::vector<std::string> Lines;
    int CaretOffset = 0;
    bool PageVisible = false;
    bool AddressBoxVisible = false;
    bool ResultsVisible = true;
    std::string AddressText;
    Focus Owner = Focus::Elsewhere;
    int PageWrites = 0;
    std::vector<int> LineWrites;
    std::vector<std::string> StatusLines; // every status line written, in order
    int Unlocks = 0;
    int ChecksumUpdates = 0;
    int MessagePumps = 0;

private:
    void MoveFocus(Focus to) {
        const Focus from = Owner;
        if (from == to)
            return;
        Owner = to;
        if (Editor && from == Focus::Page)
            Editor->Edit_1Exit();
        if (Editor && from == Focus::AddressBox)
            Editor->Chg_Edit_AddExit();
    }
};

} // namespace quennel::test
