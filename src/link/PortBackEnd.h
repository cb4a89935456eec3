#pragma once
// Byte-wide I/O on the machine's I/O bus, as the port-library layer needs it.
// Chosen once when the program starts: the simulated programmer, or the
// kernel's parallel-port device for real hardware.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quennel {

class PortBackEnd {
public:
    virtual ~PortBackEnd() = default;

    virtual uint8_t ReadByte(uint16_t address) = 0;
    virtual void WriteByte(uint16_t address, uint8_t value) = 0;
    // Why the last read or write failed ("parport1: control write failed:
    // No such device"), or empty when it went through. A failed read gives
    // 0xFF and a failed write reaches nothing; only a port's driver refuses.
    virtual std::string_view LastAccessFailure() const { return {}; }

    // Opens first..last for direct I/O. Returns false with a short reason
    // when the range exists but cannot be had (permissions, busy).
    virtual bool OpenRange(uint16_t first, uint16_t last, std::string& failure) = 0;
    // Gives first..last back; no direct I/O on it afterwards.
    virtual void CloseRange(uint16_t first, uint16_t last) = 0;

    // The base addresses of the printer ports the system lists (a card's
    // among them), in the system's order; none where it lists none.
    virtual std::vector<uint16_t> ListedPorts() const { return {}; }
};

} // namespace quennel
