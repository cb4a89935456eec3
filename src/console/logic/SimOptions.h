#pragma once
// The command line of quennel-sim: the window over a simulated programmer.
// Parsed without a display, so that --help and --version answer anywhere.

#include "sim/SimulatedFaults.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quennel {

// The simulated programmer's port unless --base names another.
inline constexpr uint16_t DefaultSimBase = 0x378;

struct SimOptions {
    std::string ChipFile = "quennel-sim-chip.bin";
    int Model = 2;
    uint16_t Base = DefaultSimBase; // where the programmer sits, a port the system lists
    bool Absent = false;
    std::string TraceFile;
    std::vector<SimulatedFaultChoice> Faults; // in the order given
    bool Help = false;
    bool Version = false;
};

// Parses argv[1..]; false with a one-line reason on bad usage.
bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error);

// The text of --help.
std::string SimUsage();

} // namespace quennel
