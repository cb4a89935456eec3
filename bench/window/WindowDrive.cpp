#include "window/WindowDrive.h"

#include "console/MainForm.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace quennel::bench {

namespace {

// Longer than any start-up: the search's 300 ms pause and the window's own.
constexpr int StartUpLimitMs = 20000;

} // namespace

WindowDrive::WindowDrive() : PreviousFolder(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "window-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a scratch folder in " +
                                 std::filesystem::temp_directory_path().string());
    Scratch = pattern;
    std::filesystem::current_path(Scratch);
}

// The window goes first (its close writes the settings file into the
// scratch folder), then the folder.
WindowDrive::~WindowDrive() {
    Form.reset();
    std::error_code ignored;
    std::filesystem::current_path(PreviousFolder, ignored);
    std::filesystem::remove_all(Scratch, ignored);
}

// Queued to the application object, so that a call posted after the
// window has gone still runs (and finds its record alive).
void WindowDrive::Post(std::function<void()> call) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(call), Qt::QueuedConnection);
}

// Shown, the window asks for the focus; its first activation runs the
// start-up (the search, the settings file, the device list). It is ready
// when that has returned with the programmer found and the commands enabled.
// The loop below is the application's own, run here until then.
QuennelCore& WindowDrive::StartUp(PortBackEnd& bus, BusTrace* trace) {
    Form = std::make_unique<TMainForm>(bus, Dialogs, trace);
    Form->show();
    QTimer wake; // so that the loop below looks at the clock when nothing happens
    wake.start(10);
    const QDeadlineTimer limit(StartUpLimitMs);
    const auto ready = [this] {
        return Form->State().ProgrammerModel > 0 && Form->isEnabled() && Form->Program_Eprom->isEnabled();
    };
    while (!ready()) {
        if (limit.hasExpired())
            throw std::runtime_error("the window was not ready for commands after its start-up");
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return Form->Core();
}

// The Device button opens the list; a row chosen there (as a click on it
// delivers it) applies the device and shows its seating prompt.
void WindowDrive::ChooseDevice(const CatalogueRow& row) {
    Click(Form->Device);
    if (Form->Device_Box->isHidden())
        throw std::runtime_error("the Device button did not open the device list");
    Form->Device_Box->setCurrentRow(row.Row);
    Form->Deliver([this] { Form->Device_BoxClick(); });
    if (Form->Device->text().toStdString() != row.Caption)
        throw std::runtime_error("the window did not take the device " + std::string(row.Caption));
}

void WindowDrive::Program() {
    Click(Form->Program_Eprom);
}

void WindowDrive::MoveDevice() {
    Click(Form->Move_Eprom);
}

// The close box: the window leaves the programmer idle, gives the port back
// and writes its settings file.
void WindowDrive::Finish() {
    Form->close();
    if (Form->isVisible())
        throw std::runtime_error("the window did not close");
}

void WindowDrive::Click(QPushButton* button) {
    if (!button->isEnabled() || !button->isVisible())
        throw std::runtime_error("the button " + button->objectName().toStdString() + " cannot be clicked");
    button->click();
}

} // namespace quennel::bench
