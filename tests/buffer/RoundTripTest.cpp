#include "LoadFile.h"
#include "TempDirectory.h"
#include "buffer/BufferFiles.h"
#include "buffer/FileType.h"

#include <gtest/gtest.h>
#include <random>

namespace quennel {
namespace {

DataImage RandomImage(std::mt19937& random) {
    DataImage image{};
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& cell : image)
        cell = static_cast<uint8_t>(byte(random));
    return image;
}

// Intel records always hold 16 bytes, so its files cover the device rounded up.
int32_t CoveredBytes(int32_t fileType, int32_t deviceEnd) {
    const int32_t bytes = deviceEnd + 1;
    return fileType == IntelHexFileType ? (bytes + 15) / 16 * 16 : bytes;
}

class RoundTripTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(RoundTripTest, RandomImagesLoadBackToTheSameAddresses) {
    const int32_t fileType = GetParam();
    std::mt19937 random(1234u + static_cast<unsigned>(fileType));
    test::TempDirectory dir;
    for (int32_t deviceEnd : {0, 0x1F, 0xFF, 0x1FF, 0x3FF}) {
        for (int round = 0; round < 3; ++round) {
            const DataImage saved = RandomImage(random);
            DataImage loaded = RandomImage(random);
            DataImage expected = loaded;
            const int32_t covered = CoveredBytes(fileType, deviceEnd);
            std::copy(saved.begin(), saved.begin() + covered, expected.begin());

            const auto path = dir / "image";
            ASSERT_FALSE(SaveBufferFile(saved, deviceEnd, fileType, path).Fault);
            const FileOutcome outcome = test::LoadFile(loaded, deviceEnd, fileType, path);
            EXPECT_FALSE(outcome.Fault);
            ASSERT_EQ(loaded, expected) << "file type " << fileType << ", device end " << deviceEnd;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, RoundTripTest,
                         ::testing::Values(BinaryFileType, IntelHexFileType, MotorolaHexFileType,
                                           AsciiHexFileType));

} // namespace
} // namespace quennel
