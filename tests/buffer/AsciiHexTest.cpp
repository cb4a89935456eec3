#include "BufferTextHelpers.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

using test::BytesAt;
using test::ImageOf;
using test::LoadText;
using test::WrittenLines;

std::string Digits(int count, int first = 0) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += HexDigits(static_cast<uint32_t>(first + i), 2);
    return text;
}

TEST(AsciiHexWriteTest, LinesOfSixteenBytesEndingAtTheDevice) {
    const std::string f32(32, 'F');
    EXPECT_EQ(WrittenLines(WriteAsciiHex, ImageOf(0xFF), 0x1F), (std::vector<std::string>{f32, f32}));
    DataImage buffer{};
    buffer[0] = 0x5C;
    EXPECT_EQ(WrittenLines(WriteAsciiHex, buffer, 0), (std::vector<std::string>{"5C"}));
    std::string a5Line;
    for (int i = 0; i < 16; ++i)
        a5Line += "A5";
    EXPECT_EQ(WrittenLines(WriteAsciiHex, ImageOf(0xA5), 0x12), (std::vector<std::string>{a5Line, "A5A5A5"}));
}

TEST(AsciiHexReadTest, AddressRunsOnAcrossLinesAndIgnoresTheDevice) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0x1F, AsciiHexFileType,
                       Digits(16) + "\r\n" + Digits(16, 16) + "\r\n" + Digits(8, 32)),
              "");
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(buffer[i], i) << "address " << i;
    EXPECT_EQ(buffer[40], 0xEE);
}

TEST(AsciiHexReadTest, LineEndsAndEmptyLinesContributeNothing) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, "\r\n\n\rAABB\r\n\r\nCC\n"), "");
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2, 3}), (std::vector<int>{0xAA, 0xBB, 0xCC, 0xEE}));
}

TEST(AsciiHexReadTest, OddDigitCountFailsOnTheLastPair) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, Digits(15, 1) + "7\r\n" + Digits(4)),
              "'$7\r' is not a valid integer value");
    EXPECT_EQ(buffer[14], 15);
    EXPECT_EQ(buffer[15], 0xEE);
}

TEST(AsciiHexReadTest, LeadingBlankIsPartOfTheFirstPair) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, " AB\r\n"), "'$ A' is not a valid integer value");
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST(AsciiHexReadTest, EndOfTextCharacterCutsTheLineShort) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType,
                       "AABB\x1A"
                       "CCDD\r\n"),
              "");
    EXPECT_EQ(buffer[1], 0xBB);
    EXPECT_EQ(buffer[2], 0xEE);
}

// Lines are read whole: nothing past the 160th character is lost.
TEST(AsciiHexReadTest, LongLineLoadsWhole) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0x3FF, AsciiHexFileType, Digits(100) + "\r\n" + "FF\r\n"), "");
    EXPECT_EQ(buffer[79], 79);
    EXPECT_EQ(buffer[99], 99);
    EXPECT_EQ(buffer[100], 0xFF) << "the next line did not follow the 100th byte";
    EXPECT_EQ(buffer[101], 0xEE);
}

// The last line without a line end: its odd digit fails rather than vanish.
TEST(AsciiHexReadTest, OddDigitAtTheEndOfTheTextFails) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, "AABB\r\nCCD"), "'$D' is not a valid integer value");
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2, 3}), (std::vector<int>{0xAA, 0xBB, 0xCC, 0xEE}));
}

TEST(AsciiHexReadTest, BytesPastTheBufferEndAreDroppedAndShowInTheLastAddress) {
    std::string text;
    for (int line = 0; line < 70; ++line)
        text += std::string(32, '5') + "\r\n";
    DataImage buffer = ImageOf(0);
    const LoadReport report = ReadHexText(buffer, 0x3FF, AsciiHexFileType, text);
    EXPECT_EQ(report.Problem, LoadProblem::None);
    EXPECT_EQ(report.LastAddress, 70 * 16 - 1);
    EXPECT_EQ(buffer, ImageOf(0x55));
}

TEST(AsciiHexReadTest, TextWithoutDigitsHoldsNoData) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, "\r\n\r\n"), "no hex digits in the file");
    EXPECT_EQ(LoadText(buffer, 0xFF, AsciiHexFileType, ""), "the file is empty");
    EXPECT_EQ(buffer, ImageOf(0xEE));
}

} // namespace
} // namespace quennel
