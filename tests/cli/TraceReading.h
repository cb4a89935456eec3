#pragma once
// Reading a bus trace file as the programmer on 0x378 would see it: which
// latch took which byte when, and the programming pulses that followed.

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace quennel::test {

struct LatchedByte {
    int64_t Microseconds = 0;
    int Select = 0; // 0x0A, 0x09, 0x0B, 0x03, 0x02 or 0x01
    int Value = 0;
};

struct TracedPulse {
    int64_t OnMicroseconds = 0;
    int64_t OffMicroseconds = -1; // -1: still on when the trace ends
    int64_t Width() const { return OffMicroseconds - OnMicroseconds; }
};

// Each rising edge of the clock line (bit 2 of the control register) latches
// the data lines into the latch the select lines name.
inline std::vector<LatchedByte> LatchedBytes(const std::string& trace) {
    std::vector<LatchedByte> latched;
    std::istringstream lines(trace);
    std::string line;
    int data = 0;
    int control = 0;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        int64_t microseconds = 0;
        std::string kind, address, value;
        if (!(fields >> microseconds >> kind >> address >> value) || kind != "W")
            continue;
        const int byte = std::stoi(value, nullptr, 16);
        if (address == "0378") {
            data = byte;
        } else if (address == "037A") {
            if (!(control & 0x04) && (byte & 0x04))
                latched.push_back({microseconds, byte & 0x0B, data});
            control = byte;
        }
    }
    return latched;
}

// The programming supply is on while latch 01 holds bit 7 and not bit 2.
inline std::vector<TracedPulse> PulsesInTrace(const std::string& trace) {
    std::vector<TracedPulse> pulses;
    bool on = false;
    for (const LatchedByte& byte : LatchedBytes(trace)) {
        if (byte.Select != 0x01)
            continue;
        const bool nowOn = (byte.Value & 0x84) == 0x80;
        if (nowOn && !on)
            pulses.push_back({byte.Microseconds, -1});
        else if (!nowOn && on)
            pulses.back().OffMicroseconds = byte.Microseconds;
        on = nowOn;
    }
    return pulses;
}

} // namespace quennel::test
