#pragma once
// Reading a buffer file, already in memory, into the image. A load only
// writes the bytes the file supplies; every other byte keeps its value.
// Nothing is ever stored outside the buffer: bytes that would land past its
// end are dropped, and LastAddress shows that they were there.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quennel {

enum class LoadProblem {
    None,
    NoData,          // an empty file, or text without a single data record
    ChecksumRefused, // a record's checksum does not match and the load was not let on
    MoreThanDevice,  // a record would change a cell that this load has already filled
};

struct LoadReport {
    LoadProblem Problem = LoadProblem::None;
    int Line = 0;       // the line of the record at fault; 0 when there is none
    std::string Detail; // the problem in a sentence, naming the line: "line 12: ..."
    // The highest address a byte of the file went to, after the wrap into the
    // device, also when it lay past the buffer's end; -1 when none did.
    int64_t LastAddress = -1;
};

// Asked at most once per load, at the first record whose checksum does not
// match, with that record's line and sums in a sentence. True loads the
// record and lets later mismatches of the same load pass; false ends the load
// at that record, keeping what was stored before it.
using ChecksumQuestion = std::function<bool(const std::string& mismatch)>;

// The file's bytes from address 0 upward, whatever the device.
LoadReport ReadBinaryImage(DataImage& buffer, std::string_view bytes);

// Text records by fileType: 1 Intel hex, 2 Motorola S-records, 3 ASCII hex;
// any other type stores nothing. Lines are read whole, whatever their length.
// Each record's start address is wrapped into the device (deviceEnd + 1 is a
// power of two); its bytes run on from there. A field that is not hex, or is
// cut short by the line's end, throws EConvertError with its line, ending
// the load there with the bytes stored before it kept. Without ask, a
// checksum mismatch ends the load.
LoadReport ReadHexText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view text,
                       const ChecksumQuestion& ask = {});

// For a load whose LastAddress lies past the buffer's end: what was left out,
// in a sentence.
std::string PastBufferNote(int64_t lastAddress);

} // namespace quennel
