#pragma once
// Something the program did on the bus that would harm or mislead a real
// programmer; collected by the simulated bus and programmer for tests.

#include <string>

namespace quennel {

struct SimulatedViolation {
    enum class Kind {
        ShortPulse,              // a programming pulse shorter than 10 ms
        PulseOutsideProgramming, // a programming pulse while the programmer was not set up for it
        ClosedRangeAccess,       // a register of the port touched while its range was not open
    };
    Kind What = Kind::ShortPulse;
    std::string Detail; // e.g. "pulse of 9.412 ms on cell 01A5 bit 3"
};

} // namespace quennel
