#pragma once
// The one window of the program: a column of coloured panels with the
// command buttons, the status line and the address display across the top, a
// work area that shows one page at a time, and the last file's name at the
// bottom. It is the operator's console of the core: the core runs detection,
// the command frame and the device operations, the window shows them.
//
// Every control's object name is its name in the window's design
// (Program_Eprom, StaticText3, Device_Box ...), so tests find them by name.
// Handlers keep the names of the control and event they answer.

#include "console/ClickableText.h"
#include "console/CommandGuard.h"
#include "console/DialogSeam.h"
#include "console/EditorTextControl.h"
#include "core/MessageQueue.h"
#include "core/OperatorConsole.h"
#include "device/Quennel.h"

#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quennel {

class BufferEditor;
class EditorPage;

class TMainForm : public QWidget, public OperatorConsole {
public:
    // backEnd, dialogs and trace (when given) must outlive the window; the
    // real-time waits of its operations are taken from realtimeHost.
    TMainForm(PortBackEnd& backEnd, DialogSeam& dialogs, BusTrace* trace = nullptr,
              RealtimeHost& realtimeHost = HostRealtime());
    ~TMainForm() override;
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    QuennelCore& Core() { return *QCore; }
    SharedState& State() { return QCore->State; }

    // Runs a handler as the window delivers events, one at a time: a
    // handler asked for while another runs waits its turn (or, with Refuse,
    // is not run; see CommandGuard). An error that no command handles is
    // shown in the application error report and the command is abandoned
    // there; a close that arrived meanwhile is carried out after. Returns
    // whether the handler ran now.
    bool Deliver(const std::function<void()>& handler,
                 CommandGuard::WhenBusy whenBusy = CommandGuard::WhenBusy::Queue);
    // The application error report: a modal error box titled with the
    // program's title.
    void ShowErrorReport(const std::string& message);

    // Whether the first activation of the window runs the start-up; tests
    // that drive the start-up themselves switch it off before showing it.
    bool StartUpOnActivate = true;
    // Where the program's own files lie (its help text); the executable's folder.
    std::filesystem::path ProgramDir;
    // On real hardware: why no printer port can be used at all (no port
    // device, no permission), or nothing. After a search that found no
    // programmer the status line says it, instead of only that nothing answered.
    std::function<std::optional<std::string>()> PortAccessProblem;
    // Called after a device row has been applied, with its class: the
    // simulated socket then holds a part of that width.
    std::function<void(int32_t deviceClass)> OnDeviceSeated;

    // The window and its command frame.
    void FormCreate();
    void LockControls();
    void UnlockControls();
    void StaticText3Click();
    void Help_1Click();
    void TellPortAccessProblem();
    void ScaleClick();

    // The device list and the seating prompt.
    void DeviceClick();
    void Device_BoxClick();
    void ApplyDeviceSelection();
    void ShowAdapterPrompt(QPlainTextEdit* memo);
    void SelectNoDevice();

    // The five device operations.
    void Program_EpromClick();
    void Blank_ChkClick();
    void Verify_EpromClick();
    void Move_EpromClick();
    void CompareClick();

    // The buffer commands: check sum, fill, file type, load and save.
    void Chk_Sum_ButClick();
    void FillClick();
    void FillBoxClick();
    // A character typed into Fill_Edit; set to 0 when the field refuses it.
    void Fill_EditKeyPress(char& key);
    void File_ButClick();
    void File_TypeClick();
    void ShowFileType();
    void Load_ButClick();
    void Save_ButClick();
    // How a load ended: the file's data stored; no data stored (the file
    // could not be read, or the operator declined it); or stopped on a bad
    // field, which has been reported and the buttons unlocked with the
    // fault raised, so that the caller goes no further.
    // LoadedInPart: loaded, but data past the buffer's end was left out.
    enum class LoadResult { Loaded, LoadedInPart, NotLoaded, Stopped };
    // Read OpenDialog1's file into the buffer (LoadHexFile by FileType's
    // record format); write SaveDialog1's file from it.
    LoadResult LoadBinaryFile();
    LoadResult LoadHexFile();
    void SaveBinaryFile();
    void SaveHexFile();

    // The buffer editor.
    void EditClick();
    // The editor's state and routines; the page's and the address box's
    // events reach them through Deliver.
    BufferEditor& Editor();

    // Start-up and shutdown.
    // The start-up, on the window's first activation only: the programmer
    // is searched for, then the settings file puts the window back as the
    // operator left it and the last file is loaded again.
    void FormActivate();
    // What the operator asks of the window's close: the running pass stops
    // (a pulse in flight runs its full time), then the programmer is left
    // idle, its port given back and the settings file written. Always allowed.
    void FormCloseQuery();
    // The folder the settings file lives in: the current directory when the
    // start-up read it; empty until then (nothing is written at the close).
    std::string SettingsDirectory;
    // The start-up found a settings file it could not use to its end.
    bool SettingsUnusable = false;

