#pragma once
// The window's own code path: a TMainForm with its own core and threaded
// timer, started by its first activation, its device chosen in its list and
// its commands run by clicking its buttons, all inside Qt's event loop.
// The window reads and writes its settings file in the current directory,
// so the drive gives it a scratch folder of its own for its life.

#include "support/BenchDrive.h"
#include "window/OperatorAnswers.h"

#include <filesystem>
#include <memory>

class QPushButton;

namespace quennel {
class TMainForm;
}

namespace quennel::bench {

class WindowDrive : public BenchDrive {
public:
    WindowDrive();
    ~WindowDrive() override;
    WindowDrive(const WindowDrive&) = delete;
    WindowDrive& operator=(const WindowDrive&) = delete;

    std::string Name() const override { return "window"; }
    void Post(std::function<void()> call) override;
    QuennelCore& StartUp(PortBackEnd& bus, BusTrace* trace) override;
    std::string StartUpName() const override { return "window"; }
    void ChooseDevice(const CatalogueRow& row) override;
    void Program() override;
    void MoveDevice() override;
    void Finish() override;

    const OperatorAnswers& Answers() const { return Dialogs; }

private:
    // A mouse click's effect: the button's clicked signal, which the window
    // delivers to its handler; a disabled button is an error of the run.
    void Click(QPushButton* button);

    std::filesystem::path PreviousFolder;
    std::filesystem::path Scratch;
    OperatorAnswers Dialogs;
    std::unique_ptr<TMainForm> Form;
};

} // namespace quennel::bench
