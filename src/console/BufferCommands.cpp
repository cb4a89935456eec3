// The buffer's own commands: the checksum, the fill choice with its value
// field, and the file-type choice that sets the file button and both dialogs.

#include "buffer/FileType.h"
#include "buffer/Fill.h"
#include "console/MainForm.h"

#include <QKeyEvent>
#include <array>
#include <string_view>

namespace quennel {

namespace {

// Runs a test on every key pressed in one control; a true result swallows
// the key before the control sees it.
class KeyHook : public QObject {
public:
    KeyHook(QWidget* control, std::function<bool(QKeyEvent*)> onKey)
        : QObject(control), OnKey(std::move(onKey)) {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && OnKey(static_cast<QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool(QKeyEvent*)> OnKey;
};

bool IsEnter(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The editing shortcuts keep working in the value field; what they paste
// is not filtered (and may fail the conversion on Enter).
bool IsEditingShortcut(const QKeyEvent* event) {
    for (QKeySequence::StandardKey key : {QKeySequence::Paste, QKeySequence::Copy, QKeySequence::Cut,
                                          QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo})
        if (event->matches(key))
            return true;
    return false;
}

constexpr std::string_view FillDigits = "1234567890ABCDEFabcdef";
constexpr char EnterKey = 0x0D;
constexpr char BackspaceKey = 0x08;

constexpr std::array<const char*, 4> FileButtonCaptions{"Binary File", "Intel Hex File", "Motorola Hex File",
                                                        "Ascii Hex File"};

} // namespace

void TMainForm::ConnectBufferChoices() {
    connect(FillBox, &QListWidget::itemClicked, this, [this] { Deliver([this] { FillBoxClick(); }); });
    connect(File_Type, &QListWidget::itemClicked, this, [this] { Deliver([this] { File_TypeClick(); }); });
    // A row is also chosen with Enter on the row the arrow keys moved to.
    new KeyHook(FillBox, [this](QKeyEvent* event) {
        if (!IsEnter(event))
            return false;
        Deliver([this] { FillBoxClick(); });
        return true;
    });
    new KeyHook(File_Type, [this](QKeyEvent* event) {
        if (!IsEnter(event))
            return false;
        Deliver([this] { File_TypeClick(); });
        return true;
    });

    // Every character typed into the value field passes the filter first;
    // keys that type nothing (arrows, Delete, Tab) go straight to the field.
    new KeyHook(Fill_Edit, [this](QKeyEvent* event) {
        if (IsEnter(event)) {
            char key = EnterKey;
            Deliver([this, &key] { Fill_EditKeyPress(key); }, CommandGuard::WhenBusy::Refuse);
            return true;
        }
        const QString text = event->text();
        if (text.size() != 1 || event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
            event->key() == Qt::Key_Delete || IsEditingShortcut(event))
            return false;
        const char16_t code = text.front().unicode();
        char key = code < 0x80 ? static_cast<char>(code) : 0;
        if (key != 0 && !Deliver([this, &key] { Fill_EditKeyPress(key); }, CommandGuard::WhenBusy::Refuse))
            key = 0;
        return key == 0;
    });
    // The field shows its letters in upper case, typed or pasted.
    connect(Fill_Edit, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper == text)
            return;
        const int cursor = Fill_Edit->cursorPosition();
        Fill_Edit->setText(upper);
        Fill_Edit->setCursorPosition(cursor);
    });
}

void TMainForm::Chk_Sum_ButClick() {
    Core().Frame.UpdateChecksum();
}

// The choice stays open, with the commands locked, until a row is chosen.
void TMainForm::FillClick() {
    LockControls();
    ShowPage(FillBox);
    FillBox->setFocus();
}

void TMainForm::FillBoxClick() {
    switch (FillBox->currentRow()) {
    case 0:
    case 1:
        FillBuffer(State().DataBuffer, FillBox->currentRow() == 0 ? 0x00 : 0xFF);
        Core().Frame.UpdateChecksum();
        UnlockControls();
        break;
    case 2:
        Fill_Edit->clear();
        ShowPage(Fill_Edit);
        Fill_Edit->setFocus();
        break;
    case 3:
        UnlockControls();
        break;
    default:
        break; // a click that chose no row
    }
}

// Enter fills with the field's value (an empty field fills nothing) and
// closes the choice; of the other characters only hex digits and Backspace
// reach the field. A text that is not hex (only a paste can make one) fails
// the conversion: the error is reported and the field stays open.
void TMainForm::Fill_EditKeyPress(char& key) {
    if (key == EnterKey) {
        if (const std::optional<uint8_t> value = FillValueFromText(Fill_Edit->text().toStdString()))
            FillBuffer(State().DataBuffer, *value);
        Core().Frame.UpdateChecksum();
        UnlockControls();
        return;
    }
    if (key != BackspaceKey && (key == 0 || FillDigits.find(key) == std::string_view::npos))
        key = 0;
}

// The list opens on the current type, so that the keyboard starts there.
void TMainForm::File_ButClick() {
    LockControls();
    File_Type->setCurrentRow(State().FileType);
    ShowPage(File_Type);
    File_Type->setFocus();
}

void TMainForm::File_TypeClick() {
    const int row = File_Type->currentRow();
    if (row < 0)
        return;
    State().FileType = row;
    ShowFileType();
    UnlockControls();
}

// A type outside the four keeps the button's caption and sets the dialogs
// for hex files.
void TMainForm::ShowFileType() {
    const int32_t fileType = State().FileType;
    if (IsKnownFileType(fileType))
        File_But->setText(FileButtonCaptions[static_cast<size_t>(fileType)]);
    const bool binary = fileType == BinaryFileType;
    for (FileDialogRequest* dialog : {&OpenDialog1, &SaveDialog1}) {
        dialog->DefaultExtension = binary ? "Bin" : "Hex";
        dialog->FilterIndex = binary ? 1 : 2;
    }
}

} // namespace quennel
