#include "link/LatchProtocol.h"

#include <array>

namespace quennel {

namespace {
// Control register: C0 STROBE, C1 AUTOFD, C2 INIT (the latch clock), C3 SELECTIN.
constexpr uint8_t Clock = 0x04;
constexpr uint16_t EcrOffset = 0x402;

// The control writes that clock the data lines into the latch select names.
constexpr std::array<uint8_t, 6> LatchStrobe(uint8_t select) {
    const auto clocked = static_cast<uint8_t>(select | Clock);
    return {select, clocked, clocked, clocked, select, 0x00};
}
// The park step: control 08, then 0C, where it stays.
constexpr std::array<uint8_t, 2> Park{0x08, 0x0C};
constexpr uint8_t DataOffset = 0;
constexpr uint8_t ControlOffset = 2;
} // namespace

LatchProtocol::LatchProtocol(SharedState& state, NTPort& port, OperatorConsole& console)
    : S(state), Port(port), Console(console) {}

uint16_t LatchProtocol::EcrPort() const { return static_cast<uint16_t>(S.PortBase + EcrOffset); }

// Every register access of the protocol passes here. Once the port's driver
// has refused one, nothing more reaches the port but one idle state: a latch
// clocked after a lost data write would take whatever the lines held.
bool LatchProtocol::Allowed() const {
    return S.PortOpen && (Gate == Access::Open || Gate == Access::WritingIdle);
}

void LatchProtocol::NoteRefusal() {
    if (S.PortFault.empty()) {
        S.PortFault = Port.AccessFailure();
        S.EndReached = StopEndCount; // the pass ends at its next test
    }
    Gate = Gate == Access::WritingIdle ? Access::Shut : Access::IdleOwed;
}

bool LatchProtocol::Out(uint16_t address, uint8_t value) {
    if (!Allowed())
        return false;
    if (Port.PortOut(address, value))
        return true;
    NoteRefusal();
    return false;
}

bool LatchProtocol::In(uint16_t address, uint8_t& value) {
    if (!Allowed())
        return false;
    if (Port.PortIn(address, value))
        return true;
    NoteRefusal();
    return false;
}

void LatchProtocol::WriteRegister(uint16_t address, uint8_t value) {
    Out(address, value);
}

// The three writes of the raised clock are the only hold time the latch gets.
void LatchProtocol::WriteLatch(uint8_t select) {
    if (!Out(S.PortBase, static_cast<uint8_t>(S.LatchValue & 0xFF)))
        return;
    for (uint8_t control : LatchStrobe(select))
        if (!Out(S.ControlPort, control))
            return;
}

void LatchProtocol::Latch0A() { WriteLatch(static_cast<uint8_t>(LatchName::Latch0A)); }
void LatchProtocol::Latch09() { WriteLatch(static_cast<uint8_t>(LatchName::Latch09)); }
void LatchProtocol::Latch0B() { WriteLatch(static_cast<uint8_t>(LatchName::Latch0B)); }
void LatchProtocol::Latch03() { WriteLatch(static_cast<uint8_t>(LatchName::Latch03)); }
void LatchProtocol::Latch02() { WriteLatch(static_cast<uint8_t>(LatchName::Latch02)); }
void LatchProtocol::Latch01() { WriteLatch(static_cast<uint8_t>(LatchName::Latch01)); }

void LatchProtocol::WriteStep(const LatchStep& step) {
    if (step.Latch == LatchName::Park) {
        ParkControl();
        return;
    }
    S.LatchValue = step.Value;
    WriteLatch(static_cast<uint8_t>(step.Latch));
}

void LatchProtocol::WriteIdleState(std::span<const LatchStep> steps) {
    if (Gate == Access::IdleOwed)
        Gate = Access::WritingIdle;
    for (const LatchStep& step : steps)
        WriteStep(step);
    if (Gate == Access::WritingIdle) {
        Gate = Access::Shut;
        IdleReached = true;
    }
}

// High nibble with the clock low, low nibble with it high; the port reports
// BUSY (status bit 7) inverted, so it is flipped back. Bits 3..0 are noise.
// A refused access leaves the status as an empty bus would show it.
void LatchProtocol::ReadNibbles() {
    if (!S.PortOpen)
        return;
    uint8_t high = 0xFF, low = 0xFF;
    const uint16_t control = S.ControlPort;
    (void)(Out(control, 0x00) && Out(control, 0x00) && Out(control, 0x00) && In(S.StatusPort, high) &&
           Out(control, Clock) && Out(control, Clock) && Out(control, Clock) && In(S.StatusPort, low) &&
           Out(control, 0x00));
    S.ReadValue = static_cast<uint8_t>((high ^ 0x80) & 0xF0);
    S.ReadValue = static_cast<uint8_t>(S.ReadValue | (static_cast<uint8_t>(low ^ 0x80) >> 4));
}

void LatchProtocol::OpenPort() {
    Port.SetFastMode(0);
    S.SavedEcr = static_cast<uint8_t>(Port.Inp(EcrPort()) & 0xFF);
    Port.Outp(EcrPort(), 0x00); // ECR mode 000: standard mode
    if (Port.IsWinNT()) {
        Port.SetFastMode(FastModeOn);
        Port.EnablePorts(S.PortBase, static_cast<uint16_t>(S.PortBase + 2));
        char text[LastStateSize] = {};
        if (Port.GetLastState(text) != 0)
            Console.ShowMessageBox({MessageBoxRequest::Kind::Plain, "", std::string("Error:") + text, {}, {}});
    }
    S.PortOpen = true;
    S.PortFault.clear();
    Gate = Access::Open;
    IdleReached = false;
}

void LatchProtocol::ClosePort() {
    S.LatchValue = 0;
    Latch03();
    ParkControl();
    if (Port.IsWinNT())
        Port.DisablePorts(S.PortBase, static_cast<uint16_t>(S.PortBase + 2));
    S.PortOpen = false;
    Port.SetFastMode(0);
    Port.Outp(EcrPort(), S.SavedEcr);
}

void LatchProtocol::InitLatches() {
    S.LatchValue = 0x7F;
    Latch02();
    S.LatchValue = 0x62;
    Latch01();
    S.LatchValue = 0x20;
    Latch0B();
    S.LatchValue = 0x00;
    Latch09();
    S.LatchValue = 0x00;
    Latch03();
    ParkControl();
}

void LatchProtocol::ParkControl() {
    if (Out(S.ControlPort, Park[0]))
        Out(S.ControlPort, Park[1]);
}

void LatchProtocol::AppendRegisterWrites(const LatchStep& step, std::vector<RegisterWrite>& writes) {
    if (step.Latch == LatchName::Park) {
        for (uint8_t control : Park)
            writes.push_back({ControlOffset, control});
        return;
    }
    writes.push_back({DataOffset, step.Value});
    for (uint8_t control : LatchStrobe(static_cast<uint8_t>(step.Latch)))
        writes.push_back({ControlOffset, control});
}

} // namespace quennel
