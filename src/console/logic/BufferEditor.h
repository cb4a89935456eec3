#pragma once
// The buffer editor: a page of 256 buffer bytes in hex and as characters,
// with a cursor on one hex digit or on one character. Every change goes
// straight into the data buffer. The page is rebuilt only when it moves or
// the editor opens; a typed character rewrites only its own line.
//
// The window forwards its events to the handlers below and shows what the
// editor writes through EditorView. Between key-down and the character of a
// key the cursor may stand one row or column outside the page; the key's
// release (or the next key-down) brings it back.

#include "console/logic/EditorText.h"
#include "console/logic/EditorView.h"
#include "core/SharedState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quennel {

// The keys that move the cursor; every other key is Other.
enum class EditorKey { PageUp, PageDown, End, Home, Left, Up, Right, Down, Other };

class BufferEditor {
public:
    // state and view must outlive the editor.
    BufferEditor(SharedState& state, EditorView& view);
    BufferEditor(const BufferEditor&) = delete;
    BufferEditor& operator=(const BufferEditor&) = delete;

    // The Edit Buffer button: opens the editor at address 0.
    void EditClick();
    // A key in the page: its key-down, its character (a byte code; Enter is
    // 13, Backspace 8) and its release, always in this order.
    void Edit_1KeyDown(EditorKey key);
    void Edit_1KeyPress(uint8_t character);
    void Edit_1KeyUp();
    // A mouse button went down in the page; the control has already moved
    // its caret to the point clicked.
    void Edit_1MouseDown();
    // The page lost the keyboard focus: it closes, the checksum is recomputed.
    void Edit_1Exit();
    // A character typed into the start-address box. Returns whether the box
    // takes it (hex digits and Backspace); Enter moves the page to the
    // address and throws EConvertError when the box holds no hex number.
    bool Chg_Edit_AddKeyPress(uint8_t character);
    void Chg_Edit_AddExit();

    void RedrawView();     // rebuilds the whole page
    void KeepCursorOnPage(); // wraps a cursor that moved off the page
    void ShowStatusLine(); // rewrites the status line
    void RefreshCell();    // rewrites the cursor's byte in its data line
    void PlaceCaret();     // puts the control's caret at the cursor

    // The cursor's buffer address.
    int32_t CursorAddress() const { return ViewStart + RowBytes * CursorRow + CursorColumn; }

    int32_t ViewStart = 0;    // buffer address of the page's first byte
    int32_t CursorRow = 0;    // 0..15 between keys
    int32_t CursorColumn = 0; // 0..15 between keys
    int32_t CursorNibble = 0; // hex side: 0 high digit, 1 low digit
    int32_t AsciiSide = 0;    // 0 hex side, 1 character side; kept across openings

private:
    // The cursor's address lies in the buffer; and, further, the cursor
    // stands on a byte of the page.
    bool CursorInBuffer() const;
    bool CursorOnPage() const;
    // The status line of the cursor's byte; blank while the cursor is past
    // the buffer's end (only between a key-down's page move and its wrap).
    std::string StatusLine() const;
    // The editor's offset of the cursor's character (a break counts two).
    int32_t CursorOffset() const;

    SharedState& State;
    EditorView& View;
    // The page as last written to the view, line by line.
    std::vector<std::string> Page;
};

} // namespace quennel
