#pragma once
// One run of the command line: resolves the device, the files and the port
// from the options, builds the core over the chosen back-end and runs the
// command through it.

#include "cli/CliOptions.h"
#include "link/LinuxSystem.h"

#include <ostream>

namespace quennel::cli {

// Runs options.Command; returns the exit status. Output lines go to out,
// complaints and the progress line to err. Real printer ports are reached
// through system's parallel-port driver.
int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal,
               LinuxSystem& system = HostSystem());

} // namespace quennel::cli
