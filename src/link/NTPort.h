#pragma once
// The port-library layer: the few calls the program makes to reach the
// printer-port registers (fast mode, ECR access, opening the port range and
// its failure text), plus the direct byte I/O of the latch routines. It sits
// on a byte-I/O back-end chosen when the program starts, and writes every
// call and register access to the bus trace when one is attached.

#include <cstdint>
#include <string>

#include "link/BusTrace.h"
#include "link/PortBackEnd.h"

namespace quennel {

inline constexpr int LastStateSize = 30; // GetLastState's buffer, terminating zero included
inline constexpr int32_t FastModeOn = -1; // TRUE as the program passes it: all bits set

class NTPort {
public:
    // rangeNeedsOpening false: the registers are reachable without opening
    // the range (the 9x family's way); IsWinNT then answers false.
    explicit NTPort(PortBackEnd& backEnd, BusTrace* trace = nullptr, bool rangeNeedsOpening = true);

    void SetFastMode(int32_t mode);
    uint16_t Inp(uint16_t address);
    void Outp(uint16_t address, uint16_t value);
    // True where the port range needs opening (always so on Linux), as on the NT family.
    bool IsWinNT();
    void EnablePorts(uint16_t first, uint16_t last);
    void DisablePorts(uint16_t first, uint16_t last);
    // Non-zero after a failure of the preceding calls; text gets at most 29
    // characters and a terminating zero.
    uint32_t GetLastState(char* text);

    // Direct byte I/O on an opened range. False when the port's driver
    // refused the access, the reason then in AccessFailure(); a refused read
    // gives 0xFF. The trace shows the refusal after the access.
    bool PortIn(uint16_t address, uint8_t& value);
    bool PortOut(uint16_t address, uint8_t value);
    const std::string& AccessFailure() const { return RefusedAccess; }

    // The printer ports the system lists, by base, in its order: where the
    // search looks after the standard three.
    std::vector<uint16_t> ListedPorts() const { return BackEnd.ListedPorts(); }

    void AttachTrace(BusTrace* trace) { Trace = trace; }

private:
    PortBackEnd& BackEnd;
    BusTrace* Trace;
    bool RangeNeedsOpening;
    std::string Failure;       // reason of the last failed call, empty after success
    std::string RefusedAccess; // reason of the last refused byte access

    bool Checked(uint16_t address);
};

} // namespace quennel
