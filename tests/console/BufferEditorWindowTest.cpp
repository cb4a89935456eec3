// The buffer editor in the window, driven as the operator drives it: real key
// strokes to whichever control has the focus, mouse clicks on the page at the
// place of a character, focus moving between the page, the address box and
// the buttons of an active window.

#include "WindowRig.h"
#include "buffer/IntegerText.h"
#include "console/logic/BufferEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <set>

namespace quennel::test {
namespace {

constexpr int Row82S23 = 2;   // 32 x 8
constexpr int Row82S181 = 20; // 1k x 8

class BufferEditorWindowTest : public ::testing::Test {
protected:
    BufferEditorWindowTest() {
        Rig.StartUp();
        // Focus changes only happen for real in the active window.
        Rig.Form().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Rig.Form()));
        Page = Rig.Find<QPlainTextEdit>("Edit_1");
        Box = Rig.Find<QLineEdit>("Chg_Edit_Add");
    }

    void Open(int deviceRow) {
        Rig.Click("Device");
        Rig.ChooseDeviceRow(deviceRow);
        Rig.Click("Edit");
        ASSERT_EQ(QApplication::focusWidget(), Page);
    }
    BufferEditor& Editor() { return Rig.Form().Editor(); }

    // Key strokes go where the keyboard's would: to the focused control.
    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    static void Type(const char* text) { QTest::keyClicks(QApplication::focusWidget(), text); }

    // A click on the left half of the character at this line and column of
    // the page (or past the end of the line), which puts the caret before it.
    void ClickAt(int line, int column) {
        const QTextBlock block = Page->document()->findBlockByNumber(line);
        QTextCursor cursor(block);
        const int inLine = std::min(column, block.length() - 1);
        cursor.setPosition(block.position() + inLine);
        const QRect place = Page->cursorRect(cursor);
        const int beyond = column > inLine ? 6 : 0;
        QTest::mouseClick(Page->viewport(), Qt::LeftButton, {},
                          QPoint(place.left() + 2 + beyond, place.center().y()));
    }

    std::string Line(int line) const {
        return Page->document()->findBlockByNumber(line).text().toStdString();
    }
    std::pair<int, int> Caret() const {
        const QTextCursor cursor = Page->textCursor();
        return {cursor.blockNumber(), cursor.positionInBlock()};
    }
    // The page shows 16 rows from this address, and no more lines.
    void ExpectPage(int32_t firstAddress) const {
        ASSERT_EQ(Page->document()->blockCount(), 17);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(Line(1 + k).substr(0, 4), HexDigits(static_cast<uint32_t>(firstAddress + 16 * k), 4));
    }
    // The cursor and the caret before its digit (or character).
    void ExpectCursor(int32_t address, int32_t nibble, int32_t asciiSide = 0) {
        BufferEditor& editor = Editor();
        EXPECT_EQ(editor.CursorAddress(), address);
        EXPECT_EQ(editor.CursorNibble, nibble);
        EXPECT_EQ(editor.AsciiSide, asciiSide);
        const int column = asciiSide ? 56 + editor.CursorColumn : 6 + 3 * editor.CursorColumn + nibble;
        EXPECT_EQ(Caret(), std::make_pair(1 + editor.CursorRow, column));
        EXPECT_FALSE(Page->textCursor().hasSelection());
    }
    std::string Checksum() { return Rig.Text("Chk_Sum_But"); }

    WindowRig Rig;
    QPlainTextEdit* Page = nullptr;
    QLineEdit* Box = nullptr;
};

TEST_F(BufferEditorWindowTest, HexDigitsFillBytesAndRewriteOnlyTheirLine) {
    Rig.State().DataBuffer[0x11] = 0x3C;
    Open(Row82S181);
    ExpectPage(0);
    EXPECT_EQ(Line(0), "Address = 0000              Hex Data = 00                Ascii Data = .");
    EXPECT_TRUE(Page->isReadOnly());
    // Whole lines in view, the caret after the last character included.
    QTextCursor lineEnd(Page->document()->findBlockByNumber(1));
    lineEnd.movePosition(QTextCursor::EndOfBlock);
    EXPECT_LT(Page->cursorRect(lineEnd).right(), Page->viewport()->width());

    std::set<int> linesChanged;
    int largestChange = 0;
    QObject::connect(Page->document(), &QTextDocument::contentsChange, Page,
                     [&](int position, int removed, int added) {
                         linesChanged.insert(Page->document()->findBlock(position).blockNumber());
                         largestChange = std::max({largestChange, removed, added});
                     });
    Type("A");
    EXPECT_EQ(Rig.State().DataBuffer[0], 0xA0);
    ExpectCursor(0, 1);
    Type("5");
    EXPECT_EQ(Rig.State().DataBuffer[0], 0xA5);
    ExpectCursor(1, 0);
    Type("g"); // no hex digit
    ExpectCursor(1, 0);
    ClickAt(2, 9);
    Type("e");
    // After every key the status line names the byte the caret stands on, as it now is.
    EXPECT_EQ(Line(0).substr(0, 41), "Address = 0011              Hex Data = EC");
    Type("7");
    EXPECT_EQ(Rig.State().DataBuffer[0x11], 0xE7);
    EXPECT_EQ(Line(1).substr(0, 11), "0000  A5 00");
    EXPECT_EQ(Line(2).substr(0, 14), "0010  00 E7 00");
    EXPECT_EQ(linesChanged, (std::set<int>{0, 1, 2}));
    EXPECT_LE(largestChange, 72) << "a typed digit rebuilt more than its line";
    EXPECT_EQ(Line(0).substr(0, 41), "Address = 0012              Hex Data = 00");
    Key(Qt::Key_Left);
    EXPECT_EQ(Line(0).substr(0, 41), "Address = 0011              Hex Data = E7");
}