    // The operator's console of the core.
    void ShowStatus(const std::string& text) override;
    void ClearResults() override;
    void ShowResults(bool visible) override;
    void AddResult(const std::string& line) override;
    void ShowAddress(const std::string& text) override;
    void ShowChecksum(const std::string& caption) override;
    void LockCommands() override;
    void UnlockCommands(bool programmerFound, bool fault) override;
    void ShowMessageBox(const MessageBoxRequest& box) override;
    void ProcessMessages() override;
    void WaitForMessages() override;
    void PostToMessageThread(std::function<void()> call) override;

    // The button-size switch: 0 normal, 1 large.
    int32_t ScaleTag = 0;
    // The file dialogs' settings; OpenDialog1's file name is the last file loaded.
    FileDialogRequest OpenDialog1;
    FileDialogRequest SaveDialog1;

    // Panels of the left-hand column.
    QFrame* Panel7 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel5 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel6 = nullptr;

    // The sixteen command buttons and the address display.
    QPushButton* Program_Eprom = nullptr;
    QPushButton* Blank_Chk = nullptr;
    QPushButton* Verify_Eprom = nullptr;
    QPushButton* Move_Eprom = nullptr;
    QPushButton* Compare = nullptr;
    QPushButton* Device = nullptr;
    QPushButton* Edit = nullptr;
    QPushButton* Fill = nullptr;
    QPushButton* Chk_Sum_But = nullptr;
    QPushButton* Load_But = nullptr;
    QPushButton* Save_But = nullptr;
    QPushButton* File_But = nullptr;
    QPushButton* Help_1 = nullptr;
    QPushButton* Scale = nullptr;
    QPushButton* Start_Add = nullptr;
    QPushButton* End_Add = nullptr;
    QPushButton* Address = nullptr;

    // Status line, last file, and the pages of the work area.
    ClickableText* StaticText3 = nullptr;
    QLabel* StaticText4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Help1 = nullptr;
    QListWidget* Device_Box = nullptr;
    QListWidget* File_Type = nullptr;
    QListWidget* FillBox = nullptr;
    QLineEdit* Fill_Edit = nullptr;
    EditorTextControl* Edit_1 = nullptr;
    QLineEdit* Chg_Edit_Add = nullptr;
    QPlainTextEdit* Page_1 = nullptr;
    QPlainTextEdit* Page_2 = nullptr;
    QPlainTextEdit* Lower = nullptr;
    QPlainTextEdit* Upper = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void ConnectHandlers();
    void OnClick(QPushButton* button, void (TMainForm::*handler)());
    // Shows a page of the work area above the others.
    static void ShowPage(QWidget* page);
    // The status line and the last file's name take the width of their text.
    void FitStaticText(QLabel* text);
    void SetStatusColour(const QColor& colour);
    // Every control the window owns, each after its parent.
    std::vector<QWidget*> AllControls() const;
    void ScaleControls(int32_t m, int32_t d);
    void ShowDeviceEnd(int leastDigits);
    // Opens the device list on the row chosen last, ready for the keyboard.
    void ShowDeviceList();
    // The device operations and the programmer search: while one runs,
    // whatever the operator does in the window is dropped.
    void RunDeviceOperation(void (DeviceOperations::*operation)());
    void FindProgrammer();
    // The buffer commands' lists and value field.
    void ConnectBufferChoices();
    LoadResult LoadNamedFile();
    LoadResult LoadOpenDialogFile(bool binary);
    void ShowFileProblem(const std::filesystem::path& path, const std::string& detail);
    void SaveSaveDialogFile(bool binary);
    // Start-up: the settings lines applied one by one, and the window put
    // where they say unless no screen would show it.
    void ApplySettingsFile();
    // Runs the calls handed over by other threads, unless a wait takes them.
    void TakeHandedOverCalls();
    // Puts the address last shown on the Address display.
    void ShowPendingAddress();
    void PlaceWindow(int32_t width, int32_t height, int32_t top, int32_t left);

    DialogSeam& Dialogs;
    // Calls handed over by other threads (the timer's tick), and the event
    // loop level of the wait that takes them itself (-1: none).
    MessageQueue HandedOver;
    int HandOverWaitLevel = -1;
    std::unique_ptr<QuennelCore> QCore;
    std::unique_ptr<EditorPage> BufferEditorPage;
    std::unique_ptr<CommandGuard> Guard;
    bool CloseWanted = false;
    bool ShutDownDone = false;
    bool Shown = false;
    bool StartUpBegun = false;
    // The real-time waits' refusal is in the result list, left in view.
    bool RealtimeRefusalShown = false;
    int DeviceRowHeight = 15;
    // The address shown last, not yet on the display.
    std::optional<std::string> PendingAddress;
};

// The window's caption: the program's title and its version.
std::string WindowCaption();

} // namespace quennel
