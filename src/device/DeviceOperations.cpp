#include "device/DeviceOperations.h"

#include "buffer/IntegerText.h"
#include "device/FaultDiagnosis.h"
#include "device/LatchValues.h"

#include <algorithm>
#include <span>

namespace quennel {

namespace {
constexpr int32_t SettleBeforeVerifyMs = 75;
} // namespace

std::string BlankFaultLine(int32_t address, uint8_t found) {
    return HexDigits(static_cast<uint32_t>(address), 4) + "  EXPECTED-00 FOUND-" + HexDigits(found, 2);
}

std::string VerifyFaultLine(int32_t address, uint8_t expected, uint8_t found) {
    return HexDigits(static_cast<uint32_t>(address), 4) + "  EXPECTED-" + HexDigits(expected, 2) + " FOUND-" +
           HexDigits(found, 2);
}

DeviceOperations::DeviceOperations(SharedState& state, DeviceCycle& cycle, CommandFrame& frame,
                                   DelayTimer& timer, RealtimeWaits& realtime, OperatorConsole& console)
    : S(state), Cycle(cycle), Frame(frame), Timer(timer), Realtime(realtime), Console(console),
      Guard(state, cycle) {}

// A pass that ends by itself leaves EndReached at 1 (2 after the compare's
// own stop on the last cell); only a stop from outside reaches StopEndCount.
void DeviceOperations::RunPass(const std::function<void()>& cell) {
    Cycle.RunPass(cell);
    Stopped = S.EndReached >= StopEndCount;
}

// A cell whose read the port refused is not judged: its value came from nowhere.
void DeviceOperations::RunReadPass(void (DeviceOperations::*judge)()) {
    PassRead.fill(0);
    RunPass([this, judge] {
        Cycle.ReadCell();
        if (!S.PortFault.empty())
            return;
        PassRead[static_cast<size_t>(S.CurrentAddress)] = S.ReadValue;
        (this->*judge)();
    });
}

bool DeviceOperations::NoteIdenticalHalves(bool freshList) {
    constexpr size_t Half = BufferSize / 2;
    if (Stopped || LastPassAddress(S.DeviceEnd) != BufferSize - 1)
        return false;
    const bool blank = std::ranges::all_of(PassRead, [](uint8_t byte) { return byte == 0; });
    if (blank || !std::equal(PassRead.begin(), PassRead.begin() + Half, PassRead.begin() + Half))
        return false;
    if (freshList)
        Console.ClearResults();
    Console.ShowResults(true);
    Console.AddResult(IdenticalHalvesLine);
    return true;
}

// A pass ended by a refused port access says so when the frame unlocks.
void DeviceOperations::ShowStopped() {
    S.StatusFault = 1;
    if (S.PortFault.empty())
        Console.ShowStatus(StoppedCaption);
}

uint8_t DeviceOperations::BufferByte() const {
    return S.DataBuffer[static_cast<size_t>(S.CurrentAddress)];
}

void DeviceOperations::ShowDiagnosis(const std::array<uint8_t, BufferSize>& expected) {
    const size_t cells = static_cast<size_t>(LastPassAddress(S.DeviceEnd)) + 1;
    const bool known = S.DeviceRow >= 0 && S.DeviceRow < CatalogueRows;
    const CatalogueRow* row = known && Catalogue()[static_cast<size_t>(S.DeviceRow)].IsDevice
                                  ? &Catalogue()[static_cast<size_t>(S.DeviceRow)]
                                  : nullptr;
    for (const std::string& line :
         DiagnoseFaults(std::span(PassRead).first(cells), std::span(expected).first(cells),
                        DataBitsOfClass(S.DeviceClass), row))
        Console.AddResult(line);
    Console.ProcessMessages();
}

void DeviceOperations::BlankCell() {
    if (S.ReadValue == 0x00)
        return;
    Console.AddResult(BlankFaultLine(S.CurrentAddress, S.ReadValue));
    S.StatusFault = 1;
    Console.ProcessMessages();
}

void DeviceOperations::Blank_ChkClick() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    Console.ShowStatus("Checking to see if Device is erased....");
    Cycle.ReadSetup();
    Console.ClearResults();
    Console.ShowResults(true);
    RunReadPass(&DeviceOperations::BlankCell);
    if (Stopped) {
        ShowStopped();
    } else if (S.StatusFault == 1) {
        ShowDiagnosis({});
        Console.ShowStatus("Device is NOT Erased....");
    } else {
        Console.ShowStatus("Device is Erased....");
        Console.ShowResults(false);
    }
    Frame.UnlockControls();
}

