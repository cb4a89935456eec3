#include "BufferTextHelpers.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

using test::BytesAt;
using test::ImageOf;
using test::IntelRecord;
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
                       ":020000020000FC\r\n:03001000A1B2C3D7\r\n:00000001FF\r\n:0100200077XX\r\n"),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x10, 0x11, 0x12, 0x13}), (std::vector<int>{0xA1, 0xB2, 0xC3, 0xEE}));
    EXPECT_EQ(buffer[0x20], 0xEE) << "a record after the end record was read";
}

TEST(IntelHexReadTest, StartAddressWrapsIntoTheDeviceButTheRecordDoesNot) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType,
                       IntelRecord(0, 0x0400, {0xAA, 0xBB}) + IntelRecord(0, 0x04F8, {0x11})),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x00, 0x01, 0xF8}), (std::vector<int>{0xAA, 0xBB, 0x11}));
    // A record starting at the device's last byte runs on above it.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, IntelRecord(0, 0x00FF, {1, 2, 3})), "");
    EXPECT_EQ(BytesAt(buffer, {0xFF, 0x100, 0x101}), (std::vector<int>{0x01, 0x02, 0x03}));
}

TEST(IntelHexReadTest, DeviceEndZeroPutsEveryRecordAtZero) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0, IntelHexFileType, IntelRecord(0, 0x0123, {0xAA, 0xBB})), "");
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[1], 0xBB);
    EXPECT_EQ(buffer[0x123], 0x00);
}

TEST(IntelHexReadTest, OtherRecordTypesMoveNothing) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType,
                       IntelRecord(2, 0, {0x10, 0x00}) + IntelRecord(0, 5, {0xCC}) +
                           IntelRecord(4, 0, {0x00, 0x01}) + IntelRecord(0, 6, {0xDD}) +
                           IntelRecord(3, 0, {0x05, 0xAA, 0x00, 0x00})),
              "");
    EXPECT_EQ(BytesAt(buffer, {5, 6, 0x10, 0x100, 0x200}), (std::vector<int>{0xCC, 0xDD, 0, 0, 0}));
}

TEST(IntelHexReadTest, IgnoresLinesWithoutTheMarkAndBareLineFeeds) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, " :0100000011EE\r\n\n\n;comment\r:01000100220000\n"),
              "line 5: the record's checksum is 00, its bytes call for DC");
    EXPECT_EQ(buffer[0], 0x00) << "a line with a leading blank was read";
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, " :0100000011EE\r\n\n\n;comment\r:0100010022DC\n"),
              "");
    EXPECT_EQ(buffer[0], 0x00);
    EXPECT_EQ(buffer[1], 0x22);
}

// A damaged record is refused with its line; the bytes stored before it stay.
TEST(IntelHexReadTest, WrongChecksumEndsTheLoadAtItsRecord) {
    DataImage buffer = ImageOf(0);
    const std::string text = IntelRecord(0, 0, {0x11}) + "\r\n:0100010022DD\r\n" + IntelRecord(0, 2, {0x33});
    const LoadReport report = ReadHexText(buffer, 0xFF, IntelHexFileType, text);
    EXPECT_EQ(report.Problem, LoadProblem::ChecksumRefused);
    EXPECT_EQ(report.Line, 3); // an empty line lies between
    EXPECT_EQ(report.Detail, "line 3: the record's checksum is DD, its bytes call for DC");
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2}), (std::vector<int>{0x11, 0, 0}));
}

// The front end may let a mismatch pass: it is asked once, and the rest of
// the load goes on as if every sum were right.
TEST(IntelHexReadTest, ChecksumMismatchLetPassIsAskedOnceAndLoadsTheRest) {
    const std::string text = IntelRecord(0, 0, {0x11}) + ":0100010022DD\r\n:0100020033FF\r\n:00000001FF\r\n";
    std::vector<std::string> asked;
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, text,
                       [&](const std::string& mismatch) {
                           asked.push_back(mismatch);
                           return true;
                       }),
              "");
    EXPECT_EQ(asked, std::vector<std::string>{"line 2: the record's checksum is DD, its bytes call for DC"});
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2}), (std::vector<int>{0x11, 0x22, 0x33}));

    // Refused: the load ends at the record asked about.
    buffer = ImageOf(0);
    asked.clear();
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, text,
                       [&](const std::string& mismatch) {
                           asked.push_back(mismatch);
                           return false;
                       }),
              "line 2: the record's checksum is DD, its bytes call for DC");
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2}), (std::vector<int>{0x11, 0, 0}));

    // An end record's sum is checked too.
    buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, IntelRecord(0, 0, {0x11}) + ":00000001FE\r\n"),
              "line 2: the record's checksum is FE, its bytes call for FF");
}

TEST(IntelHexReadTest, CountBeyondTheLineFailsOnTheLineEnd) {
    DataImage buffer = ImageOf(0);
    // Four bytes claimed, two on the line: the checksum is read as the third, then the CR fails.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":04000000AABBCC\r\n"),
              "'$\r' is not a valid integer value");
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[2], 0xCC);
    // Cut short by the end of the text, a field never converts from its one digit.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":01000000A"), "'$A' is not a valid integer value");
}

