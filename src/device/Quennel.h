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
#include "link/RealtimeWaits.h"

namespace quennel {

class QuennelCore {
public:
    // backEnd, console and trace (when given) must outlive the core; the
    // real-time waits are taken from realtimeHost.
    QuennelCore(PortBackEnd& backEnd, OperatorConsole& console, BusTrace* trace = nullptr,
                RealtimeHost& realtimeHost = HostRealtime());
    QuennelCore(const QuennelCore&) = delete;
    QuennelCore& operator=(const QuennelCore&) = delete;

    // Takes the row's device: DeviceRow, DeviceEnd and DeviceClass.
    void SelectDevice(const CatalogueRow& row);

    // Ends a running pass at its next test of EndReached, and every pass
    // after it before its first cell. A wait or pulse in flight runs its
    // full time, so no fuse is left half blown.
    void StopOperation();
    // The window's close, asked from inside a running command's message
    // pump: the pass stops at its next cell and a settling or confirming
    // wait ends at once, but a programming pulse in flight runs its full
    // 10 ms and its closing latch writes. ShutDown follows once the command
    // has returned.
    void RequestClose();
    // The end of the program: the timer stops, the real-time waits are
    // dropped, and a found programmer is left idle and its port given back;
    // nothing touches the port after.
    void ShutDown();
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
    RealtimeWaits Realtime;
    DeviceOperations Operations;
};

} // namespace quennel
