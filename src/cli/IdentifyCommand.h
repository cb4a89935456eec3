#pragma once
// Identifying an image against the operator's collection of dumps: the
// walk through the collection with its progress line and skipped-file
// lines, then the report (exact matches, or the closest few) and the verdict.

#include "cli/CliConsole.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>

namespace quennel::cli {

// image: the part's cells (cellBits says which bits of them exist). The
// report goes to console, the progress line (when showProgress) and the
// skipped files to err. Returns ExitOk when a dump is identical,
// ExitDeviceFailed when none is, ExitBadUsage when library cannot be reached.
int IdentifyImage(std::span<const uint8_t> image, uint8_t cellBits, const std::string& library,
                  CliConsole& console, std::ostream& err, bool showProgress);

} // namespace quennel::cli
