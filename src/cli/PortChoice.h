#pragma once
// The port --port names: "sim" for the simulated programmer, a standard
// port by its base (0x278, 0x378, 0x3BC), or any port the kernel lists, by
// its base (0xD010, a port card) or by its node (/dev/parport1).

#include "link/LinuxSystem.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quennel::cli {

struct PortChoice {
    bool Simulated = false;
    std::optional<uint16_t> Base; // nothing: search every port
};

// Case does not matter ("0xd010", "SIM"). On failure, the reason in error.
std::optional<PortChoice> ChoosePort(LinuxSystem& system, const std::string& name, std::string& error);

} // namespace quennel::cli
