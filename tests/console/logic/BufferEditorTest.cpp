#include "console/logic/BufferEditor.h"

#include "buffer/IntegerText.h"
#include "console/logic/FakeEditorView.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

using test::FakeEditorView;

constexpr uint8_t Enter = 13;
constexpr uint8_t Backspace = 8;

class BufferEditorTest : public ::testing::Test {
protected:
    BufferEditorTest() : Editor(State, View) { View.Editor = &Editor; }

    void Open(int32_t deviceEnd) {
        State.DeviceEnd = deviceEnd;
        Editor.EditClick();
    }
    // One key stroke: key-down, its character (if any), release.
    void Press(EditorKey key, int character = -1) {
        Editor.Edit_1KeyDown(key);
        if (character >= 0)
            Editor.Edit_1KeyPress(static_cast<uint8_t>(character));
        Editor.Edit_1KeyUp();
    }
    void Type(const std::string& text) {
        for (char c : text)
            Press(EditorKey::Other, static_cast<uint8_t>(c));
    }
    void Click(int line, int column) {
        View.ClickAt(line, column);
        Editor.Edit_1MouseDown();
    }
    // Types a start address into the box and presses Enter.
    void GoTo(const std::string& text) {
        Click(0, 12);
        View.AddressText = text;
        Editor.Chg_Edit_AddKeyPress(Enter);
    }
    std::string LineStart(int line) const { return View.Lines.at(static_cast<size_t>(line)).substr(0, 4); }

    // The caret stands before the cursor's digit or character.
    void ExpectCaretOnCursor() const {
        const auto [line, column] = View.CaretAt();
        EXPECT_EQ(line, Editor.CursorRow + 1);
        EXPECT_EQ(column, Editor.AsciiSide ? 56 + Editor.CursorColumn
                                           : 6 + 3 * Editor.CursorColumn + Editor.CursorNibble);
    }
    // The cursor, and the status line naming its address.
    void ExpectCursor(int32_t address, int32_t nibble, int32_t asciiSide = 0) const {
        EXPECT_EQ(Editor.CursorAddress(), address);
        EXPECT_EQ(Editor.CursorNibble, nibble);
        EXPECT_EQ(Editor.AsciiSide, asciiSide);
        EXPECT_EQ(View.Lines.at(0).substr(0, 14), "Address = " + HexDigits(static_cast<uint32_t>(address), 4));
    }
    void ExpectWholePage(int32_t firstAddress) const {
        ASSERT_EQ(View.Lines.size(), 17u);
        EXPECT_EQ(View.Lines[0].size(), 71u);
        for (int k = 0; k < 16; ++k) {
            EXPECT_EQ(LineStart(1 + k), HexDigits(static_cast<uint32_t>(firstAddress + 16 * k), 4));
            EXPECT_EQ(View.Lines[static_cast<size_t>(1 + k)].size(), 72u);
        }
        EXPECT_EQ(Editor.ViewStart, firstAddress);
    }

    SharedState State;
    FakeEditorView View;
    BufferEditor Editor;
};

TEST_F(BufferEditorTest, OpensOnAddressZeroOnTheSideLastUsed) {
    State.DataBuffer[0] = 0x41;
    Editor.AsciiSide = 1;
    Editor.ViewStart = 0x200;
    Editor.CursorRow = 7;
    Editor.CursorColumn = 9;
    Open(0x3FF);
    ExpectWholePage(0);
    EXPECT_EQ(View.Lines[0], "Address = 0000              Hex Data = 41                Ascii Data = A");
    ExpectCursor(0, 0, 1);
    ExpectCaretOnCursor();
    EXPECT_FALSE(View.ResultsVisible);
    EXPECT_EQ(View.Unlocks, 1);
    EXPECT_TRUE(View.PageVisible);
    EXPECT_EQ(View.Owner, FakeEditorView::Focus::Page);
    EXPECT_EQ(View.PageWrites, 1);
}