TEST_F(BufferEditorWindowTest, UpAndLeftStopAtAddressZeroAndDownKeepsTheLastPage) {
    Open(Row82S181);
    Key(Qt::Key_Right);
    Key(Qt::Key_Up);
    ExpectCursor(0, 0);
    ExpectPage(0);
    Key(Qt::Key_Left);
    ExpectCursor(0, 0);

    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_PageDown);
    ExpectPage(0x300);
    Key(Qt::Key_PageDown);
    ExpectPage(0x300);
    ClickAt(16, 12);
    ExpectCursor(0x3F2, 0);
    Key(Qt::Key_Down);
    ExpectPage(0x300);
    ExpectCursor(0x302, 0);
}

TEST_F(BufferEditorWindowTest, ASmallDeviceWrapsToAddressZero) {
    Open(Row82S23);
    ExpectPage(0);
    Key(Qt::Key_End);
    for (int i = 0; i < 15; ++i)
        Key(Qt::Key_Down);
    ExpectCursor(0xFF, 0);
    Key(Qt::Key_Down);
    ExpectPage(0);
    ExpectCursor(0, 0);
}

// The control moves its own caret with the key; the release puts it back.
TEST_F(BufferEditorWindowTest, TheControlMovesItsCaretAndTheReleasePutsItBack) {
    Open(Row82S181);
    QTest::keyPress(Page, Qt::Key_End);
    EXPECT_EQ(Caret(), std::make_pair(1, 72));
    QTest::keyRelease(Page, Qt::Key_End);
    ExpectCursor(0x0F, 0);

    // A release that arrives while the stroke's key-down pumps messages
    // waits for the stroke's character, and then puts the caret back.
    Key(Qt::Key_Home);
    QCoreApplication::postEvent(Page, new QKeyEvent(QEvent::KeyRelease, Qt::Key_5, Qt::NoModifier, "5"));
    QTest::keyPress(Page, Qt::Key_5);
    EXPECT_EQ(Rig.State().DataBuffer[0], 0x50);
    QCoreApplication::processEvents();
    ExpectCursor(0, 1);
}

TEST_F(BufferEditorWindowTest, ClicksSelectByTheCaretsColumn) {
    Open(Row82S181);
    struct Expectation {
        int Column;
        int32_t Address; // line 4 holds bytes 0x30..0x3F
        int32_t Nibble;
        int32_t Ascii;
    };
    const Expectation table[] = {
        {0, 0x2F, 0, 1},  {1, 0x30, 0, 0},  {4, 0x30, 0, 0},  {7, 0x30, 0, 0},
        {8, 0x30, 1, 0},  {9, 0x31, 0, 0},  {10, 0x31, 0, 0}, {11, 0x31, 1, 0},
        {50, 0x3E, 1, 0}, {51, 0x3F, 0, 0}, {52, 0x30, 0, 1}, {54, 0x30, 0, 1},
        {56, 0x30, 0, 1}, {57, 0x31, 0, 1}, {71, 0x3F, 0, 1}, {72, 0x3F, 0, 1},
    };
    for (const Expectation& row : table) {
        SCOPED_TRACE(row.Column);
        Editor().CursorNibble = 0;
        ClickAt(4, row.Column);
        ExpectCursor(row.Address, row.Nibble, row.Ascii);
    }
    // The first data line before its first byte, and the status line past its address.
    ClickAt(1, 3);
    ExpectCursor(0, 0);
    ClickAt(0, 40);
    ExpectCursor(0, 0);
    EXPECT_FALSE(Box->isVisible());
}

