#pragma once
// The window on Qt's offscreen platform over a simulated programmer at
// 0x378 (or none), with its dialogs answered by the test. The window is shown
// but its start-up is left to the test. The process works in a folder of the
// rig's own, where the start-up looks for its settings file and the close
// writes it.

#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "console/MainForm.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeRealtimeHost.h"

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace quennel::test {

// The status line's colours.
inline const QColor Yellow(255, 255, 0);
inline const QColor Lime(0, 255, 0);
inline const QColor Red(255, 0, 0);

// The sixteen command buttons in the order the frame disables them.
inline const std::vector<const char*> SixteenButtons{
    "Program_Eprom", "Verify_Eprom", "Move_Eprom", "Blank_Chk", "Compare", "Chk_Sum_But",
    "Start_Add",     "Save_But",     "Load_But",   "File_But",  "End_Add", "Device",
    "Help_1",        "Scale",        "Edit",       "Fill"};

class WindowRig {
public:
    explicit WindowRig(bool programmerAttached = true);
    ~WindowRig();

    TMainForm& Form() { return *Window; }
    SharedState& State() { return Window->State(); }

    template <typename Control> Control* Find(const char* name) {
        auto* control = Window->findChild<Control*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // Shown within the window (the window itself being shown).
    bool Visible(const char* name) { return !Find<QWidget>(name)->isHidden(); }
    bool Enabled(const char* name) { return Find<QWidget>(name)->isEnabled(); }
    std::string Text(const char* name);
    QColor StatusColour();

    // What the window does when it is first activated, and a click on a
    // button or the status line by the mouse.
    void StartUp();
    void Click(const char* name);
    // Chooses a row of the device list with the mouse.
    void ChooseDeviceRow(int row);
    // Asks the window to close, as its close box does, once the simulated
    // part has seen this many pulses and one is on.
    void CloseDuringPulse(size_t pulses);
    // After the port was given back only port-library calls and the ECR
    // (outside the range) appear on the bus.
    void ExpectNothingAfterTheRelease();

    // The current directory while the rig lives.
    ScratchFolder Folder;
    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    ScriptedDialogs Dialogs;
    // The real-time waits' kernel: granting everything unless a test says.
    FakeRealtimeHost Realtime;

private:
    QString PreviousDirectory;
    std::unique_ptr<TMainForm> Window;
    std::unique_ptr<QTimer> Closer;
};

} // namespace quennel::test