TEST_F(BufferEditorTest, UpOrLeftBeforeAddressZeroStaysOnAddressZero) {
    Open(0x3FF);
    Press(EditorKey::Right);
    Press(EditorKey::Right);
    Press(EditorKey::Up);
    ExpectCursor(0, 0);
    EXPECT_EQ(Editor.CursorRow, 0);
    ExpectWholePage(0);
    ExpectCaretOnCursor();

    Press(EditorKey::Left);
    ExpectCursor(0, 0);
    EXPECT_EQ(Editor.CursorColumn, 0);
    ExpectCaretOnCursor();

    Press(EditorKey::PageUp);
    ExpectCursor(0, 0);
    ExpectWholePage(0);
}

TEST_F(BufferEditorTest, TheLastPageStaysTheLast) {
    Open(0x3FF);
    GoTo("300");
    ExpectWholePage(0x300);
    Click(16, HexColumn(2));
    ExpectCursor(0x3F2, 0);
    Press(EditorKey::Down);
    ExpectWholePage(0x300);
    ExpectCursor(0x302, 0);
    EXPECT_EQ(Editor.CursorRow, 0);

    Click(5, HexColumn(4) + 2);
    ExpectCursor(0x344, 1);
    Press(EditorKey::PageDown);
    ExpectWholePage(0x300);
    ExpectCursor(0x344, 0); // the rebuilt page starts on the high digit
    ExpectCaretOnCursor();
}

TEST_F(BufferEditorTest, PagesMoveByWholePagesAndKeepTheCursorsPlace) {
    Open(0x3FF);
    Press(EditorKey::PageDown);
    Press(EditorKey::PageDown);
    Click(3, HexColumn(5));
    ExpectCursor(0x225, 0);
    Press(EditorKey::PageUp);
    ExpectWholePage(0x100);
    ExpectCursor(0x125, 0);
    Click(16, HexColumn(15));
    Press(EditorKey::Down);
    ExpectWholePage(0x200);
    ExpectCursor(0x20F, 0);
}

TEST_F(BufferEditorTest, ASmallDeviceShowsTheFirstPageAndWrapsToAddressZero) {
    Open(0x1F);
    ExpectWholePage(0);
    Press(EditorKey::Right);
    Press(EditorKey::Right);
    for (int i = 0; i < 15; ++i)
        Press(EditorKey::Down);
    ExpectCursor(0xF2, 0);
    Press(EditorKey::Down);
    ExpectCursor(0, 0);
    ExpectWholePage(0);

    // Bytes above the device's end are shown and can be changed.
    Click(16, HexColumn(15));
    Type("7");
    EXPECT_EQ(State.DataBuffer[0xFF], 0x70);
}

TEST_F(BufferEditorTest, TwoHexDigitsFillAByteAndMoveOnAcrossRowsAndPages) {
    State.DataBuffer[0] = 0x3C;
    Open(0x3FF);
    Type("A");
    EXPECT_EQ(State.DataBuffer[0], 0xAC);
    ExpectCursor(0, 1);
    ExpectCaretOnCursor();
    Type("5");
    EXPECT_EQ(State.DataBuffer[0], 0xA5);
    EXPECT_EQ(View.Lines[1].substr(6, 2), "A5");
    EXPECT_EQ(Editor.CursorColumn, 1);
    Type("x"); // not a hex digit: ignored
    EXPECT_EQ(State.DataBuffer[1], 0x00);
    Type("bc");
    EXPECT_EQ(State.DataBuffer[1], 0xBC);
    EXPECT_EQ(View.Lines[1].substr(9, 2), "BC");
    EXPECT_EQ(View.Lines[1][57], '.');

    // The last byte of a row, then on into the next row.
    Press(EditorKey::End);
    Type("12");
    Type("3");
    EXPECT_EQ(State.DataBuffer[0x0F], 0x12);
    EXPECT_EQ(State.DataBuffer[0x10], 0x30);
    ExpectCursor(0x10, 1);

    // The last byte of the page, then on into the next page.
    Click(16, HexColumn(15));
    Type("FE");
    Type("D");
    EXPECT_EQ(State.DataBuffer[0xFF], 0xFE);
    EXPECT_EQ(State.DataBuffer[0x100], 0xD0);
    ExpectWholePage(0x100);
    ExpectCursor(0x100, 1);

    // On the last page the first row follows its last byte.
    GoTo("3FF");
    Click(16, HexColumn(15));
    Type("9876");
    EXPECT_EQ(State.DataBuffer[0x3FF], 0x98);
    EXPECT_EQ(State.DataBuffer[0x300], 0x76);
    ExpectWholePage(0x300);
    ExpectCursor(0x301, 0);
    ExpectCaretOnCursor();
}

