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

const std::string F32(32, 'F');

TEST(IntelHexWriteTest, ThirtyTwoByteDeviceOfFF) {
    EXPECT_EQ(WrittenLines(WriteIntelHex, ImageOf(0xFF), 0x1F),
              (std::vector<std::string>{":020000020000FC", ":10000000" + F32 + "00", ":10001000" + F32 + "F0",
                                        ":00000001FF"}));
}

TEST(IntelHexWriteTest, RecordOfZeroToFifteen) {
    DataImage buffer{};
    for (int i = 0; i < 16; ++i)
        buffer[i] = static_cast<uint8_t>(i);
    const auto lines = WrittenLines(WriteIntelHex, buffer, 0x1F);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1], ":10000000000102030405060708090A0B0C0D0E0F78");
}

TEST(IntelHexWriteTest, DeviceEndZeroStillWritesOneFullRecord) {
    DataImage buffer{};
    buffer[0] = 0x12;
    buffer[15] = 0x34;
    buffer[16] = 0x56;
    const auto lines = WrittenLines(WriteIntelHex, buffer, 0);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], ":10000000"
                        "12" +
                            std::string(28, '0') +
                            "34"
                            "AA");
}

TEST(IntelHexWriteTest, WholeBufferEndsAtTheLastRecord) {
    const auto lines = WrittenLines(WriteIntelHex, ImageOf(0), 0x3FF);
    ASSERT_EQ(lines.size(), 66u);
    EXPECT_EQ(lines[64].substr(0, 9), ":1003F000");
    EXPECT_EQ(lines[65], ":00000001FF");
    // A device end beyond the buffer writes no more than the whole buffer.
    EXPECT_EQ(WrittenLines(WriteIntelHex, ImageOf(0), 5000), lines);
}

TEST(IntelHexReadTest, StoresDataAndStopsAtTheEndRecord) {
    DataImage buffer = ImageOf(0xEE);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType,
                       ":020000020000FC\r\n:03001000A1B2C3XX\r\n:00000001FF\r\n:01002000770000\r\n"),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x10, 0x11, 0x12, 0x13}), (std::vector<int>{0xA1, 0xB2, 0xC3, 0xEE}));
    EXPECT_EQ(buffer[0x20], 0xEE) << "a record after the end record was read";
}

TEST(IntelHexReadTest, StartAddressWrapsIntoTheDeviceButTheRecordDoesNot) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":02040000AABB00\r\n:0204F8001122\r\n"), "");
    EXPECT_EQ(BytesAt(buffer, {0x00, 0x01, 0xF8}), (std::vector<int>{0xAA, 0xBB, 0x11}));
    // A record starting at the device's last byte runs on above it.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":0300FF00010203\r\n"), "");
    EXPECT_EQ(BytesAt(buffer, {0xFF, 0x100, 0x101}), (std::vector<int>{0x01, 0x02, 0x03}));
}

TEST(IntelHexReadTest, DeviceEndZeroPutsEveryRecordAtZero) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0, IntelHexFileType, ":02012300AABB\r\n"), "");
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[1], 0xBB);
    EXPECT_EQ(buffer[0x123], 0x00);
}

TEST(IntelHexReadTest, OtherRecordTypesMoveNothing) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType,
                       ":02000002100000\r\n:01000500CC00\r\n:0400000400010000\r\n:01000600DD00\r\n"
                       ":0200000305AA00\r\n"),
              "");
    EXPECT_EQ(BytesAt(buffer, {5, 6, 0x10, 0x100, 0x200}), (std::vector<int>{0xCC, 0xDD, 0, 0, 0}));
}

TEST(IntelHexReadTest, IgnoresLinesWithoutTheMarkAndBareLineFeeds) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, " :0100000011EE\r\n\n\n;comment\r:01000100220000\n"),
              "");
    EXPECT_EQ(buffer[0], 0x00) << "a line with a leading blank was read";
    EXPECT_EQ(buffer[1], 0x22);
}

TEST(IntelHexReadTest, WrongChecksumIsAccepted) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":0100000042FF\r\n"), "");
    EXPECT_EQ(buffer[0], 0x42);
}

TEST(IntelHexReadTest, CountBeyondTheLineFailsOnTheLineEnd) {
    DataImage buffer = ImageOf(0);
    // Four bytes claimed, two on the line: the checksum is read as the third, then the CR fails.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":04000000AABBCC\r\n"),
              "'$\r' is not a valid integer value");
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[2], 0xCC);
}

TEST(IntelHexReadTest, SeventySeventhByteLiesBeyondTheExaminedColumns) {
    std::string line = ":50000000";
    for (int i = 0; i < 80; ++i)
        line += HexDigits(static_cast<uint32_t>(i + 1), 2);
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType, line + "00\r\n"), "'$' is not a valid integer value");
    EXPECT_EQ(buffer[75], 76);
    EXPECT_EQ(buffer[76], 0) << "the 77th byte was stored";
}

TEST(IntelHexReadTest, ConversionFailureKeepsWhatWasStoredBefore) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(
        LoadText(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0200010022G300\r\n:0100050033C7\r\n"),
        "'$G3' is not a valid integer value");
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2, 5}), (std::vector<int>{0x11, 0x22, 0, 0}));
}

TEST(IntelHexReadTest, RecordsPastTheBufferEndAreDropped) {
    DataImage buffer = ImageOf(0);
    // A full-size device wraps nothing; the bytes past 1023 have nowhere to go.
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType, ":0403FE0001020304\r\n:00000001FF\r\n"), "");
    EXPECT_EQ(buffer[0x3FE], 0x01);
    EXPECT_EQ(buffer[0x3FF], 0x02);
    EXPECT_EQ(buffer[0], 0x00);
    // A hand-edited device end beyond the buffer still wraps into it.
    EXPECT_EQ(LoadText(buffer, 0x7FF, IntelHexFileType, ":01040000AB\r\n"), "");
    EXPECT_EQ(buffer[0], 0xAB);
}

TEST(IntelHexReadTest, EndOfTextCharacterEndsTheFile) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n\x1A\r\n:0100010022DC\r\n"), "");
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x00) << "a record after the end-of-text character was read";
}

TEST(IntelHexReadTest, FileWithoutLineEndsIsOneLine) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":02000000ABCD"), "");
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[1], 0xCD);
}

} // namespace
} // namespace quennel
