#pragma once
// The one-line progress display of a pass: a bar, the address, the share
// done and an estimate of the time left.

#include <chrono>
#include <cstdint>
#include <string>

namespace quennel::cli {

inline constexpr int ProgressBarWidth = 30;

// For the cell at address of a pass over 0..lastAddress that has run for
// elapsed: "[#########---------------------]  01A5   41%  0:12 left". The
// time left is shown once a cell is done and time has passed.
std::string ProgressLine(int32_t address, int32_t lastAddress, std::chrono::milliseconds elapsed);

} // namespace quennel::cli
