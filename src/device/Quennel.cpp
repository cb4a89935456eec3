#include "device/Quennel.h"

#include "device/LatchValues.h"
#include "link/CrashIdle.h"

#include <vector>

namespace quennel {

QuennelCore::QuennelCore(PortBackEnd& backEnd, OperatorConsole& console, BusTrace* trace,
                         RealtimeHost& realtimeHost)
    : Port(backEnd, trace), Latches(State, Port, console), Timer(State, console),
      Detection(State, Latches, Port, Timer, console), Cycle(State, Latches, Timer, console),
      Frame(State, Cycle, Latches, console), Realtime(realtimeHost),
      Operations(State, Cycle, Frame, Timer, Realtime, console) {
    // The trace file is written in the waits, where the message thread has
    // time to spare, rather than by the next access, which may be in a pulse.
    if (trace)
        Timer.WhileWaiting = [trace] { trace->FlushIfDueSoon(); };
    // What a crash writes to a real port, prepared now: the idle state.
    std::vector<RegisterWrite> idle;
    for (const LatchStep& step : IdleSequence)
        LatchProtocol::AppendRegisterWrites(step, idle);
    SetCrashIdleWrites(idle);
}

void QuennelCore::SelectDevice(const CatalogueRow& row) {
    State.DeviceRow = row.Row;
    State.DeviceEnd = row.DeviceEnd;
    State.DeviceClass = row.DeviceClass;
}

void QuennelCore::StopOperation() {
    State.StopRequested = true;
    State.EndReached = StopEndCount;
}

void QuennelCore::RequestClose() {
    StopOperation();
    if (!State.PulseInFlight)
        State.DelayMs = 0;
}

void QuennelCore::ShutDown() {
    StopOperation();
    State.DelayMs = 0;
    Timer.ThreadedTimer1.SetEnabled(false);
    Realtime.DropAll();
    ReleasePort();
}

void QuennelCore::ReleasePort() {
    if (State.ProgrammerModel <= 0 || !State.PortOpen)
        return;
    // The idle state rewinds the pass counters; a stopped pass must not
    // look unfinished to the code it returns to.
    const int32_t endReached = State.EndReached;
    const int32_t address = State.CurrentAddress;
    Cycle.SetIdleState();
    State.EndReached = endReached;
    State.CurrentAddress = address;
    Latches.ClosePort();
}

} // namespace quennel
