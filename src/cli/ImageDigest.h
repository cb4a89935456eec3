#pragma once
// The fingerprints under which dumps of PROMs are catalogued, taken over the
// device's part of the buffer.

#include <cstdint>
#include <span>
#include <string>

namespace quennel::cli {

// Eight lower-case hex digits (the zlib CRC-32).
std::string Crc32Text(std::span<const uint8_t> image);
// Forty lower-case hex digits.
std::string Sha1Text(std::span<const uint8_t> image);

} // namespace quennel::cli
