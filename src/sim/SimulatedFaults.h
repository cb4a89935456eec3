#pragma once
// The faults the simulated bench can be given, by the names both programs
// take ("unpowered", "data-stuck-0:3", "data-bridge:2:3"), and what each does
// to the simulated programmer and its part.

#include "sim/SimulatedProgrammer.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quennel {

struct SimulatedFault {
    std::string_view Name; // before any line numbers
    int Lines;             // line numbers that follow the name, each after a colon: 0, 1 or 2
    int HighestLine;       // the largest line number taken
    std::string_view Description;
    void (*Apply)(SimulatedProgrammer& programmer, const std::array<int, 2>& lines);
};

const std::vector<SimulatedFault>& SimulatedFaults();

// "data-bridge:N:M": the name as a usage text shows it.
std::string SimulatedFaultUsageName(const SimulatedFault& fault);

// One fault as named, with its line numbers.
struct SimulatedFaultChoice {
    const SimulatedFault* Fault = nullptr;
    std::array<int, 2> Lines{};

    void ApplyTo(SimulatedProgrammer& programmer) const { Fault->Apply(programmer, Lines); }
};

// False with a one-line reason when text names no fault or a line out of range.
bool ParseSimulatedFault(std::string_view text, SimulatedFaultChoice& choice, std::string& error);

} // namespace quennel
