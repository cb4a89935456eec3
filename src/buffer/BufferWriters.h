#pragma once
// The buffer image as each file format writes it: addresses 0..deviceEnd
// (clamped into the buffer), text lines ending in CR LF, hex digits upper case.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <ostream>

namespace quennel {

// The bytes themselves, no header or trailer.
void WriteBinaryImage(const DataImage& buffer, int32_t deviceEnd, std::ostream& out);

// An extended segment record for segment 0, full 16-byte data records up to
// the one holding deviceEnd, and the end record.
void WriteIntelHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out);

// S2 records of up to 16 bytes, the last one ending at deviceEnd, then S8.
void WriteMotorolaHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out);

// Bare lines of up to 16 bytes, a line also ending at deviceEnd.
void WriteAsciiHex(const DataImage& buffer, int32_t deviceEnd, std::ostream& out);

// The writer for fileType; false, with nothing written, for an unknown type.
bool WriteBufferImage(const DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::ostream& out);

} // namespace quennel
