#include "link/NTPort.h"

#include <algorithm>
#include <cstring>

namespace quennel {

NTPort::NTPort(PortBackEnd& backEnd, BusTrace* trace, bool rangeNeedsOpening)
    : BackEnd(backEnd), Trace(trace), RangeNeedsOpening(rangeNeedsOpening) {}

void NTPort::SetFastMode(int32_t mode) {
    if (Trace)
        Trace->Call("SetFastMode", {static_cast<uint32_t>(mode)});
}

// The ECR is never a register the port's driver is asked for, so these
// two are never refused.
uint16_t NTPort::Inp(uint16_t address) {
    if (Trace)
        Trace->Call("Inp", {address}, {4});
    uint8_t value = 0;
    PortIn(address, value);
    return value;
}

void NTPort::Outp(uint16_t address, uint16_t value) {
    if (Trace)
        Trace->Call("Outp", {address, value}, {4, 2});
    PortOut(address, static_cast<uint8_t>(value));
}

bool NTPort::IsWinNT() {
    if (Trace)
        Trace->Call("IsWinNT");
    return RangeNeedsOpening;
}

void NTPort::EnablePorts(uint16_t first, uint16_t last) {
    if (Trace)
        Trace->Call("EnablePorts", {first, last}, {4, 4});
    Failure.clear();
    std::string reason;
    if (!BackEnd.OpenRange(first, last, reason))
        Failure = reason.empty() ? "port range not available" : reason;
}

void NTPort::DisablePorts(uint16_t first, uint16_t last) {
    if (Trace)
        Trace->Call("DisablePorts", {first, last}, {4, 4});
    BackEnd.CloseRange(first, last);
}

uint32_t NTPort::GetLastState(char* text) {
    if (Trace)
        Trace->Call("GetLastState");
    size_t length = std::min(Failure.size(), static_cast<size_t>(LastStateSize - 1));
    std::memcpy(text, Failure.data(), length);
    text[length] = '\0';
    return Failure.empty() ? 0 : 1;
}

bool NTPort::Checked(uint16_t address) {
    const std::string_view refusal = BackEnd.LastAccessFailure();
    if (refusal.empty())
        return true;
    RefusedAccess = refusal;
    if (Trace)
        Trace->Call("Refused", {address}, {4});
    return false;
}

bool NTPort::PortIn(uint16_t address, uint8_t& value) {
    value = BackEnd.ReadByte(address);
    if (Trace)
        Trace->Read(address, value);
    return Checked(address);
}

bool NTPort::PortOut(uint16_t address, uint8_t value) {
    BackEnd.WriteByte(address, value);
    if (Trace)
        Trace->Write(address, value);
    return Checked(address);
}

} // namespace quennel
