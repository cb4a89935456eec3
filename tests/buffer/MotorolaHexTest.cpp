#include "BufferTextHelpers.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

using test::BytesAt;
using test::ImageOf;
using test::LoadText;
using test::SRecord;
using test::WrittenLines;

const std::string F32(32, 'F');

TEST(MotorolaHexWriteTest, ThirtyTwoByteDeviceOfFF) {
    EXPECT_EQ(
        WrittenLines(WriteMotorolaHex, ImageOf(0xFF), 0x1F),
        (std::vector<std::string>{"S214000000" + F32 + "FB", "S214000010" + F32 + "EB", "S804000000FB"}));
}

TEST(MotorolaHexWriteTest, RecordOfZeroToFifteen) {
    DataImage buffer{};
    for (int i = 0; i < 16; ++i)
        buffer[i] = static_cast<uint8_t>(i);
    const auto lines = WrittenLines(WriteMotorolaHex, buffer, 0x1F);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "S214000000000102030405060708090A0B0C0D0E0F73");
}

TEST(MotorolaHexWriteTest, LastRecordEndsAtTheDeviceEnd) {
    DataImage buffer{};
    buffer[0] = 0x12;
    buffer[1] = 0x99;
    EXPECT_EQ(WrittenLines(WriteMotorolaHex, buffer, 0),
              (std::vector<std::string>{"S20500000012E8", "S804000000FB"}));
    const auto lines = WrittenLines(WriteMotorolaHex, ImageOf(0), 0x12);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "S207000010000000E8");
    // Addresses above FF put their high byte into the sum.
    const auto whole = WrittenLines(WriteMotorolaHex, ImageOf(0), 0x3FF);
    ASSERT_EQ(whole.size(), 65u);
    EXPECT_EQ(whole[63], "S2140003F0" + std::string(32, '0') + "F8");
}

TEST(MotorolaHexReadTest, ReadsS1S2AndS3Data) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                       SRecord(1, 0x0010, {0xAA, 0xBB}) + SRecord(2, 0x000030, {0x01, 0x02}) +
                           SRecord(3, 0x00000020, {0xCC, 0xDD}) + "S804000000FB\r\n"),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x10, 0x11, 0x30, 0x31, 0x20, 0x21}),
              (std::vector<int>{0xAA, 0xBB, 0x01, 0x02, 0xCC, 0xDD}));
    EXPECT_EQ(buffer[0x12], 0x00) << "the checksum was stored as data";
}

TEST(MotorolaHexReadTest, IgnoresHeaderCountLowerCaseAndUnknownTypes) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                       SRecord(0, 0x0040, {0xEE, 0xEE}) + "S4050041EEEE00\r\n" + SRecord(5, 0x0042, {0xEE}) +
                           SRecord(6, 0x000043, {0xEE}) +
                           "s1050044EEEE00\r\nSX050045EEEE00\r\nS\r\n S1050046EEEE00\r\n:01004700EE00\r\n" +
                           SRecord(1, 0x0050, {0x01})),
              "");
    for (int address = 0x40; address <= 0x48; ++address)
        EXPECT_EQ(buffer[address], 0x00) << "address " << address;
    EXPECT_EQ(buffer[0x50], 0x01);
}

TEST(MotorolaHexReadTest, S7S8AndS9EndTheLoadAfterTheirLine) {
    for (int type : {7, 8, 9}) {
        DataImage buffer = ImageOf(0);
        EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                           SRecord(1, 0, {0xAA}) + SRecord(type, 0, {}) + SRecord(1, 1, {0xBB})),
                  "");
        EXPECT_EQ(buffer[0], 0xAA) << "S" << type;
        EXPECT_EQ(buffer[1], 0x00) << "a record after S" << type << " was read";
    }
}

TEST(MotorolaHexReadTest, StartAddressWrapsIntoTheDevice) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                       SRecord(2, 0x000400, {0xAA}) + SRecord(3, 0xFFFFFF01, {0xBB})),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x00, 0x01, 0x100}), (std::vector<int>{0xAA, 0xBB, 0x00}));
    // With no device known every record starts at 0.
    EXPECT_EQ(LoadText(buffer, 0, MotorolaHexFileType, SRecord(1, 0x0123, {0xCC})), "");
    EXPECT_EQ(buffer[0], 0xCC);
}

// 77 data bytes: the count 50 of an S1 record that a widely used converter
// writes on request. The last byte is read whole, not from one digit.
TEST(MotorolaHexReadTest, LongRecordLoadsItsLastByteWhole) {
    std::vector<uint8_t> data(77, 0x11);
    data.back() = 0x22;
    DataImage buffer = ImageOf(0);
    const std::string record = SRecord(1, 0, data);
    ASSERT_EQ(record.substr(0, 4), "S150");
    EXPECT_EQ(LoadText(buffer, 0x3FF, MotorolaHexFileType, record + "S9030000FC\r\n"), "");
    EXPECT_EQ(buffer[75], 0x11);
    EXPECT_EQ(buffer[76], 0x22);
}

TEST(MotorolaHexReadTest, ChecksumIsCheckedForEveryRecordType) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, SRecord(1, 0, {0x11}) + "S1040001BB3E\r\n"),
              "line 2: the record's checksum is 3E, its bytes call for 3F");
    EXPECT_EQ(BytesAt(buffer, {0, 1}), (std::vector<int>{0x11, 0x00}));
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, "S00600004844521C\r\n" + SRecord(1, 0, {0x11})),
              "line 1: the record's checksum is 1C, its bytes call for 1B");
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, SRecord(1, 0, {0x11}) + "S9030000FD\r\n"),
              "line 2: the record's checksum is FD, its bytes call for FC");
}

TEST(MotorolaHexReadTest, RecordWithoutDataStoresNothing) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(
        LoadText(buffer, 0xFF, MotorolaHexFileType, SRecord(1, 0x0010, {}) + SRecord(1, 0x0011, {0x44})), "");
    EXPECT_EQ(buffer[0x10], 0x00);
    EXPECT_EQ(buffer[0x11], 0x44);
    // A count too small even for the address leaves no field for the checksum.
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, "S1020010\r\n"),
              "'$\r' is not a valid integer value");
}

TEST(MotorolaHexReadTest, BytesPastTheBufferEndAreDropped) {
    DataImage buffer = ImageOf(0);
    const LoadReport report =
        ReadHexText(buffer, 0x3FF, MotorolaHexFileType, SRecord(1, 0x3FF, {0x11, 0x22, 0x33}));
    EXPECT_EQ(report.Problem, LoadProblem::None);
    EXPECT_EQ(report.LastAddress, 0x401);
    EXPECT_EQ(buffer[0x3FF], 0x11);
    EXPECT_EQ(buffer[0], 0x00);
}

TEST(MotorolaHexReadTest, FileLargerThanTheDeviceFailsWhereItWouldOverwriteItself) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x1F, MotorolaHexFileType,
                       SRecord(2, 0x00, {0x01}) + SRecord(2, 0x20, {0x01}) + SRecord(2, 0x40, {0x02})),
              "line 3: the file holds more than the selected device: its address 0040 falls on cell 0000, "
              "already loaded from its address 0000 with a different value");
}

TEST(MotorolaHexReadTest, ConversionFailureStopsWithEarlierBytesKept) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, "S1050000AA-100\r\nS1040002CC00\r\n"),
              "'$-1' is not a valid integer value");
    EXPECT_EQ(buffer[0], 0xAA);
    EXPECT_EQ(buffer[2], 0x00);
}

} // namespace
} // namespace quennel
