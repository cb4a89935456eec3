#pragma once
// The text of the editor's page: a status line naming the byte at the cursor
// over sixteen data lines of sixteen bytes each, in hex and as characters.
// Every line is plain 7-bit ASCII.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <string>

namespace quennel {

inline constexpr int32_t RowBytes = 16;
inline constexpr int32_t PageRows = 16;
inline constexpr int32_t PageBytes = RowBytes * PageRows;
inline constexpr int PageLines = 1 + PageRows; // the status line, then the data lines

inline constexpr int StatusLineLength = 71;
inline constexpr int DataLineLength = 72;

// Where byte j of a row shows in its data line: the high hex digit (the low
// one follows it) and the character.
constexpr int HexColumn(int32_t j) {
    return 6 + 3 * j;
}
constexpr int CharacterColumn(int32_t j) {
    return 56 + j;
}

// The byte itself from 0x20 to 0x7F, "." for everything else.
char DisplayCharacter(uint8_t value);

// "Address = 01A5              Hex Data = 3F                Ascii Data = ?"
std::string StatusLineText(int32_t address, uint8_t value);

// The line of buffer row `row` (bytes 16 * row .. 16 * row + 15); the row must
// lie inside the buffer.
std::string DataLineText(const DataImage& buffer, int32_t row);

} // namespace quennel
