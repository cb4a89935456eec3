#include "buffer/Checksum.h"
#include "buffer/Fill.h"
#include "buffer/IntegerText.h"

#include <gtest/gtest.h>

namespace quennel {
namespace {

TEST(ChecksumTest, AllFFWrapsByDeviceSize) {
    DataImage buffer{};
    FillBuffer(buffer, 0xFF);
    EXPECT_EQ(ChecksumCaption(ComputeChecksum(buffer, 0x1F)), "CheckSum=1FE0");
    EXPECT_EQ(ChecksumCaption(ComputeChecksum(buffer, 0xFF)), "CheckSum=FF00");
    EXPECT_EQ(ChecksumCaption(ComputeChecksum(buffer, 0x1FF)), "CheckSum=FE00");
    EXPECT_EQ(ChecksumCaption(ComputeChecksum(buffer, 0x3FF)), "CheckSum=FC00");
}

TEST(ChecksumTest, CoversOnlyTheDevice) {
    DataImage buffer{};
    buffer[0] = 0x5A;
    buffer[1] = 0x01;
    buffer[0x20] = 0x77; // above a 32-byte device
    EXPECT_EQ(ComputeChecksum(buffer, 0), 0x5A);
    EXPECT_EQ(ComputeChecksum(buffer, 0x1F), 0x5B);
    EXPECT_EQ(ComputeChecksum(buffer, 0xFF), 0x5B + 0x77);
    EXPECT_EQ(ChecksumCaption(0), "CheckSum=0000");
    EXPECT_EQ(ChecksumCaption(0xA), "CheckSum=000A");
}

TEST(ChecksumTest, DeviceEndOutsideTheBufferIsClampedIntoIt) {
    DataImage buffer{};
    FillBuffer(buffer, 0xFF);
    buffer[0] = 0x01;
    EXPECT_EQ(ComputeChecksum(buffer, 5000), ComputeChecksum(buffer, 0x3FF));
    EXPECT_EQ(ComputeChecksum(buffer, -3), 0x01);
}

TEST(FillTest, FillsAllBytesWhateverTheDevice) {
    DataImage buffer{};
    FillBuffer(buffer, 0xFF);
    EXPECT_EQ(buffer.front(), 0xFF);
    EXPECT_EQ(buffer.back(), 0xFF);
    EXPECT_EQ(ComputeChecksum(buffer, 0x3FF), 0xFC00);
    FillBuffer(buffer, 0x00);
    EXPECT_EQ(ComputeChecksum(buffer, 0x3FF), 0);
}

TEST(FillTest, TypedValueIsReadAsHex) {
    EXPECT_EQ(FillValueFromText("AB"), 0xAB);
    EXPECT_EQ(FillValueFromText("ab"), 0xAB);
    EXPECT_EQ(FillValueFromText("7"), 0x07);
    EXPECT_EQ(FillValueFromText("10"), 0x10);
    EXPECT_EQ(FillValueFromText(""), std::nullopt);
}

TEST(FillTest, PastedTextThatIsNotHexFailsWithItsText) {
    try {
        FillValueFromText("G1");
        FAIL() << "no error";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'$G1' is not a valid integer value");
    }
}

} // namespace
} // namespace quennel
