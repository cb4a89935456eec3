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
                       "S1050010AABB00\r\nS2060000300102FF\r\nS30700000020CCDD00\r\nS804000000FB\r\n"),
              "");
    EXPECT_EQ(BytesAt(buffer, {0x10, 0x11, 0x30, 0x31, 0x20, 0x21}),
              (std::vector<int>{0xAA, 0xBB, 0x01, 0x02, 0xCC, 0xDD}));
    EXPECT_EQ(buffer[0x12], 0x00) << "the checksum was stored as data";
}

TEST(MotorolaHexReadTest, IgnoresHeaderCountLowerCaseAndUnknownTypes) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                       "S0050040EEEE00\r\nS4050041EEEE00\r\nS5050042EEEE00\r\nS6050043EEEE00\r\n"
                       "s1050044EEEE00\r\nSX050045EEEE00\r\nS\r\n S1050046EEEE00\r\n:01004700EE00\r\n"),
              "");
    for (int address = 0x40; address <= 0x48; ++address)
        EXPECT_EQ(buffer[address], 0x00) << "address " << address;
}

TEST(MotorolaHexReadTest, S7S8AndS9EndTheLoadAfterTheirLine) {
    for (char type : {'7', '8', '9'}) {
        DataImage buffer = ImageOf(0);
        EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType,
                           std::string("S1040000AA00\r\nS") + type + "0300000000\r\nS1040001BB00\r\n"),
                  "");
        EXPECT_EQ(buffer[0], 0xAA) << "S" << type;
        EXPECT_EQ(buffer[1], 0x00) << "a record after S" << type << " was read";
    }
}

TEST(MotorolaHexReadTest, StartAddressWrapsIntoTheDevice) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, "S205000400AA00\r\nS306FFFFFF01BB00\r\n"), "");
    EXPECT_EQ(BytesAt(buffer, {0x00, 0x01, 0x100}), (std::vector<int>{0xAA, 0xBB, 0x00}));
    // With no device known every record starts at 0.
    EXPECT_EQ(LoadText(buffer, 0, MotorolaHexFileType, "S1040123CC00\r\n"), "");
    EXPECT_EQ(buffer[0], 0xCC);
}

TEST(MotorolaHexReadTest, CountsTooSmallForDataStoreNothing) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0xFF, MotorolaHexFileType, "S1020010\r\nS103001000\r\nS3000000000000\r\n"),
              "");
    EXPECT_EQ(buffer, ImageOf(0));
}

TEST(MotorolaHexReadTest, BytesPastTheBufferEndAreDropped) {
    DataImage buffer = ImageOf(0);
    EXPECT_EQ(LoadText(buffer, 0x3FF, MotorolaHexFileType, "S10603FF11223300\r\n"), "");
    EXPECT_EQ(buffer[0x3FF], 0x11);
    EXPECT_EQ(buffer[0], 0x00);
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