// Lines are read whole: long records load every byte.
TEST(IntelHexReadTest, RecordOfEightyBytesLoadsWhole) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 80; ++i)
        data.push_back(static_cast<uint8_t>(i + 1));
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType, IntelRecord(0, 0, data)), "");
    EXPECT_EQ(buffer[75], 76);
    EXPECT_EQ(buffer[76], 77);
    EXPECT_EQ(buffer[79], 80);
    EXPECT_EQ(buffer[80], 0);
}

TEST(IntelHexReadTest, ConversionFailureKeepsWhatWasStoredBeforeAndNamesTheLine) {
    DataImage buffer = ImageOf(0);
    const std::string text = ":0100000011EE\r\n:0200010022G300\r\n:0100050033C7\r\n";
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, text), "'$G3' is not a valid integer value");
    EXPECT_EQ(BytesAt(buffer, {0, 1, 2, 5}), (std::vector<int>{0x11, 0x22, 0, 0}));
    try {
        ReadHexText(buffer, 0xFF, IntelHexFileType, text);
        FAIL() << "the load ran to its end";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Line, 2);
    }
}

TEST(IntelHexReadTest, RecordsPastTheBufferEndAreDroppedAndShowInTheLastAddress) {
    DataImage buffer = ImageOf(0);
    // A full-size device wraps nothing; the bytes past 1023 have nowhere to go.
    const LoadReport report =
        ReadHexText(buffer, 0x3FF, IntelHexFileType, IntelRecord(0, 0x3FE, {1, 2, 3, 4}) + ":00000001FF\r\n");
    EXPECT_EQ(report.Problem, LoadProblem::None);
    EXPECT_EQ(report.LastAddress, 0x401);
    EXPECT_EQ(buffer[0x3FE], 0x01);
    EXPECT_EQ(buffer[0x3FF], 0x02);
    EXPECT_EQ(buffer[0], 0x00);
    // A hand-edited device end beyond the buffer still wraps into it.
    EXPECT_EQ(LoadText(buffer, 0x7FF, IntelHexFileType, IntelRecord(0, 0x400, {0xAB})), "");
    EXPECT_EQ(buffer[0], 0xAB);
}

// Wrapped onto cells it has already filled, a file would overwrite its own
// data: it holds more than the device, and the load fails at that record.
TEST(IntelHexReadTest, FileLargerThanTheDeviceFailsWhereItWouldOverwriteItself) {
    DataImage buffer = ImageOf(0xEE);
    std::string text = IntelRecord(0, 0x000, {0x01, 0x02}) + IntelRecord(0, 0x010, {0x03});
    // The same values again one device higher: nothing is lost.
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, text + IntelRecord(0, 0x100, {0x01, 0x02})), "");
    const LoadReport report =
        ReadHexText(buffer, 0xFF, IntelHexFileType,
                    text + IntelRecord(0, 0x100, {0x01, 0x02}) + IntelRecord(0, 0x110, {0x04}));
    EXPECT_EQ(report.Problem, LoadProblem::MoreThanDevice);
    EXPECT_EQ(report.Line, 4);
    EXPECT_EQ(report.Detail,
              "line 4: the file holds more than the selected device: its address 0110 falls on "
              "cell 0010, already loaded from its address 0010 with a different value");
    EXPECT_EQ(buffer[0x10], 0x03);
    // The whole buffer takes all of it.
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType, text + IntelRecord(0, 0x110, {0x04})), "");
    EXPECT_EQ(buffer[0x110], 0x04);
    // One address given twice with different values.
    EXPECT_EQ(LoadText(buffer, 0x3FF, IntelHexFileType, text + IntelRecord(0, 0x001, {0x07})),
              "line 3: address 0001 is given twice, with different values");
}

TEST(IntelHexReadTest, FileWithoutDataRecordsIsReportedAsHoldingNoData) {
    for (const std::string& text :
         {std::string(":020000020000FC\r\n:00000001FF\r\n"), std::string("hello\r\n"),
          std::string("\x01\x02\xFF\x00", 4), std::string()}) {
        DataImage buffer = ImageOf(0xEE);
        const LoadReport report = ReadHexText(buffer, 0xFF, IntelHexFileType, text);
        EXPECT_EQ(report.Problem, LoadProblem::NoData) << text;
        EXPECT_EQ(report.LastAddress, -1);
        EXPECT_EQ(buffer, ImageOf(0xEE));
    }
}

TEST(IntelHexReadTest, EndOfTextCharacterEndsTheFile) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n\x1A\r\n:0100010022DC\r\n"), "");
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x00) << "a record after the end-of-text character was read";
}

TEST(IntelHexReadTest, FileWithoutLineEndsIsOneLine) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, IntelHexFileType, ":02000000ABCD86"), "");
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[1], 0xCD);
}

} // namespace
} // namespace quennel
