#include "console/EditorPage.h"

#include "console/EditorTextControl.h"
#include "console/MainForm.h"

#include <QAbstractButton>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QValidator>
#include <algorithm>

namespace quennel {

namespace {

// Room between the control's frame and the page's text.
constexpr int PageMargin = 2;

// Shows what is typed or pasted into a box in upper case.
class UpperCaseText : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

EditorKey KeyOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_PageUp:
        return EditorKey::PageUp;
    case Qt::Key_PageDown:
        return EditorKey::PageDown;
    case Qt::Key_End:
        return EditorKey::End;
    case Qt::Key_Home:
        return EditorKey::Home;
    case Qt::Key_Left:
        return EditorKey::Left;
    case Qt::Key_Up:
        return EditorKey::Up;
    case Qt::Key_Right:
        return EditorKey::Right;
    case Qt::Key_Down:
        return EditorKey::Down;
    default:
        return EditorKey::Other;
    }
}

// The page's lines are plain 7-bit text.
QString PageText(const std::string& line) {
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

} // namespace

std::optional<char32_t> TypedCharacter(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if ((modifiers & Qt::AltModifier) && !(modifiers & Qt::ControlModifier))
        return std::nullopt;
    const QList<uint> codes = event.text().toUcs4();
    if (codes.size() != 1)
        return std::nullopt;
    return static_cast<char32_t>(codes.front());
}

EditorPage::EditorPage(TMainForm& form)
    : Form(form), Page(*form.Edit_1), AddressBox(*form.Chg_Edit_Add), Logic(form.State(), *this) {
    // The program rewrites the page line by line; nothing there is to be undone.
    Page.setUndoRedoEnabled(false);
    Page.document()->setDocumentMargin(PageMargin);
    Page.FitColumns(DataLineLength);
    AddressBox.setValidator(new UpperCaseText(&AddressBox));
    AddressBox.installEventFilter(this);
    for (QAbstractButton* button : form.findChildren<QAbstractButton*>())
        button->installEventFilter(this);
    form.StaticText3->installEventFilter(this);
    ConnectPage();
}

// The page may outlive this object by a moment while the window is torn down.
EditorPage::~EditorPage() {
    Page.OnKeyDown = nullptr;
    Page.OnKeyPress = nullptr;
    Page.OnKeyUp = nullptr;
    Page.OnMouseDown = nullptr;
    Page.OnExit = nullptr;
    AddressBox.removeEventFilter(this);
    for (QAbstractButton* button : Form.findChildren<QAbstractButton*>())
        button->removeEventFilter(this);
    Form.StaticText3->removeEventFilter(this);
}

void EditorPage::ConnectPage() {
    Page.OnKeyDown = [this](const QKeyEvent& event) {
        const EditorKey key = KeyOf(event);
        Form.Deliver([this, key] { Logic.Edit_1KeyDown(key); });
    };
    // A character beyond one byte has no byte to go to.
    Page.OnKeyPress = [this](const QKeyEvent& event) {
        const std::optional<char32_t> character = TypedCharacter(event);
        if (!character || *character > 0xFF)
            return;
        const auto code = static_cast<uint8_t>(*character);
        Form.Deliver([this, code] { Logic.Edit_1KeyPress(code); });
    };
    Page.OnKeyUp = [this] { Form.Deliver([this] { Logic.Edit_1KeyUp(); }); };
    Page.OnMouseDown = [this] { Form.Deliver([this] { Logic.Edit_1MouseDown(); }); };
    Page.OnExit = [this] { Form.Deliver([this] { Logic.Edit_1Exit(); }); };
}

bool EditorPage::eventFilter(QObject* watched, QEvent* event) {
    // A click on a button or on the status line, or a button's accelerator,
    // ends the editing as a click on any other control does: the page (or
    // the address box) loses the focus before the command runs, so that no
    // key goes on changing the buffer behind the command's page. The buttons
    // take no focus of their own, so the focus goes to the window itself,
    // where no key changes anything. What the operator does while the editor
    // closes waits its turn (see CommandGuard), the button's release among it.
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::Shortcut) {
        auto* control = qobject_cast<QWidget*>(watched);
        const bool commandControl = qobject_cast<QAbstractButton*>(watched) != nullptr || watched == Form.StaticText3;
        if (commandControl && control->isEnabled() && (Page.hasFocus() || AddressBox.hasFocus()))
            Form.setFocus(type == QEvent::Shortcut ? Qt::ShortcutFocusReason : Qt::MouseFocusReason);
        return QObject::eventFilter(watched, event);
    }
    if (watched == &AddressBox) {
        if (type == QEvent::KeyPress)
            return !AddressBoxKey(*static_cast<QKeyEvent*>(event));
        if (type == QEvent::FocusOut && MovesToAnotherControl(*static_cast<QFocusEvent*>(event)))
            Form.Deliver([this] { Logic.Chg_Edit_AddExit(); });
    }
    return QObject::eventFilter(watched, event);
}

// Whether the box gets the key. Keys without a character (the arrows) and
// the Ctrl combinations (paste, copy, select all) are the box's own; a
// character must pass the editor's filter, which takes Enter itself.
bool EditorPage::AddressBoxKey(const QKeyEvent& event) {
    const std::optional<char32_t> character = TypedCharacter(event);
    if (!character || (event.modifiers() & Qt::ControlModifier))
        return true;
    if (*character > 0xFF)
        return false;
    bool taken = false;
    const auto code = static_cast<uint8_t>(*character);
    Form.Deliver([this, code, &taken] { taken = Logic.Chg_Edit_AddKeyPress(code); },
                 CommandGuard::WhenBusy::Refuse);
    return taken;
}

void EditorPage::SetPageLines(const std::vector<std::string>& lines) {
    QString text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += PageText(lines[i]);
    }
    Page.setPlainText(text);
}

void EditorPage::ReplacePageLine(int line, const std::string& text) {
    const QTextBlock block = Page.document()->findBlockByNumber(line);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(PageText(text));
}

void EditorPage::SetCaret(int offset) {
    QTextCursor cursor = Page.textCursor();
    cursor.setPosition(std::clamp(offset, 0, Page.document()->characterCount() - 1));
    Page.setTextCursor(cursor);
}

int EditorPage::Caret() const {
    return Page.textCursor().position();
}

void EditorPage::ShowPage(bool visible) {
    if (!visible) {
        Page.hide();
        return;
    }
    Page.show();
    Page.raise();
}

void EditorPage::FocusPage() {
    Page.setFocus(Qt::OtherFocusReason);
}

void EditorPage::ClearAddressBox() {
    AddressBox.clear();
}

void EditorPage::ShowAddressBox(bool visible) {
    if (!visible) {
        AddressBox.hide();
        return;
    }
    AddressBox.show();
    AddressBox.raise();
}

void EditorPage::FocusAddressBox() {
    AddressBox.setFocus(Qt::OtherFocusReason);
}

std::string EditorPage::AddressBoxText() const {
    return AddressBox.text().toStdString();
}

void EditorPage::HideResults() {
    Form.ShowResults(false);
}

void EditorPage::UnlockControls() {
    Form.UnlockControls();
}

void EditorPage::UpdateChecksum() {
    Form.Core().Frame.UpdateChecksum();
}

void EditorPage::ProcessMessages() {
    Form.ProcessMessages();
}

// The window's side of the editor.

void TMainForm::EditClick() {
    BufferEditorPage->Editor().EditClick();
}

BufferEditor& TMainForm::Editor() {
    return BufferEditorPage->Editor();
}

} // namespace quennel
