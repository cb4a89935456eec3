#include "cli/SimFaultChoice.h"

#include <array>

namespace quennel::cli {

namespace {

constexpr std::array<SimFaultChoice, 1> Faults{{
    {"a9-open", "address bit 9 never reaches the part: a 1k x 8 part's upper half is its lower half",
     [](SimulatedProgrammer& programmer) { programmer.AddressBit9Open = true; }},
}};

} // namespace

std::span<const SimFaultChoice> SimFaultChoices() {
    return Faults;
}

void ApplySimFault(const std::string& name, SimulatedProgrammer& programmer) {
    for (const SimFaultChoice& fault : Faults)
        if (name == fault.Name)
            fault.Apply(programmer);
}

} // namespace quennel::cli
