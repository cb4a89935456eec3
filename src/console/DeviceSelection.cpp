// The device list and the seating prompt: choosing a row sets the Device
// button's caption, DeviceEnd and DeviceClass, and shows how to seat the part.

#include "buffer/IntegerText.h"
#include "console/MainForm.h"
#include "device/Catalogue.h"
#include "link/Detection.h"

#include <algorithm>

namespace quennel {

namespace {

constexpr int PromptX = 170;
constexpr int PromptY = 260;
constexpr int32_t NoDeviceEnd = 0x3FF;

} // namespace

// The list stays open, with the commands locked, until a row is chosen.
void TMainForm::DeviceClick() {
    LockControls();
    ShowDeviceList();
}

// The arrow keys and Enter work on the list at once, from the row chosen last.
// Without a device chosen last (a heading, or a row outside the list from a
// hand-edited settings file) no row is current: the focus would otherwise
// make the first one so, and the first arrow key starts at the top.
void TMainForm::ShowDeviceList() {
    const int32_t row = State().DeviceRow;
    const bool device = row >= 0 && row < CatalogueRows && Catalogue()[static_cast<size_t>(row)].IsDevice;
    if (device)
        Device_Box->setCurrentRow(row);
    ShowPage(Device_Box);
    Device_Box->setFocus(Qt::OtherFocusReason);
    if (!device)
        Device_Box->selectionModel()->clearCurrentIndex();
}

void TMainForm::Device_BoxClick() {
    State().DeviceRow = Device_Box->currentRow();
    Device_Box->hide();
    ApplyDeviceSelection();
    UnlockControls();
}

void TMainForm::ApplyDeviceSelection() {
    ShowStatus(ProgrammerCaption(State()));
    const int32_t row = State().DeviceRow;
    if (row >= 0 && row < CatalogueRows) {
        const CatalogueRow& chosen = Catalogue()[static_cast<size_t>(row)];
        if (chosen.IsDevice) {
            Device->setText(
                QString::fromUtf8(chosen.Caption.data(), static_cast<qsizetype>(chosen.Caption.size())));
            Core().SelectDevice(chosen);
            if (OnDeviceSeated)
                OnDeviceSeated(chosen.DeviceClass);
            QPlainTextEdit* memo = chosen.Memo == PromptMemo::Lower    ? Lower
                                   : chosen.Memo == PromptMemo::Upper  ? Upper
                                   : chosen.Memo == PromptMemo::Page_1 ? Page_1
                                                                       : Page_2;
            ShowAdapterPrompt(memo);
        } else {
            SelectNoDevice();
        }
    }
    ShowDeviceEnd(3);
}

// "Device End=" and DeviceEnd in upper-case hex, at least leastDigits
// digits: three after a choice in the list (01F), four at start-up (01FF).
void TMainForm::ShowDeviceEnd(int leastDigits) {
    const auto value = static_cast<uint32_t>(State().DeviceEnd);
    int digits = leastDigits;
    while (digits < 8 && (value >> (4 * digits)) != 0)
        ++digits;
    End_Add->setText(QString::fromStdString("Device End=" + HexDigits(value, digits)));
}

// The page stays on view exactly while the box is open.
void TMainForm::ShowAdapterPrompt(QPlainTextEdit* memo) {
    ShowPage(memo);
    Dialogs.ShowBox({MessageBoxRequest::Kind::Information, "Information", "", PromptX, PromptY});
    memo->hide();
}

// A heading, a note or an empty row: the whole buffer counts, with the class
// of the device chosen before.
void TMainForm::SelectNoDevice() {
    State().DeviceEnd = NoDeviceEnd;
    Device->setText("No Device");
    Dialogs.ShowBox({MessageBoxRequest::Kind::Information, "Information", "No Device Was Selected.", {}, {}});
}

} // namespace quennel
