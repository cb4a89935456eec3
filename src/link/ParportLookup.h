#pragma once
// Which of the kernel's parallel ports sits at an I/O address. The parport
// driver lists every port it manages under /proc/sys/dev/parport/parportN;
// the first number in that directory's base-addr entry is the port's base
// address (decimal), and /dev/parportN is the same port's ppdev node.

#include "link/LinuxSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quennel {

inline constexpr const char* ParportProcDirectory = "/proc/sys/dev/parport";

struct KernelParport {
    int Number = 0;         // N of parportN
    unsigned long Base = 0; // its base address, as the kernel reports it

    std::string Name() const;          // parportN
    std::string DevicePath() const;    // /dev/parportN
    std::string ProcDirectory() const; // /proc/sys/dev/parport/parportN
};

// The first number of a base-addr entry ("888\t1912\n" gives 888).
std::optional<unsigned long> ParseBaseAddress(std::string_view text);

// Every port the kernel reports, in number order. Entries that cannot be
// read or make no sense are passed over.
std::vector<KernelParport> ListParports(LinuxSystem& system);

// The bases of those ports, in number order; a base beyond the I/O space is left out.
std::vector<uint16_t> ListParportBases(LinuxSystem& system);

// The lowest-numbered port the kernel reports at base; nothing when none is.
std::optional<KernelParport> FindParport(LinuxSystem& system, uint16_t base);

// The drivers registered on the port (lp0 for the printer driver, ppdevN for
// a program using /dev/parportN), as the kernel lists them under the port's
// devices entry; empty when none is or the kernel does not say. A driver is
// registered from its loading on, whether or not it uses the port now, and
// while one is, no other can have the port to itself.
std::vector<std::string> ParportDrivers(LinuxSystem& system, const KernelParport& port);

} // namespace quennel