TEST_F(BufferEditorTest, LeftHomeAndEndOnTheHexSide) {
    Open(0x3FF);
    Click(2, HexColumn(5));
    Type("1");
    ExpectCursor(0x15, 1);
    Press(EditorKey::Left);
    ExpectCursor(0x15, 0);
    Press(EditorKey::Left);
    ExpectCursor(0x14, 0);
    ExpectCaretOnCursor();

    Type("2");
    Press(EditorKey::End);
    ExpectCursor(0x1F, 1);
    ExpectCaretOnCursor();
    Press(EditorKey::Home);
    ExpectCursor(0x10, 1);
    ExpectCaretOnCursor();
    Press(EditorKey::Right);
    ExpectCursor(0x11, 0);
}

TEST_F(BufferEditorTest, TheCharacterSideStoresEveryCodeAndShowsControlsAsDots) {
    Open(0x3FF);
    Click(1, CharacterColumn(3));
    ExpectCursor(3, 0, 1);
    ExpectCaretOnCursor();
    Press(EditorKey::Other, Enter);
    Press(EditorKey::Other, Backspace);
    Press(EditorKey::Other, 0x7F);
    Press(EditorKey::Other, 0xE9);
    Press(EditorKey::Other, 'z');
    EXPECT_EQ(State.DataBuffer[3], 0x0D);
    EXPECT_EQ(State.DataBuffer[4], 0x08);
    EXPECT_EQ(State.DataBuffer[5], 0x7F);
    EXPECT_EQ(State.DataBuffer[6], 0xE9);
    EXPECT_EQ(State.DataBuffer[7], 'z');
    EXPECT_EQ(View.Lines[1].substr(15, 15), "0D 08 7F E9 7A ");
    EXPECT_EQ(View.Lines[1].substr(59, 5), "..\x7F.z");
    ExpectCursor(8, 0, 1);
    EXPECT_EQ(View.Lines[0].substr(28, 13), "Hex Data = 00"); // the byte after the 'z'
    ExpectCaretOnCursor();
}

// After every key the status line names the byte the caret stands on, as
// it now is; past the last byte of a row that is the next row's first.
TEST_F(BufferEditorTest, TheStatusLineFollowsTheCaretAfterEveryKey) {
    State.DataBuffer[0x20] = 0x11;
    Open(0x3FF);
    Click(3, HexColumn(0));
    Editor.Edit_1KeyDown(EditorKey::Other);
    Editor.Edit_1KeyPress('E');
    EXPECT_EQ(View.Lines[0].substr(28, 13), "Hex Data = 11"); // the key is not over yet
    Editor.Edit_1KeyUp();
    EXPECT_EQ(View.Lines[0].substr(0, 41), "Address = 0020              Hex Data = E1");
    EXPECT_EQ(View.Lines[3].substr(6, 2), "E1");

    Click(3, HexColumn(15));
    Type("7E");
    EXPECT_EQ(State.DataBuffer[0x2F], 0x7E);
    ExpectCursor(0x30, 0);
    EXPECT_EQ(Editor.CursorRow, 3);
    ExpectCaretOnCursor();
}

