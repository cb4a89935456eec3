#pragma once
// Why a printer port cannot be reached from this program, in words the
// operator can act on. The usual causes on a fresh machine are that the
// kernel has no port (the parport_pc driver is not loaded, or there is no
// printer port), that the ppdev driver which makes /dev/parportN is not
// loaded, and that the user is not in the group that owns /dev/parportN.

#include "link/LinuxSystem.h"
#include "link/ParportLookup.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace quennel {

struct PortAccessProblem {
    std::string Brief; // short, for the port library's failure text ("parport0: permission denied")
    std::string Line;  // the cause and the remedy in one line, for the operator
};

// Why the node of a port could not be opened; error is the errno of the open.
PortAccessProblem DescribeOpenFailure(LinuxSystem& system, const KernelParport& port, int error);

// Why the port cannot be had exclusively: the other drivers registered on it
// (the printer driver lp, another program through ppdev). Nothing when none is.
std::optional<PortAccessProblem> DescribeHeldPort(LinuxSystem& system, const KernelParport& port);

// Nothing when at least one of the ports at bases can be opened and has no
// other driver registered on it; otherwise the one line that says why none
// can be had (for the first of them that the kernel has). Opening a node
// claims nothing, so the check disturbs no port and no other program using one.
std::optional<std::string> FindPortAccessProblem(LinuxSystem& system, std::span<const uint16_t> bases);

} // namespace quennel
