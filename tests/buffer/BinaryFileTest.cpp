#include "BufferTextHelpers.h"
#include "LoadFile.h"
#include "TempDirectory.h"
#include "buffer/BufferFiles.h"
#include "buffer/FileType.h"
#include "buffer/BufferReaders.h"
#include "buffer/BufferWriters.h"

#include <gtest/gtest.h>
#include <sstream>

namespace quennel {
namespace {

using test::ImageOf;

std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}

TEST(BinaryFileWriteTest, WritesTheDeviceBytesOnly) {
    std::ostringstream out;
    WriteBinaryImage(ImageOf(0xFF), 0x1F, out);
    EXPECT_EQ(out.str(), std::string(32, '\xFF'));

    DataImage buffer{};
    buffer[0] = 0x42;
    std::ostringstream one;
    WriteBinaryImage(buffer, 0, one);
    EXPECT_EQ(one.str(), "\x42");

    std::ostringstream beyond;
    WriteBinaryImage(buffer, 4000, beyond);
    EXPECT_EQ(beyond.str().size(), 1024u);
}

TEST(BinaryFileReadTest, HundredByteFileLeavesTheRestAsItWas) {
    test::TempDirectory dir;
    test::WriteFile(dir / "short.bin", Pattern(100));
    DataImage buffer = ImageOf(0xEE);
    const FileOutcome outcome = test::LoadFile(buffer, 0x3FF, BinaryFileType, dir / "short.bin");
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "");
    EXPECT_EQ(outcome.LastAddress, 99);
    const std::string expected = Pattern(100);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(buffer[i], static_cast<uint8_t>(expected[i])) << "address " << i;
    for (size_t i = 100; i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], 0xEE) << "address " << i;
}

TEST(BinaryFileReadTest, OversizedFileFillsTheBufferAndDropsTheRest) {
    test::TempDirectory dir;
    const std::string bytes = Pattern(1500);
    test::WriteFile(dir / "big.bin", bytes);
    DataImage buffer = ImageOf(0);
    const FileOutcome outcome = test::LoadFile(buffer, 0x3FF, BinaryFileType, dir / "big.bin");
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(outcome.LastAddress, 1499);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), bytes.substr(0, 1024));
}

TEST(BinaryFileReadTest, EmptyFileIsNotLoaded) {
    test::TempDirectory dir;
    test::WriteFile(dir / "empty.bin", "");
    DataImage buffer = ImageOf(0xEE);
    const FileOutcome outcome = test::LoadFile(buffer, 0x3FF, BinaryFileType, dir / "empty.bin");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(outcome.Problem, FileProblem::NoData);
    EXPECT_EQ(outcome.Detail, "the file is empty");
    EXPECT_EQ(buffer, ImageOf(0xEE));
}

} // namespace
} // namespace quennel
