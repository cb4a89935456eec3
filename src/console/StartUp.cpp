// The start-up: on the window's first activation the programmer is searched
// for, then the settings file restores the device, the file type, the
// device end, the window's place and size and the button size, and the last
// file is loaded again. Later activations (a box or dialog closing, the
// operator coming back from another program) run nothing.

#include "buffer/FileType.h"
#include "buffer/IntegerText.h"
#include "console/MainForm.h"
#include "console/logic/ScaleArithmetic.h"
#include "console/logic/SettingsFile.h"
#include "console/logic/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace quennel {

namespace {

constexpr int Panel7Height = 28;

ScreenRect RectOf(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

} // namespace

// A new main window takes the focus as a desktop gives it; with no window
// manager to give it, the window asks for it, so that its activation comes.
void TMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (Shown)
        return;
    Shown = true;
    if (StartUpOnActivate)
        activateWindow();
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && StartUpOnActivate && !StartUpBegun)
        QTimer::singleShot(0, this, [this] { Deliver([this] { FormActivate(); }); });
}

// The programmer is searched for with the whole window disabled, so that no
// command starts while the ports are probed. A settings line that does not
// convert ends the start-up at that line with the error report: what was
// applied before it stays, nothing after it runs.
void TMainForm::FormActivate() {
    if (StartUpBegun || ShutDownDone)
        return;
    StartUpBegun = true;
    ProcessMessages();
    Panel7->resize(Panel7->width(), Panel7Height);
    setEnabled(false);
    State().ProgrammerModel = 0;
    FindProgrammer();
    TellPortAccessProblem();
    // The real-time waits tried once: a refusal is the last line of the
    // result list, which then stays in view.
    Core().Realtime.Probe();
    if (!RealtimeRefusalShown)
        Memo1->hide();
    setEnabled(true);
    // A close during the search: nothing was read, so nothing is written back.
    if (CloseWanted)
        return;

    SettingsDirectory = CurrentSettingsDirectory();
    ApplySettingsFile();
    ShowFileType();
    ShowDeviceEnd(4);
    if (!OpenDialog1.FileName.empty() && !CloseWanted) {
        // A file that could not be read keeps its name for the next run,
        // but is not shown as loaded.
        if (LoadNamedFile() == LoadResult::Stopped)
            return;
    }
    UnlockControls();
    // No device yet: the operator chooses one first. The list opens without
    // locking the commands; choosing a row closes it.
    if (Device->text() == "No Device")
        ShowDeviceList();
}

// The file is read whole and closed before any line is applied, so that a
// bad line never keeps it from being written at the close. A device end or
// file type outside what the program knows is brought into range first.
//
// A file that is there but cannot be used to its end (a line that does not
// convert, no regular file, unreadable) stays marked, so that the close
// keeps it aside instead of writing over the operator's hand edits.
void TMainForm::ApplySettingsFile() {
    const std::filesystem::path path = SettingsFilePath(SettingsDirectory);
    std::error_code error;
    SettingsUnusable = std::filesystem::symlink_status(path, error).type() != std::filesystem::file_type::not_found;
    const std::optional<SettingsLines> lines = SettingsLines::Read(path);
    if (!lines)
        return;
    State().DeviceRow = lines->Number(DeviceRowLine);
    Device_Box->setCurrentRow(State().DeviceRow); // a row outside the list selects none
    ApplyDeviceSelection();
    State().FileType = FileTypeFromSettings(lines->Number(FileTypeLine));
    State().DeviceEnd = DeviceEndFromSettings(lines->Number(DeviceEndLine));

    const int32_t width = lines->Number(WidthLine);
    resize(width, height());
    const int32_t height = lines->Number(HeightLine);
    resize(this->width(), height);
    const int32_t top = lines->Number(TopLine);
    move(x(), top);
    const int32_t left = lines->Number(LeftLine);
    PlaceWindow(width, height, top, left);

    ScaleTag = lines->Number(ButtonSizeLine);
    if (ScaleTag == 1) {
        ScaleControls(LargeButtonsNumerator, LargeButtonsDenominator);
        Scale->setText("Small Buttons");
    }
    OpenDialog1.FileName = lines->Line(LastFileLine);
    SettingsUnusable = false;
}

// The stored place and size, unless no screen would show enough of the
// window to grab it: then its first size in the middle of the primary screen.
void TMainForm::PlaceWindow(int32_t width, int32_t height, int32_t top, int32_t left) {
    std::vector<ScreenRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(RectOf(screen->availableGeometry()));
    const QScreen* primary = QGuiApplication::primaryScreen();
    const ScreenRect primaryRect = primary ? RectOf(primary->availableGeometry())
                                           : ScreenRect{0, 0, DefaultWindowWidth, DefaultWindowHeight};
    const ScreenRect placed = RestoredWindowRect({left, top, width, height}, screens, primaryRect);
    resize(placed.Width, placed.Height);
    move(placed.Left, placed.Top);
}

} // namespace quennel
