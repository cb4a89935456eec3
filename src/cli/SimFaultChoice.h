#pragma once
// The faults --sim-fault can put on the simulated programmer, by name: one
// table, which the option's check, its help and the run all read.

#include "sim/SimulatedProgrammer.h"

#include <span>
#include <string>

namespace quennel::cli {

struct SimFaultChoice {
    const char* Name;
    const char* Description;
    void (*Apply)(SimulatedProgrammer& programmer);
};

std::span<const SimFaultChoice> SimFaultChoices();

// Puts the named fault on programmer; a name the table lacks changes nothing.
void ApplySimFault(const std::string& name, SimulatedProgrammer& programmer);

} // namespace quennel::cli
