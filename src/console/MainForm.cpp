#include "console/MainForm.h"

#include "buffer/IntegerText.h"
#include "console/EditorPage.h"
#include "console/QtDialogs.h"
#include "console/RtkitBroker.h"
#include "console/logic/HelpFileLocation.h"
#include "link/Detection.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <exception>
#include <utility>

namespace quennel {

namespace {

const QColor StatusBusy(255, 255, 0);
const QColor StatusPassed(0, 255, 0);
const QColor StatusFailed(255, 0, 0);

constexpr int DesignWidth = 662;
constexpr int DesignHeight = 476;

} // namespace

std::string WindowCaption() {
    return std::string(ProgramTitle) + " " + QUENNEL_VERSION;
}

TMainForm::TMainForm(PortBackEnd& backEnd, DialogSeam& dialogs, BusTrace* trace, RealtimeHost& realtimeHost)
    : Dialogs(dialogs) {
    setObjectName("MainForm");
    HandedOver.OnPost = [this] {
        QMetaObject::invokeMethod(
            this, [this] { TakeHandedOverCalls(); }, Qt::QueuedConnection);
    };
    ProgramDir = QCoreApplication::applicationDirPath().toStdString();
    setWindowTitle(QString::fromStdString(WindowCaption()));
    CreateControls();
    resize(DesignWidth, DesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(DesignWidth / 2, DesignHeight / 2));
    QCore = std::make_unique<QuennelCore>(backEnd, *this, trace, realtimeHost);
    QCore->Realtime.AskBroker = AskRtkitForRealtime;
    QCore->Realtime.OnRefused = [this](const std::string& line) {
        AddResult(line);
        RealtimeRefusalShown = true;
    };
    Guard = std::make_unique<CommandGuard>(*this);
    // A close asked for during a handler is carried out once it has returned.
    Guard->AfterHandler = [this] {
        if (CloseWanted)
            QMetaObject::invokeMethod(
                this, [this] { close(); }, Qt::QueuedConnection);
    };
    ConnectHandlers();
    FormCreate();
}

// The core goes first: its timer may still hand a tick to this window.
TMainForm::~TMainForm() {
    QCore.reset();
    Guard.reset();
}

void TMainForm::OnClick(QPushButton* button, void (TMainForm::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { Deliver([this, handler] { (this->*handler)(); }); });
}

void TMainForm::ConnectHandlers() {
    // The buffer commands.
    OnClick(Chk_Sum_But, &TMainForm::Chk_Sum_ButClick);
    OnClick(Fill, &TMainForm::FillClick);
    OnClick(File_But, &TMainForm::File_ButClick);
    OnClick(Load_But, &TMainForm::Load_ButClick);
    OnClick(Save_But, &TMainForm::Save_ButClick);
    ConnectBufferChoices();

    // The buffer editor.
    BufferEditorPage = std::make_unique<EditorPage>(*this);
    OnClick(Edit, &TMainForm::EditClick);

    // The device operations and the window's own.
    OnClick(Program_Eprom, &TMainForm::Program_EpromClick);
    OnClick(Blank_Chk, &TMainForm::Blank_ChkClick);
    OnClick(Verify_Eprom, &TMainForm::Verify_EpromClick);
    OnClick(Move_Eprom, &TMainForm::Move_EpromClick);
    OnClick(Compare, &TMainForm::CompareClick);
    OnClick(Device, &TMainForm::DeviceClick);
    OnClick(Help_1, &TMainForm::Help_1Click);
    OnClick(Scale, &TMainForm::ScaleClick);
    StaticText3->OnClick = [this] { Deliver([this] { StaticText3Click(); }); };
    connect(Device_Box, &QListWidget::itemClicked, this, [this] { Deliver([this] { Device_BoxClick(); }); });
    Device_Box->installEventFilter(this);
}

// A choice in the device list is made with a click, or with Enter on the
// row the arrow keys moved to.
bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Device_Box && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Deliver([this] { Device_BoxClick(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool TMainForm::Deliver(const std::function<void()>& handler, CommandGuard::WhenBusy whenBusy) {
    return Guard->Run(
        [this, handler] {
            try {
                handler();
            } catch (const std::exception& error) {
                ShowErrorReport(error.what());
            }
            ShowPendingAddress();
        },
        whenBusy);
}

void TMainForm::ShowErrorReport(const std::string& message) {
    Dialogs.ShowBox({MessageBoxRequest::Kind::Error, ProgramTitle, ErrorReportText(message), {}, {}});
}

void TMainForm::FormCreate() {
    // The file dialogs open in the current directory until a file is chosen.
    OpenDialog1 = {"Open", "Bin|*.Bin|Hex|*.Hex|All|*.*", 1, ".Bin", "", "", true, false};
    SaveDialog1 = {"Save As", "Bin|*.Bin|Hex|*.Hex|All|*.*", 1, "Bin", "", "", false, true};
    Device->setText("No Device");
    Memo1->clear();
    ProcessMessages();
}

void TMainForm::LockControls() {
    Core().Frame.LockControls();
}

void TMainForm::UnlockControls() {
    Core().Frame.UnlockControls();
}

void TMainForm::StaticText3Click() {
    if (State().ProgrammerModel == 0) {
        Memo1->clear();
        setEnabled(false);
        FindProgrammer();
        TellPortAccessProblem();
        if (State().ProgrammerModel > 0) {
            ShowStatus(ProgrammerCaption(State()));
            if (Device->text() == "No Device")
                ShowDeviceList();
        }
        Memo1->hide();
        setEnabled(true);
    }
    UnlockControls();
}

void TMainForm::FindProgrammer() {
    Guard->DeviceCommandStarted();
    Core().Detection.FindProgrammer();
}

void TMainForm::TellPortAccessProblem() {
    if (State().ProgrammerModel > 0)
        return;
    if (const std::string& refusal = Core().Detection.Refusal(); !refusal.empty()) {
        ShowStatus(PortFaultCaption(refusal));
        return;
    }
    if (!PortAccessProblem)
        return;
    if (const std::optional<std::string> problem = PortAccessProblem())
        ShowStatus(*problem);
}

void TMainForm::Help_1Click() {
    UnlockControls();
    Memo1->hide();
    const std::filesystem::path currentDir = QDir::currentPath().toStdString();
    std::vector<std::string> lines;
    bool read = false;
    for (const std::filesystem::path& candidate : HelpFileCandidates(currentDir, ProgramDir)) {
        if ((read = ReadHelpLines(candidate, lines)))
            break;
    }
    if (!read)
        return;
    Help1->clear();
    QString text;
    for (const std::string& line : lines)
        text += QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size())) + '\n';
    text.chop(1);
    Help1->setPlainText(text);
    ShowPage(Help1);
}

void TMainForm::RunDeviceOperation(void (DeviceOperations::*operation)()) {
    Guard->DeviceCommandStarted();
    (Core().Operations.*operation)();
}

void TMainForm::Program_EpromClick() {
    RunDeviceOperation(&DeviceOperations::Program_EpromClick);
}

void TMainForm::Blank_ChkClick() {
    RunDeviceOperation(&DeviceOperations::Blank_ChkClick);
}

void TMainForm::Verify_EpromClick() {
    RunDeviceOperation(&DeviceOperations::Verify_EpromClick);
}

void TMainForm::Move_EpromClick() {
    RunDeviceOperation(&DeviceOperations::Move_EpromClick);
}

void TMainForm::CompareClick() {
    RunDeviceOperation(&DeviceOperations::CompareClick);
}

// A close that arrives in the middle of a command (inside its message pump)
// is not carried out there: the command is asked to stop, ends after the
// cell or the pulse in hand, and the close follows as soon as it has
// returned. A pulse in flight thereby keeps its full width, and nothing
// touches the port after it has been given back.
void TMainForm::closeEvent(QCloseEvent* event) {
    if (Guard->HandlerRunning()) {
        CloseWanted = true;
        Core().RequestClose();
        event->ignore();
        return;
    }
    // The shutdown is the last command: nothing the operator does while it
    // pumps its messages starts another on a port already given back.
    Guard->Run([this] {
        Guard->DeviceCommandStarted();
        FormCloseQuery();
    });
    event->accept();
}

void TMainForm::ShowPage(QWidget* page) {
    page->show();
    page->raise();
}

void TMainForm::ShowStatus(const std::string& text) {
    StaticText3->setText(QString::fromStdString(text));
    FitStaticText(StaticText3);
}

void TMainForm::ClearResults() {
    Memo1->clear();
}

void TMainForm::ShowResults(bool visible) {
    if (visible)
        ShowPage(Memo1);
    else
        Memo1->hide();
}

void TMainForm::AddResult(const std::string& line) {
    Memo1->appendPlainText(QString::fromStdString(line));
}

// A pass shows every cell's address, and the button's caption costs tens of
// microseconds on cold caches: within a programming pass that comes between
// a tick and the next pulse's wait, once per cell. So the caption is put on
// the button at the next pump, the next wait (where the message thread would
// sleep anyway) or the end of the command, whichever comes first: before
// anything can paint it or read it.
void TMainForm::ShowAddress(const std::string& text) {
    PendingAddress = text;
}

void TMainForm::ShowPendingAddress() {
    if (!PendingAddress)
        return;
    Address->setText(QString::fromStdString(*PendingAddress));
    PendingAddress.reset();
}

void TMainForm::ShowChecksum(const std::string& caption) {
    Chk_Sum_But->setText(QString::fromStdString(caption));
}

// The sixteen command buttons in the frame's order; the address display
// is not one of them. A device list the start-up left open closes: no row
// of it may change the device under a command.
void TMainForm::LockCommands() {
    for (QPushButton* button :
         {Program_Eprom, Verify_Eprom, Move_Eprom, Blank_Chk, Compare, Chk_Sum_But, Start_Add, Save_But,
          Load_But, File_But, End_Add, Device, Help_1, Scale, Edit, Fill})
        button->setEnabled(false);
    Device_Box->hide();
    Memo1->hide();
    Help1->hide();
    SetStatusColour(StatusBusy);
}

void TMainForm::UnlockCommands(bool programmerFound, bool fault) {
    if (programmerFound) {
        for (QPushButton* button : {Program_Eprom, Verify_Eprom, Move_Eprom, Blank_Chk, Compare})
            button->setEnabled(true);
    }
    for (QPushButton* button :
         {Chk_Sum_But, Start_Add, Save_But, Load_But, File_But, End_Add, Device, Help_1, Scale, Edit, Fill})
        button->setEnabled(true);
    Help1->hide();
    FillBox->hide();
    Fill_Edit->hide();
    File_Type->hide();
    SetStatusColour(fault ? StatusFailed : StatusPassed);
}

void TMainForm::ShowMessageBox(const MessageBoxRequest& box) {
    Dialogs.ShowBox(box);
}

// Pending messages are handled here, the window's repaint among them, so
// that a new fault line is on view before the pass goes on.
void TMainForm::ProcessMessages() {
    ShowPendingAddress();
    const CommandGuard::Pump pump(*Guard);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    HandedOver.ProcessMessages();
}

// A call handed over from another thread (the timer's tick, which ends the
// wait) is taken here once Qt's dispatch has returned, not inside it: what
// Qt does after an event costs some 20 microseconds on cold caches, which
// would come after the tick, on every programming pulse, and before the
// pass goes on. Woken by the call's arrival, the dispatch returns ahead of
// the tick's due time, and the tick itself waits for that time.
void TMainForm::WaitForMessages() {
    ShowPendingAddress();
    const int outerLevel = HandOverWaitLevel;
    HandOverWaitLevel = thread()->loopLevel();
    {
        const CommandGuard::Pump pump(*Guard);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    HandOverWaitLevel = outerLevel;
    HandedOver.ProcessMessages();
}

// The call runs in a wait, a pump, a modal box's loop or the application's
// own loop, whichever comes first.
void TMainForm::PostToMessageThread(std::function<void()> call) {
    HandedOver.Post(std::move(call));
}

// The wake-up queued with a handed-over call: the wait that it wakes takes
// the call itself once its dispatch has returned; any other loop runs it here.
void TMainForm::TakeHandedOverCalls() {
    if (HandOverWaitLevel >= 0 && HandOverWaitLevel == thread()->loopLevel())
        return;
    HandedOver.ProcessMessages();
}

} // namespace quennel
