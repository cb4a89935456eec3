#include "buffer/BufferFiles.h"

#include "BufferTextHelpers.h"
#include "TempDirectory.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <unistd.h>

namespace quennel {
namespace {

using test::ImageOf;
using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

size_t OpenDescriptors() {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

std::vector<std::string> FileNames(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(BufferFileStatusTest, TextFormatsAnnounceTheirWorkBinaryDoesNot) {
    EXPECT_EQ(StatusBeforeLoad(BinaryFileType), "");
    EXPECT_EQ(StatusBeforeSave(BinaryFileType), "");
    for (int32_t type : {IntelHexFileType, MotorolaHexFileType, AsciiHexFileType, 7}) {
        EXPECT_EQ(StatusBeforeLoad(type), "Loading Buffer from Hex File....");
        EXPECT_EQ(StatusBeforeSave(type), "Saving Buffer to Hex File....");
    }
}

TEST(BufferFileSaveTest, HexSaveWritesTheRecordsAndReportsSaved) {
    TempDirectory dir;
    DataImage buffer = ImageOf(0xFF);
    const FileOutcome outcome = SaveBufferFile(buffer, 0x1F, IntelHexFileType, dir / "ff.hex");
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "Hex File Saved....");
    std::ostringstream expected;
    WriteIntelHex(buffer, 0x1F, expected);
    EXPECT_EQ(ReadFile(dir / "ff.hex"), expected.str());
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"ff.hex"})
        << "the temporary file was left behind";
}

TEST(BufferFileSaveTest, SaveReplacesAnOldFileAndKeepsItsPermissions) {
    TempDirectory dir;
    WriteFile(dir / "image.bin", std::string(2000, 'x'));
    std::filesystem::permissions(dir / "image.bin", std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::owner_write |
                                                        std::filesystem::perms::group_read);
    const FileOutcome outcome = SaveBufferFile(ImageOf(0x5A), 0xFF, BinaryFileType, dir / "image.bin");
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "");
    EXPECT_EQ(ReadFile(dir / "image.bin"), std::string(256, '\x5A'));
    EXPECT_EQ(std::filesystem::status(dir / "image.bin").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"image.bin"});
}

TEST(BufferFileSaveTest, UnwritablePlaceIsReportedForEveryFormat) {
    TempDirectory dir;
    WriteFile(dir / "plain", "not a directory");
    std::filesystem::create_directory(dir / "taken.hex");
    for (int32_t type : {BinaryFileType, IntelHexFileType, MotorolaHexFileType, AsciiHexFileType}) {
        for (const auto& path :
             {dir / "missing" / "a.hex", dir / "plain" / "a.hex", dir / "taken.hex", dir.Path / ""}) {
            const FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x1F, type, path);
            EXPECT_TRUE(outcome.Fault) << path << " type " << type;
            EXPECT_EQ(outcome.Status, "File Could Not be Saved....") << path << " type " << type;
        }
    }
    EXPECT_EQ(FileNames(dir.Path), (std::vector<std::string>{"plain", "taken.hex"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "taken.hex"));
}

TEST(BufferFileSaveTest, ReadOnlyDirectoryIsReported) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TempDirectory dir;
    std::filesystem::create_directory(dir / "locked");
    WriteFile(dir / "locked" / "old.hex", "old");
    std::filesystem::permissions(dir / "locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const FileOutcome outcome =
        SaveBufferFile(ImageOf(0), 0x1F, AsciiHexFileType, dir / "locked" / "old.hex");
    std::filesystem::permissions(dir / "locked", std::filesystem::perms::owner_all);
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(ReadFile(dir / "locked" / "old.hex"), "old");
}

// The file size limit makes the write itself fail part-way, as a full disk
// would; it is set in a child process so that nothing else feels it.
[[noreturn]] void SaveUnderSizeLimit(const std::filesystem::path& target) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100, 100};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x3FF, MotorolaHexFileType, target);
    std::_Exit(outcome.Fault && outcome.Status == FileNotSavedStatus ? 0 : 1);
}

TEST(BufferFileSaveTest, OldFileSurvivesAWriteThatFailsPartWay) {
    TempDirectory dir;
    const auto target = dir / "old.hex";
    WriteFile(target, "the old image");
    EXPECT_EXIT(SaveUnderSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target), "the old image");
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"old.hex"});
}

TEST(BufferFileSaveTest, UnknownFileTypeWritesNothingAndIsReported) {
    TempDirectory dir;
    WriteFile(dir / "old.hex", "the old image");
    for (int32_t type : {4, -1, BinaryFileType}) {
        const FileOutcome outcome = SaveHexFile(ImageOf(0), 0x1F, type, dir / "old.hex");
        EXPECT_TRUE(outcome.Fault) << type;
        EXPECT_EQ(outcome.Status, "File Could Not be Saved....");
    }
    EXPECT_EQ(ReadFile(dir / "old.hex"), "the old image");
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"old.hex"});
}

TEST(BufferFileLoadTest, FileThatLoadsNothingStillReportsLoaded) {
    TempDirectory dir;
    WriteFile(dir / "notes.hex", "no records here\r\nS1040000AA00\r\n");
    DataImage buffer = ImageOf(0xEE);
    const FileOutcome outcome = LoadBufferFile(buffer, 0xFF, IntelHexFileType, dir / "notes.hex");
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "Hex File Loaded....");
    EXPECT_EQ(buffer, ImageOf(0xEE));
    // An unknown type reads the text through and stores nothing.
    WriteFile(dir / "records.hex", ":0100000011EE\r\nS1040000AA00\r\n1122\r\n");
    const FileOutcome unknown = LoadBufferFile(buffer, 0xFF, 9, dir / "records.hex");
    EXPECT_FALSE(unknown.Fault);
    EXPECT_EQ(unknown.Status, "Hex File Loaded....");
    EXPECT_EQ(buffer, ImageOf(0xEE));
}

TEST(BufferFileLoadTest, VanishedOrUnreadableFileIsReportedAndChangesNothing) {
    TempDirectory dir;
    WriteFile(dir / "gone.hex", ":0100000011EE\r\n");
    std::filesystem::remove(dir / "gone.hex");
    for (int32_t type : {BinaryFileType, IntelHexFileType, MotorolaHexFileType, AsciiHexFileType}) {
        for (const auto& path : {dir / "gone.hex", dir.Path}) {
            DataImage buffer = ImageOf(0xEE);
            const FileOutcome outcome = LoadBufferFile(buffer, 0xFF, type, path);
            EXPECT_TRUE(outcome.Fault) << path << " type " << type;
            EXPECT_EQ(outcome.Status, "File Could Not be Loaded....") << path << " type " << type;
            EXPECT_EQ(buffer, ImageOf(0xEE));
        }
    }
}

TEST(BufferFileLoadTest, ConversionFailureClosesTheFileAndKeepsEarlierBytes) {
    TempDirectory dir;
    WriteFile(dir / "bad.hex", "0102\r\n03G4\r\n0506\r\n");
    DataImage buffer = ImageOf(0xEE);
    const size_t before = OpenDescriptors();
    try {
        LoadHexFile(buffer, 0xFF, AsciiHexFileType, dir / "bad.hex");
        FAIL() << "the load ran to its end";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'$G4' is not a valid integer value");
        EXPECT_EQ(OpenDescriptors(), before) << "the file is still open while the error is reported";
    }
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x02);
    EXPECT_EQ(buffer[2], 0x03);
    EXPECT_EQ(buffer[3], 0xEE);
}

} // namespace
} // namespace quennel