TEST_F(BufferEditorTest, TypingRewritesOneLineAndOnlyPageMovesRebuildThePage) {
    Open(0x3FF);
    Click(4, HexColumn(0));
    View.ClearCounts();
    Type("0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(View.PageWrites, 0);
    for (int line : View.LineWrites)
        EXPECT_TRUE(line == 0 || line == 4) << line;
    EXPECT_EQ(View.Lines[4], "0030  01 23 45 67 89 AB CD EF 01 23 45 67 89 AB CD EF   .#Eg.....#Eg....");

    Type("1");
    EXPECT_EQ(View.PageWrites, 0); // the row moved, the page did not
    Press(EditorKey::PageDown);
    EXPECT_EQ(View.PageWrites, 1);
}

TEST_F(BufferEditorTest, TheReleasePutsTheCaretBackWhereTheControlMovedIt) {
    Open(0x3FF);
    Click(6, HexColumn(9) + 2);
    Editor.Edit_1KeyDown(EditorKey::Other);
    View.CaretOffset = 3; // the control's own handling of the key
    Editor.Edit_1KeyUp();
    ExpectCaretOnCursor();
    EXPECT_EQ(View.CaretAt(), std::make_pair(6, HexColumn(9) + 1));
}

TEST_F(BufferEditorTest, ClicksSelectByTheCaretColumn) {
    Open(0x3FF);
    struct Expectation {
        int Column;
        int32_t Address; // on line 4, bytes 0x30..0x3F
        int32_t Nibble;
        int32_t Ascii;
    };
    std::vector<Expectation> table = {
        {0, 0x2F, 0, 1}, // the previous row's last character
        {1, 0x30, 0, 0},  {5, 0x30, 0, 0},  {7, 0x30, 0, 0},  {8, 0x30, 1, 0},
        {52, 0x30, 0, 1}, {53, 0x30, 0, 1}, {56, 0x30, 0, 1}, {72, 0x3F, 0, 1},
    };
    for (int j = 1; j < 16; ++j)
        table.push_back({6 + 3 * j, 0x30 + j, 0, 0});
    for (int j = 1; j < 15; ++j)
        table.push_back({7 + 3 * j, 0x30 + j, 0, 0});
    for (int j = 0; j < 15; ++j)
        table.push_back({8 + 3 * j, 0x30 + j, 1, 0});
    for (int j = 0; j < 16; ++j)
        table.push_back({56 + j, 0x30 + j, 0, 1});
    for (const Expectation& row : table) {
        SCOPED_TRACE(row.Column);
        Editor.CursorNibble = 0;
        Click(4, row.Column);
        ExpectCursor(row.Address, row.Nibble, row.Ascii);
        ExpectCaretOnCursor();
    }

    // Before the first byte of the first data line, and on the status line.
    for (auto [line, column] : {std::pair{1, 0}, {1, 7}, {0, 17}, {0, 70}}) {
        Click(line, column);
        ExpectCursor(0, 0, 0);
        EXPECT_FALSE(View.AddressBoxVisible);
    }
    Click(16, 72);
    ExpectCursor(0xFF, 0, 1);
}

TEST_F(BufferEditorTest, AClickOnTheCharacterSideKeepsTheDigit) {
    Open(0x3FF);
    Click(2, HexColumn(3) + 2);
    ExpectCursor(0x13, 1);
    Click(2, CharacterColumn(3));
    ExpectCursor(0x13, 1, 1);
    ExpectCaretOnCursor();
}

TEST_F(BufferEditorTest, AClickOnTheStatusAddressOpensTheAddressBox) {
    Open(0x3FF);
    Press(EditorKey::PageDown);
    View.AddressText = "old";
    View.ChecksumUpdates = 0;
    Click(0, 16);
    EXPECT_TRUE(View.AddressBoxVisible);
    EXPECT_EQ(View.AddressText, "");
    EXPECT_EQ(View.Owner, FakeEditorView::Focus::AddressBox);
    EXPECT_EQ(View.ChecksumUpdates, 1); // the page lost the focus for a moment
    EXPECT_TRUE(View.PageVisible);
    ExpectCursor(0x100, 0);

    // Only hex digits and Backspace reach the box.
    for (char c : std::string("1234567890ABCDEFabcdef"))
        EXPECT_TRUE(Editor.Chg_Edit_AddKeyPress(static_cast<uint8_t>(c))) << c;
    EXPECT_TRUE(Editor.Chg_Edit_AddKeyPress(Backspace));
    for (int c : {int{'g'}, int{'G'}, int{'x'}, int{' '}, int{'$'}, int{'-'}, 27, 0})
        EXPECT_FALSE(Editor.Chg_Edit_AddKeyPress(static_cast<uint8_t>(c))) << c;
    EXPECT_TRUE(View.AddressBoxVisible);

    // 3F5 keeps whole rows (3F0), and 3F0 lies beyond the last page start.
    View.AddressText = "3F5";
    EXPECT_FALSE(Editor.Chg_Edit_AddKeyPress(Enter));
    EXPECT_FALSE(View.AddressBoxVisible);
    EXPECT_EQ(View.Owner, FakeEditorView::Focus::Page);
    ExpectWholePage(0x300);
    EXPECT_EQ(LineStart(16), "03F0");

    GoTo("1a7");
    ExpectWholePage(0x1A0);
    GoTo("FFFFFF");
    ExpectWholePage(0x300);
    State.DeviceEnd = 0x1FF;
    GoTo("3F5");
    ExpectWholePage(0x100);
}

TEST_F(BufferEditorTest, AnEmptyOrNonHexAddressLeavesThePage) {
    Open(0x3FF);
    GoTo("120");
    const int pages = View.PageWrites;

    GoTo("");
    EXPECT_FALSE(View.AddressBoxVisible);
    EXPECT_EQ(View.PageWrites, pages);

    Click(0, 3);
    View.AddressText = "12G";
    try {
        Editor.Chg_Edit_AddKeyPress(Enter);
        ADD_FAILURE() << "no conversion error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'$12G' is not a valid integer value");
    }
    EXPECT_FALSE(View.AddressBoxVisible);
    EXPECT_EQ(Editor.ViewStart, 0x120);
    EXPECT_EQ(View.PageWrites, pages);
    EXPECT_EQ(LineStart(1), "0120");
}

