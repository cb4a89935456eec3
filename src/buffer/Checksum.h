#pragma once
// The buffer's 16-bit checksum and its caption on the Check Sum button.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <string>

namespace quennel {

// Sum of buffer[0..deviceEnd] modulo 65536; the device end is clamped into the buffer.
uint16_t ComputeChecksum(const DataImage& buffer, int32_t deviceEnd);

// "CheckSum=" and the sum as four upper-case hex digits.
std::string ChecksumCaption(uint16_t checksum);

} // namespace quennel
