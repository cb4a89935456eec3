#include "console/logic/BufferEditor.h"

#include "buffer/BufferImage.h"
#include "buffer/IntegerText.h"
#include "console/logic/EditorOffsets.h"

#include <algorithm>
#include <optional>

namespace quennel {

namespace {

constexpr uint8_t EnterCharacter = 13;
constexpr uint8_t BackspaceCharacter = 8;

// A page start typed into the address box keeps only whole rows.
constexpr int32_t PageStartMask = 0x1FFFFF0;

// Editor offsets (a break counts two): data line k starts at LineSpan * (k + 1) - 1.
constexpr int32_t LineSpan = DataLineLength + 2;
// A click at or before this offset fell on the status line's address.
constexpr int32_t LastAddressOffset = 16;
// A click anywhere before this offset counts as one on the first data byte.
constexpr int32_t FirstByteOffset = 80;
// Caret positions in a data line, counted from the first hex digit: from
// CharacterSideStart on a click selects a character, the first of which
// stands at FirstCharacter.
constexpr int32_t HexStart = HexColumn(0);
constexpr int32_t CharacterSideStart = 46;
constexpr int32_t FirstCharacter = CharacterColumn(0) - HexStart;

std::optional<uint8_t> HexDigitValue(uint8_t character) {
    if (character >= '0' && character <= '9')
        return static_cast<uint8_t>(character - '0');
    if (character >= 'A' && character <= 'F')
        return static_cast<uint8_t>(character - 'A' + 10);
    if (character >= 'a' && character <= 'f')
        return static_cast<uint8_t>(character - 'a' + 10);
    return std::nullopt;
}

// Start of the page that ends the device; negative when the device fits one
// page from address 0. Rows stay whole: when the device's size is not a
// multiple of 16 the last page reaches a little past its end (never past the
// buffer's, since the buffer's size is a multiple of 16).
int32_t LastPageStart(int32_t deviceEnd) {
    const int32_t start = deviceEnd - (PageBytes - 1);
    return start > 0 ? (start + RowBytes - 1) / RowBytes * RowBytes : start;
}

} // namespace

BufferEditor::BufferEditor(SharedState& state, EditorView& view) : State(state), View(view) {}

void BufferEditor::EditClick() {
    View.HideResults();
    View.UnlockControls();
    ViewStart = 0;
    View.ShowPage(true);
    CursorRow = 0;
    CursorColumn = 0;
    RedrawView();
}

void BufferEditor::RedrawView() {
    const int32_t deviceEnd = ClampDeviceEnd(State.DeviceEnd);
    if (ViewStart + PageBytes >= deviceEnd)
        ViewStart = LastPageStart(deviceEnd);
    if (ViewStart < 0) {
        ViewStart = 0;
        CursorRow = 0;
        CursorColumn = 0;
    }
    ViewStart -= ViewStart % RowBytes; // a page always starts on a row

    CursorNibble = 0;
    Page.clear();
    Page.push_back(StatusLine());
    for (int32_t row = ViewStart / RowBytes; row <= (ViewStart + PageBytes - 1) / RowBytes; ++row)
        Page.push_back(DataLineText(State.DataBuffer, row));
    View.SetPageLines(Page);
    PlaceCaret();

    View.ShowPage(true);
    View.FocusPage();
    View.ProcessMessages();
}

void BufferEditor::ShowStatusLine() {
    if (Page.empty())
        return;
    Page[0] = StatusLine();
    View.ReplacePageLine(0, Page[0]);
}

void BufferEditor::RefreshCell() {
    if (!CursorOnPage() || Page.size() != static_cast<size_t>(PageLines))
        return;
    const uint8_t value = State.DataBuffer[static_cast<size_t>(CursorAddress())];
    std::string& line = Page[static_cast<size_t>(1 + CursorRow)];
    line.replace(static_cast<size_t>(HexColumn(CursorColumn)), 2, HexDigits(value, 2));
    line[static_cast<size_t>(CharacterColumn(CursorColumn))] = DisplayCharacter(value);
    View.ReplacePageLine(1 + CursorRow, line);
}

void BufferEditor::PlaceCaret() {
    View.SetCaret(ToControlOffset(CursorOffset()));
}

void BufferEditor::Edit_1KeyDown(EditorKey key) {
    View.ProcessMessages();
    switch (key) {
    case EditorKey::PageUp:
        ViewStart -= PageBytes;
        RedrawView();
        break;
    case EditorKey::PageDown:
        ViewStart += PageBytes;
        RedrawView();
        break;
    case EditorKey::End:
        CursorColumn = RowBytes - 1;
        break;
    case EditorKey::Home:
        CursorColumn = 0;
        break;
    case EditorKey::Left:
        if (CursorNibble == 1)
            CursorNibble = 0;
        else
            --CursorColumn;
        break;
    case EditorKey::Up:
        --CursorRow;
        break;
    case EditorKey::Right:
        ++CursorColumn;
        CursorNibble = 0;
        break;
    case EditorKey::Down:
        ++CursorRow;
        break;
    case EditorKey::Other:
        break;
    }
    KeepCursorOnPage();
    ShowStatusLine();
}

// A cursor moved one column or row off the page goes on at the other end
// of the row, or on the neighbouring page.
void BufferEditor::KeepCursorOnPage() {
    if (CursorColumn < 0) {
        CursorColumn = RowBytes - 1;
        --CursorRow;
    } else if (CursorColumn >= RowBytes) {
        CursorColumn = 0;
        ++CursorRow;
    }
    if (CursorRow < 0) {
        CursorRow = PageRows - 1;
        ViewStart -= PageBytes;
        RedrawView();
    } else if (CursorRow >= PageRows) {
        CursorRow = 0;
        ViewStart += PageBytes;
        RedrawView();
    }
}

void BufferEditor::Edit_1KeyPress(uint8_t character) {
    // Only a character that follows its key-down reaches here with the cursor
    // on the page; anything else has no byte to go to.
    if (!CursorOnPage())
        return;
    uint8_t& cell = State.DataBuffer[static_cast<size_t>(CursorAddress())];
    if (AsciiSide == 1) {
        cell = character;
        RefreshCell();
        ++CursorColumn;
        return;
    }
    const std::optional<uint8_t> digit = HexDigitValue(character);
    if (!digit)
        return;
    if (CursorNibble == 0) {
        cell = static_cast<uint8_t>(*digit << 4 | (cell & 0x0F));
        RefreshCell();
        CursorNibble = 1;
    } else {
        cell = static_cast<uint8_t>((cell & 0xF0) | *digit);
        RefreshCell();
        CursorNibble = 0;
        ++CursorColumn;
    }
}

// After every key the caret and the status line stand on the byte the next
// key goes to: past the last byte of a row that is the next row's first.
void BufferEditor::Edit_1KeyUp() {
    KeepCursorOnPage();
    ShowStatusLine();
    PlaceCaret();
}

void BufferEditor::Edit_1MouseDown() {
    int32_t offset = FromControlOffset(View.Caret());
    if (offset <= LastAddressOffset) {
        // Focusing the box takes the focus from the page, which closes the
        // editor (and recomputes the checksum); the page stays on view behind it.
        View.ClearAddressBox();
        View.ShowAddressBox(true);
        View.FocusAddressBox();
        View.ShowPage(true);
    }
    offset = std::max(offset, FirstByteOffset);
    CursorRow = std::min(offset / LineSpan - 1, PageRows - 1);
    const int32_t column = std::max(offset % LineSpan - (HexStart - 1), 0);
    if (column < CharacterSideStart) {
        AsciiSide = 0;
        CursorColumn = std::min(column / 3, RowBytes - 1);
        ShowStatusLine();
        CursorNibble = column % 3 == 2 ? 1 : 0;
    } else {
        AsciiSide = 1;
        CursorColumn = std::min(std::max(column - FirstCharacter, 0), RowBytes - 1);
        ShowStatusLine();
    }
    PlaceCaret();
}

void BufferEditor::Edit_1Exit() {
    View.ShowPage(false);
    View.UpdateChecksum();
}

bool BufferEditor::Chg_Edit_AddKeyPress(uint8_t character) {
    if (character == EnterCharacter) {
        View.FocusPage();
        View.ShowAddressBox(false);
        const std::string text = View.AddressBoxText();
        if (!text.empty()) {
            ViewStart = StrToInt("$" + text) & PageStartMask;
            RedrawView();
        }
        return false;
    }
    return character == BackspaceCharacter || HexDigitValue(character).has_value();
}

void BufferEditor::Chg_Edit_AddExit() {
    View.ShowAddressBox(false);
}

bool BufferEditor::CursorInBuffer() const {
    const int32_t address = CursorAddress();
    return address >= 0 && address < BufferSize;
}

bool BufferEditor::CursorOnPage() const {
    return CursorRow >= 0 && CursorRow < PageRows && CursorColumn >= 0 && CursorColumn < RowBytes &&
           CursorInBuffer();
}

std::string BufferEditor::StatusLine() const {
    if (!CursorInBuffer())
        return std::string(StatusLineLength, ' ');
    return StatusLineText(CursorAddress(), State.DataBuffer[static_cast<size_t>(CursorAddress())]);
}

int32_t BufferEditor::CursorOffset() const {
    const int32_t lineStart = LineSpan * (CursorRow + 1) - 1;
    if (AsciiSide == 1)
        return lineStart + CharacterColumn(CursorColumn);
    return lineStart + HexColumn(CursorColumn) + CursorNibble;
}

} // namespace quennel
