#pragma once
// The five things the operator does with a device: blank check, verify
// against the buffer, read into the buffer, the program-over compare, and
// programming followed by a full verify. Each is one pass over the cells
// 0..DeviceEnd, framed by LockControls and UnlockControls, and reports
// through the status line, its fault flag and the result list.

#include "core/OperatorConsole.h"
#include "core/SharedState.h"
#include "device/AddressBit9Guard.h"
#include "device/CommandFrame.h"
#include "device/DeviceCycle.h"
#include "link/DelayTimer.h"
#include "link/RealtimeWaits.h"

#include <array>
#include <functional>
#include <string>

namespace quennel {

// The caption of a pass that was ended from outside (a close, Ctrl-C)
// before its last cell: its verdict would rest on cells never looked at.
inline constexpr const char* StoppedCaption = "Operation Stopped....";

// "001A  EXPECTED-00 FOUND-0F"
std::string BlankFaultLine(int32_t address, uint8_t found);
// "001A  EXPECTED-3F FOUND-0F"
std::string VerifyFaultLine(int32_t address, uint8_t expected, uint8_t found);

class DeviceOperations {
public:
    // Each operation holds realtime for its whole length.
    DeviceOperations(SharedState& state, DeviceCycle& cycle, CommandFrame& frame, DelayTimer& timer,
                     RealtimeWaits& realtime, OperatorConsole& console);

    void Blank_ChkClick();
    // The verify pass; its verdict is left in StatusFault (1: a mismatch).
    void VerifyDevice();
    void Verify_EpromClick();
    void Move_EpromClick();
    void CompareClick();
    void Program_EpromClick();

    // True when the last operation's pass was ended from outside.
    bool WasStopped() const { return Stopped; }

private:
    // Runs cell over the device and notes whether the pass was cut short.
    void RunPass(const std::function<void()>& cell);
    // Reads each cell and judges it, unless the port refused the read.
    void RunReadPass(void (DeviceOperations::*judge)());
    void BlankCell();
    void VerifyCell();
    void MoveCell();
    void CompareCell();
    uint8_t BufferByte() const;
    void ShowStopped();
    // After a whole read of a 1k x 8 part whose halves came back the same
    // and not blank: the line that says address bit 9 may not reach it (on
    // a fresh result list when asked). True when it was added.
    bool NoteIdenticalHalves(bool freshList);
    // The diagnosis of a failed blank check or verify, after its fault list.
    void ShowDiagnosis(const std::array<uint8_t, BufferSize>& expected);

    SharedState& S;
    DeviceCycle& Cycle;
    CommandFrame& Frame;
    DelayTimer& Timer;
    RealtimeWaits& Realtime;
    OperatorConsole& Console;
    AddressBit9Guard Guard;
    bool Stopped = false;
    bool HalvesNoted = false;
    // Every cell the last read pass read: for the diagnosis of a failed
    // blank check or verify, and the halves of a 1k x 8 part.
    std::array<uint8_t, BufferSize> PassRead{};
};

} // namespace quennel