// All eight bits of the buffer byte count, also for a 4-bit part.
void DeviceOperations::VerifyCell() {
    const uint8_t expected = BufferByte();
    if (expected == S.ReadValue)
        return;
    S.StatusFault = 1;
    Console.AddResult(VerifyFaultLine(S.CurrentAddress, expected, S.ReadValue));
    Console.ProcessMessages();
}

void DeviceOperations::VerifyDevice() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    Console.ShowStatus("Verifying Device to Buffer....");
    Console.ShowResults(true);
    Console.ClearResults();
    Cycle.ReadSetup();
    RunReadPass(&DeviceOperations::VerifyCell);
    if (Stopped) {
        ShowStopped();
    } else if (S.StatusFault == 1) {
        ShowDiagnosis(S.DataBuffer);
        Console.ShowStatus("Device Did NOT Verify to Buffer....");
    } else {
        Console.ShowStatus("Device Verified to Buffer....");
        Console.ShowResults(false);
    }
    // After a failed verify the diagnosis reads the halves with the rest.
    HalvesNoted = S.StatusFault == 0 && NoteIdenticalHalves(false);
    Frame.UnlockControls();
}

void DeviceOperations::Verify_EpromClick() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    VerifyDevice();
    Frame.UnlockControls();
}

void DeviceOperations::MoveCell() {
    S.DataBuffer[static_cast<size_t>(S.CurrentAddress)] = S.ReadValue;
}

void DeviceOperations::Move_EpromClick() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    Console.ShowStatus("Moving Device to Buffer....");
    Cycle.ReadSetup();
    RunReadPass(&DeviceOperations::MoveCell);
    const bool stopped = Stopped;
    if (!stopped)
        Console.ShowStatus("Device Has Been Moved to Buffer....");
    Frame.UpdateChecksum();
    // UpdateChecksum clears the fault flag with its own frame: a stopped
    // move is marked after it.
    if (stopped)
        ShowStopped();
    NoteIdenticalHalves(true);
    Frame.UnlockControls();
}

// The device can be programmed over when every bit that reads 1 is also 1 in
// the buffer byte (its low four bits for a 4-bit part).
void DeviceOperations::CompareCell() {
    uint8_t wanted = BufferByte();
    if (IsFourBitClass(S.DeviceClass))
        wanted &= 0x0F;
    if ((S.ReadValue | wanted) == wanted)
        return;
    S.EndReached = 1;
    S.StatusFault = 1;
}

void DeviceOperations::CompareClick() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    Console.ShowStatus("Comparing Device for Re-Progamablity....");
    Cycle.ReadSetup();
    RunReadPass(&DeviceOperations::CompareCell);
    if (Stopped)
        ShowStopped();
    else if (S.StatusFault == 1)
        Console.ShowStatus("Device CAN NOT be Reprogrammed....");
    else
        Console.ShowStatus("Device Can be Reprogrammed....");
    Frame.UnlockControls();
}

// After a stop from outside (the port may already be released) neither the
// idle state, the settling wait nor the verify pass is run: the caption says
// the operation stopped, never that the device was programmed.
void DeviceOperations::Program_EpromClick() {
    const RealtimeWaits::Scope realtime(Realtime);
    Frame.LockControls();
    Console.ShowStatus("Programming Device from Buffer....");
    Guard.Arm();
    Cycle.ProgramSetup();
    RunPass([this] { Cycle.ProgramCell(); });
    Guard.Disarm();
    if (Guard.Missed()) {
        // Stopped at once: no verify, whose list would only repeat the miss.
        S.StatusFault = 1;
        Console.ShowStatus(AddressBit9Caption);
        Console.ClearResults();
        Console.ShowResults(true);
        Console.AddResult(Guard.MissLine());
        Frame.UnlockControls();
        return;
    }
    if (!Stopped && S.PortOpen) {
        Cycle.SetIdleState();
        S.DelayMs = SettleBeforeVerifyMs;
        Timer.WaitDelay();
        Stopped = S.EndReached >= StopEndCount;
    }
    if (Stopped || !S.PortOpen) {
        Stopped = true;
        ShowStopped();
        Frame.UnlockControls();
        return;
    }
    VerifyDevice();
    if (Stopped || !S.PortFault.empty())
        return; // VerifyDevice has shown the stop or the port's refusal, and unlocked
    if (S.StatusFault == 1) {
        Console.ShowStatus("Device Did NOT Program....");
    } else {
        Console.ShowStatus("Device is Programmed....");
        if (!HalvesNoted)
            Console.ShowResults(false);
    }
}

} // namespace quennel
