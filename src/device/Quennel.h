#pragma once
// The program object: everything the core needs for the program's life, put
// together over one byte-I/O back-end and shown through one console. The
// command line and the window each build one with their own console.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "device/Catalogue.h"
#include "device/CommandFrame.h"
#include "device/DeviceCycle.h"
#include "device/DeviceOperations.h"
#include "link/BusTrace.h"
#include "link/DelayTimer.h"
#include "link/Detection.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "link/PortBackEnd.h"

namespace quennel {

class QuennelCore {
public:
    // backEnd, console and trace (when given) must outlive the core.
    QuennelCore(PortBackEnd& backEnd, OperatorConsole& console, BusTrace* trace = nullptr);
    QuennelCore(const QuennelCore&) = delete;
    QuennelCore& operator=(const QuennelCore&) = delete;

    // Takes the row's device: DeviceRow, DeviceEnd and DeviceClass.
    void SelectDevice(const CatalogueRow& row);

    // Ends a running pass at its next test of EndReached. A wait or pulse
    // in flight runs its full time, so no fuse is left half blown.
    void StopOperation();
    // What the window's close does: the pass stops, a running wait ends at
    // once, the timer stops, and a found programmer's port is released
    // (whatever remains of a pulse sequence is dropped).
    void CloseDown();
    // Leaves a found programmer idle and gives the port back; nothing
    // touches the port afterwards. A pass stopped before stays stopped.
    void ReleasePort();

    // Construction order matters: each part refers to those above it.
    SharedState State;
    NTPort Port;
    LatchProtocol Latches;
    DelayTimer Timer;
    ProgrammerDetection Detection;
    DeviceCycle Cycle;
    CommandFrame Frame;
    DeviceOperations Operations;
};

} // namespace quennel