TEST_F(BufferEditorWindowTest, TheCharacterSideStoresEveryCharacterTyped) {
    Open(Row82S181);
    ClickAt(3, 56 + 14);
    ExpectCursor(0x2E, 0, 1);
    Key(Qt::Key_Return);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Escape);
    Type("z");
    // The Delete key, with the text an X server gives it: no character, nothing stored.
    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_Delete, QString(QChar(0x7F)),
                        Qt::NoModifier);
    Key(Qt::Key_Q, Qt::AltModifier); // an accelerator the window has not: no character either
    EXPECT_EQ(Rig.State().DataBuffer[0x2E], 0x0D);
    EXPECT_EQ(Rig.State().DataBuffer[0x2F], 0x08);
    EXPECT_EQ(Rig.State().DataBuffer[0x30], 0x1B);
    EXPECT_EQ(Rig.State().DataBuffer[0x31], 'z');
    EXPECT_EQ(Rig.State().DataBuffer[0x32], 0x00);
    EXPECT_EQ(Line(3).substr(48, 5), "0D 08");
    EXPECT_EQ(Line(3).substr(70, 2), "..");
    EXPECT_EQ(Line(4).substr(56, 3), ".z.");
    ExpectCursor(0x32, 0, 1);
}

TEST_F(BufferEditorWindowTest, TheAddressBoxMovesThePageAndOpeningItSumsTheBuffer) {
    Open(Row82S181);
    Key(Qt::Key_PageDown);
    Rig.State().DataBuffer[0x3FF] = 0x21;
    Rig.State().DataBuffer[0x10] = 0x01;
    Box->setText("OLD");
    ASSERT_NE(Checksum(), "CheckSum=0022");

    ClickAt(0, 14);
    EXPECT_TRUE(Box->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Box);
    EXPECT_EQ(Box->text().toStdString(), "");
    EXPECT_TRUE(Page->isVisible()) << "the page stays on view behind the box";
    EXPECT_EQ(Checksum(), "CheckSum=0022");
    ExpectPage(0x100);

    Type("3fx5"); // x does not get in
    EXPECT_EQ(Box->text().toStdString(), "3F5");
    Type("4321");
    EXPECT_EQ(Box->text().toStdString(), "3F5432");
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Return);
    EXPECT_FALSE(Box->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), Page);
    ExpectPage(0x300);
    EXPECT_EQ(Line(16).substr(0, 11), "03F0  00 00");
    EXPECT_EQ(Line(16).substr(51, 2), "21");
}

TEST_F(BufferEditorWindowTest, ANonHexPasteGivesTheErrorReportAndLeavesThePage) {
    Open(Row82S181);
    Key(Qt::Key_PageDown);
    Key(Qt::Key_Down);
    ClickAt(0, 3);
    QApplication::clipboard()->setText("1a2g");
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Box->text().toStdString(), "1A2G");
    const size_t boxes = Rig.Dialogs.Boxes.size();
    Key(Qt::Key_Return);
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), boxes + 1);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Icon, MessageBoxRequest::Kind::Error);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Title, "Quennel");
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Text, "'$1A2G' is not a valid integer value.");
    EXPECT_FALSE(Box->isVisible());
    EXPECT_TRUE(Page->isVisible());
    ExpectPage(0x100);
    EXPECT_EQ(Editor().ViewStart, 0x100);
}

TEST_F(BufferEditorWindowTest, LosingTheFocusClosesTheEditorAndSumsTheBuffer) {
    Open(Row82S181);
    Type("12");
    Rig.Click("Start_Add"); // a button without a command of its own
    EXPECT_FALSE(Page->isVisible());
    EXPECT_EQ(Checksum(), "CheckSum=0012");
    Type("34"); // the page has gone with the focus
    EXPECT_EQ(Rig.State().DataBuffer[1], 0x00);

    // The Tab key moves the focus on, and closes the editor as well.
    Rig.Click("Edit");
    Type("5");
    Key(Qt::Key_Tab);
    EXPECT_FALSE(Page->isVisible());
    EXPECT_EQ(Checksum(), "CheckSum=0052");

    // Another window taking over leaves the editor open and focused again
    // when this window comes back.
    Rig.Click("Edit");
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_TRUE(Page->isVisible());
    Rig.Form().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Rig.Form()));
    EXPECT_EQ(QApplication::focusWidget(), Page);
    EXPECT_EQ(Checksum(), "CheckSum=0052");
}

// Closing the editor pumps messages while the button's press waits; a quick
// click's release that comes in there waits for the press and then clicks.
TEST_F(BufferEditorWindowTest, AQuickClickOnAButtonWhileEditingIsCarriedOut) {
    Open(Row82S181);
    auto* scale = Rig.Find<QPushButton>("Scale");
    const QPoint centre = scale->rect().center();
    QCoreApplication::postEvent(scale, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                       scale->mapToGlobal(centre), Qt::LeftButton,
                                                       Qt::NoButton, Qt::NoModifier));
    QTest::mousePress(scale, Qt::LeftButton, {}, centre);
    EXPECT_FALSE(Page->isVisible());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Rig.Text("Scale") == "Small Buttons"; }, 2000));
    EXPECT_FALSE(scale->isDown());
    QTest::mouseRelease(scale, Qt::LeftButton, {}, centre); // the mouse as the test found it
    EXPECT_EQ(Rig.Text("Scale"), "Small Buttons");
}

} // namespace
} // namespace quennel::test