TEST_F(BufferEditorTest, LosingTheFocusClosesTheEditorAndSumsTheBuffer) {
    Open(0x3FF);
    View.FocusElsewhere();
    EXPECT_FALSE(View.PageVisible);
    EXPECT_EQ(View.ChecksumUpdates, 1);

    // The address box closes the same way.
    Open(0x3FF);
    Click(0, 0);
    View.FocusElsewhere();
    EXPECT_FALSE(View.AddressBoxVisible);
    EXPECT_TRUE(View.PageVisible);
    EXPECT_EQ(View.ChecksumUpdates, 2);
}

// A device end whose successor is not a multiple of 16 only comes from a
// hand-edited settings file; the page keeps whole rows inside the buffer.
TEST_F(BufferEditorTest, AnOddDeviceEndKeepsWholeRowsInTheBuffer) {
    Open(300);
    Press(EditorKey::PageDown);
    ExpectWholePage(0x30); // ends at 0x12F, past the end 0x12C
    Open(1000);
    GoTo("FFFFFF");
    ExpectWholePage(0x2F0);

    // Out of the buffer's range altogether: the last page ends at the buffer's end.
    Open(5000);
    Press(EditorKey::PageDown);
    Press(EditorKey::PageDown);
    Press(EditorKey::PageDown);
    Press(EditorKey::PageDown);
    ExpectWholePage(0x300);
    Open(-40);
    ExpectWholePage(0);
}

TEST_F(BufferEditorTest, NothingBeyondTheBufferIsReadOrWritten) {
    Open(0x3FF);
    GoTo("300");
    Click(16, HexColumn(15));
    Editor.Edit_1KeyDown(EditorKey::Other);
    Editor.Edit_1KeyPress('1');
    Editor.Edit_1KeyPress('2');
    // A character without its key-down finds the cursor past the row's end.
    const DataImage before = State.DataBuffer;
    const uint16_t checksum = State.Checksum;
    Editor.Edit_1KeyPress('3');
    EXPECT_EQ(State.DataBuffer, before);
    EXPECT_EQ(State.Checksum, checksum);

    // A page key while the cursor stands past the last byte of the buffer.
    GoTo("200");
    Click(16, HexColumn(15));
    Type("34");
    Press(EditorKey::PageDown);
    ExpectWholePage(0x300);
    ExpectCursor(0x300, 0);
    for (const std::string& line : View.StatusLines)
        EXPECT_EQ(line.find("Address = 0400"), std::string::npos);
}

} // namespace
} // namespace quennel
