#include "link/LatchProtocol.h"

namespace quennel {

namespace {
// Control register: C0 STROBE, C1 AUTOFD, C2 INIT (the latch clock), C3 SELECTIN.
constexpr uint8_t Clock = 0x04;
constexpr uint16_t EcrOffset = 0x402;
} // namespace

LatchProtocol::LatchProtocol(SharedState& state, NTPort& port, OperatorConsole& console)
    : S(state), Port(port), Console(console) {}

uint16_t LatchProtocol::EcrPort() const { return static_cast<uint16_t>(S.PortBase + EcrOffset); }

void LatchProtocol::WriteControl(uint8_t value) {
    if (S.PortOpen)
        Port.PortOut(S.ControlPort, value);
}

// The three writes of the raised clock are the only hold time the latch gets.
void LatchProtocol::WriteLatch(uint8_t select) {
    if (!S.PortOpen)
        return;
    Port.PortOut(S.PortBase, static_cast<uint8_t>(S.LatchValue & 0xFF));
    WriteControl(select);
    WriteControl(select | Clock);
    WriteControl(select | Clock);
    WriteControl(select | Clock);
    WriteControl(select);
    WriteControl(0x00);
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

// High nibble with the clock low, low nibble with it high; the port reports
// BUSY (status bit 7) inverted, so it is flipped back. Bits 3..0 are noise.
void LatchProtocol::ReadNibbles() {
    if (!S.PortOpen)
        return;
    WriteControl(0x00);
    WriteControl(0x00);
    WriteControl(0x00);
    uint8_t high = Port.PortIn(S.StatusPort);
    S.ReadValue = static_cast<uint8_t>((high ^ 0x80) & 0xF0);
    WriteControl(Clock);
    WriteControl(Clock);
    WriteControl(Clock);
    uint8_t low = Port.PortIn(S.StatusPort);
    S.ReadValue = static_cast<uint8_t>(S.ReadValue | (static_cast<uint8_t>(low ^ 0x80) >> 4));
    WriteControl(0x00);
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
    WriteControl(0x08);
    WriteControl(0x0C);
}

} // namespace quennel
