#pragma once
// The command line of quennel-sim: the window over a simulated programmer.
// Parsed without a display, so that --help and --version answer anywhere.

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
    bool Unpowered = false;
    bool StuckFuses = false;
    bool NoEcr = false;
    bool AddressBit9Open = false;
    bool Help = false;
    bool Version = false;
};

// The faults the simulator can put on the bench, by their option names.
struct SimFault {
    const char* Name;
    const char* Description;
    bool SimOptions::*Flag;
};
const std::vector<SimFault>& SimFaults();

// Parses argv[1..]; false with a one-line reason on bad usage.
bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error);

// The text of --help.
std::string SimUsage();

} // namespace quennel
