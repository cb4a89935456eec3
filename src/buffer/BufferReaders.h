#pragma once
// Reading a buffer file into the image. A load only writes the bytes the
// file supplies; every other byte keeps its value. Nothing is ever stored
// outside the buffer: bytes that would land past its end are dropped.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <istream>

namespace quennel {

// The file's bytes from address 0 upward, whatever the device. Returns false
// when reading failed part-way (the bytes read before that are stored).
bool ReadBinaryImage(DataImage& buffer, std::istream& in);

// Text records by fileType: 1 Intel hex, 2 Motorola S-records, 3 ASCII hex;
// any other type reads the text and stores nothing. Returns false when
// reading failed part-way. A field that is not hex throws EConvertError and
// ends the load there, with the bytes stored before it kept.
bool ReadHexText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::istream& in);

} // namespace quennel
