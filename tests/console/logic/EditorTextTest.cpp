#include "console/logic/EditorText.h"

#include "console/logic/EditorOffsets.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

TEST(EditorTextTest, ShowsPrintableBytesAndDelAsThemselvesAndTheRestAsDots) {
    for (int value = 0; value < 256; ++value) {
        const char expected = value >= 0x20 && value <= 0x7F ? static_cast<char>(value) : '.';
        EXPECT_EQ(DisplayCharacter(static_cast<uint8_t>(value)), expected) << value;
    }
    EXPECT_EQ(DisplayCharacter(0x7F), '\x7F');
    EXPECT_EQ(DisplayCharacter(0x20), ' ');
}

TEST(EditorTextTest, StatusLineNamesAddressHexAndCharacter) {
    const std::string line = StatusLineText(0x1A5, 0x3F);
    EXPECT_EQ(line, "Address = 01A5              Hex Data = 3F                Ascii Data = ?");
    EXPECT_EQ(line.size(), static_cast<size_t>(StatusLineLength));
    EXPECT_EQ(StatusLineText(0x3FF, 0x0D),
              "Address = 03FF              Hex Data = 0D                Ascii Data = .");
}

TEST(EditorTextTest, DataLineHasAddressDigitsAndCharactersInTheirColumns) {
    DataImage buffer{};
    const uint8_t row[16] = {0x00, 0x1F, 0x20, 0x41, 0x7E, 0x7F, 0x80, 0xFF,
                             0x0D, 0x08, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35};
    for (int j = 0; j < 16; ++j)
        buffer[0x3F0 + j] = row[j];
    buffer[0x3EF] = 0xEE; // the neighbours stay out of the line
    const std::string line = DataLineText(buffer, 0x3F);
    EXPECT_EQ(line, "03F0  00 1F 20 41 7E 7F 80 FF 0D 08 30 31 32 33 34 35   .. A~\x7F....012345");
    EXPECT_EQ(line.size(), static_cast<size_t>(DataLineLength));
    EXPECT_EQ(DataLineText(buffer, 0),
              "0000  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00   ................");
}

// Offsets computed from the line lengths, a break taking `breakLength` characters.
int32_t OffsetAt(int line, int column, int breakLength) {
    if (line == 0)
        return column;
    return StatusLineLength + breakLength + (line - 1) * (DataLineLength + breakLength) + column;
}

TEST(EditorOffsetsTest, EveryCaretPositionConvertsBothWays) {
    for (int line = 0; line < PageLines; ++line) {
        const int length = line == 0 ? StatusLineLength : DataLineLength;
        for (int column = 0; column <= length; ++column) {
            const int32_t page = OffsetAt(line, column, 2);
            const int32_t control = OffsetAt(line, column, 1);
            EXPECT_EQ(ToControlOffset(page), control) << line << ":" << column;
            EXPECT_EQ(FromControlOffset(control), page) << line << ":" << column;
        }
    }
    // The fixed points the editor reckons with.
    EXPECT_EQ(FromControlOffset(72), 73);   // first data line
    EXPECT_EQ(FromControlOffset(145), 147); // second data line
    EXPECT_EQ(ToControlOffset(73 + 74 * 15), 72 + 73 * 15);
}

TEST(EditorOffsetsTest, AnOffsetBetweenCrAndLfStaysOnItsLine) {
    EXPECT_EQ(ToControlOffset(72), 71);                                 // end of the status line
    EXPECT_EQ(ToControlOffset(OffsetAt(3, 73, 2)), OffsetAt(3, 72, 1)); // end of a data line
    EXPECT_EQ(ToControlOffset(-5), 0);
    EXPECT_EQ(FromControlOffset(-5), 0);
}

} // namespace
} // namespace quennel
