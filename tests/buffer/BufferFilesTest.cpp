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
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
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

TEST(BufferFileSaveTest, UnwritablePlaceIsReportedWithItsReasonForEveryFormat) {
    TempDirectory dir;
    WriteFile(dir / "plain", "not a directory");
    std::filesystem::create_directory(dir / "taken.hex");
    const std::vector<std::pair<std::filesystem::path, std::string>> places{
        {dir / "missing" / "a.hex", "No such file or directory"},
        {dir / "plain" / "a.hex", "Not a directory"},
        {dir / "taken.hex", "Is a directory"},
        {dir.Path / "", "Is a directory"}};
    for (int32_t type : {BinaryFileType, IntelHexFileType, MotorolaHexFileType, AsciiHexFileType}) {
        for (const auto& [path, reason] : places) {
            const FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x1F, type, path);
            EXPECT_TRUE(outcome.Fault) << path << " type " << type;
            EXPECT_EQ(outcome.Status, "File Could Not be Saved....") << path << " type " << type;
            EXPECT_EQ(outcome.Problem, FileProblem::CannotWrite);
            EXPECT_EQ(outcome.Detail, reason) << path << " type " << type;
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
    const bool reported =
        outcome.Fault && outcome.Status == FileNotSavedStatus && outcome.Detail == "File too large";
    std::_Exit(reported ? 0 : 1);
}

TEST(BufferFileSaveTest, OldFileSurvivesAWriteThatFailsPartWay) {
    TempDirectory dir;
    const auto target = dir / "old.hex";
    WriteFile(target, "the old image");
    EXPECT_EXIT(SaveUnderSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target), "the old image");
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"old.hex"});

    // Written in place, a hard-linked file has its room taken before its
    // first byte is touched.
    std::filesystem::create_hard_link(target, dir / "other.hex");
    EXPECT_EXIT(SaveUnderSizeLimit(target), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(target), "the old image");
    EXPECT_EQ(ReadFile(dir / "other.hex"), "the old image");
}

TEST(BufferFileSaveTest, SymbolicLinkIsFollowedAndItsTargetSaved) {
    TempDirectory dir;
    std::filesystem::create_directory(dir / "images");
    WriteFile(dir / "images" / "real.bin", "old");
    std::filesystem::create_symlink("images/real.bin", dir / "link.bin");
    std::filesystem::create_symlink("link.bin", dir / "chain.bin");
    const FileOutcome outcome = SaveBufferFile(ImageOf(0x42), 0x1F, BinaryFileType, dir / "chain.bin");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "chain.bin"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
    EXPECT_EQ(ReadFile(dir / "images" / "real.bin"), std::string(32, '\x42'));
    EXPECT_EQ(FileNames(dir / "images"), std::vector<std::string>{"real.bin"});
    EXPECT_EQ(FileNames(dir.Path), (std::vector<std::string>{"chain.bin", "images", "link.bin"}));

    // A link to a file not there yet creates it where the link points.
    std::filesystem::create_symlink("images/new.bin", dir / "ahead.bin");
    EXPECT_FALSE(SaveBufferFile(ImageOf(0x43), 0x1F, BinaryFileType, dir / "ahead.bin").Fault);
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "ahead.bin"));
    EXPECT_EQ(ReadFile(dir / "images" / "new.bin"), std::string(32, '\x43'));

    // A loop of links is reported, not followed for ever.
    std::filesystem::create_symlink("loop.bin", dir / "loop.bin");
    EXPECT_EQ(SaveBufferFile(ImageOf(0), 0x1F, BinaryFileType, dir / "loop.bin").Detail,
              "Too many levels of symbolic links");
}

TEST(BufferFileSaveTest, FileWithSeveralNamesIsWrittenInPlace) {
    TempDirectory dir;
    WriteFile(dir / "a.bin", std::string(2000, 'x'));
    std::filesystem::create_hard_link(dir / "a.bin", dir / "b.bin");
    const FileOutcome outcome = SaveBufferFile(ImageOf(0x5A), 0x1F, BinaryFileType, dir / "a.bin");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(ReadFile(dir / "b.bin"), std::string(32, '\x5A'));
    EXPECT_EQ(std::filesystem::hard_link_count(dir / "a.bin"), 2u);
    EXPECT_EQ(FileNames(dir.Path), (std::vector<std::string>{"a.bin", "b.bin"}));
}

// A link planted under the name the save would use for its new file is
// never followed: the file it points at stays as it was.
TEST(BufferFileSaveTest, LinkPlantedAtTheTemporaryNameIsNotFollowed) {
    TempDirectory dir;
    WriteFile(dir / "victim", "precious");
    WriteFile(dir / "image.hex", "old");
    for (const char* name : {"image.hex.saving", "image.hex.saving1", "image.hex.saving2"})
        std::filesystem::create_symlink(dir / "victim", dir / name);
    const FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x1F, IntelHexFileType, dir / "image.hex");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(ReadFile(dir / "victim"), "precious");
    EXPECT_EQ(ReadFile(dir / "image.hex").substr(0, 15), ":020000020000FC");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "image.hex.saving"));
}

TEST(BufferFileSaveTest, FifoIsWrittenInPlace) {
    TempDirectory dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(dir / "pipe"); });
    const FileOutcome outcome = SaveBufferFile(ImageOf(0x11), 0x1F, BinaryFileType, dir / "pipe");
    reader.join();
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(received, std::string(32, '\x11'));
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe"));
    EXPECT_EQ(FileNames(dir.Path), std::vector<std::string>{"pipe"});
}

// Device nodes of its own (the null and the full device) in a scratch
// folder: saved to, they stay devices, and a full one says so.
TEST(BufferFileSaveTest, DeviceNodeIsWrittenInPlaceNeverReplaced) {
    TempDirectory dir;
    if (::mknod((dir / "null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0 ||
        ::mknod((dir / "full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here";
    FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x3FF, IntelHexFileType, dir / "null");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_TRUE(std::filesystem::is_character_file(dir / "null"));

    outcome = SaveBufferFile(ImageOf(0), 0x3FF, IntelHexFileType, dir / "full");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Detail, "No space left on device");
    EXPECT_TRUE(std::filesystem::is_character_file(dir / "full"));
    EXPECT_EQ(FileNames(dir.Path), (std::vector<std::string>{"full", "null"}));
}

TEST(BufferFileSaveTest, ReplacedFileKeepsItsOwnerWhereThatMayBeGiven) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the superuser may give a file away";
    TempDirectory dir;
    WriteFile(dir / "theirs.bin", "old");
    ASSERT_EQ(::chown((dir / "theirs.bin").c_str(), 4321, 4322), 0);
    ::chmod((dir / "theirs.bin").c_str(), 0640);
    EXPECT_FALSE(SaveBufferFile(ImageOf(1), 0x1F, BinaryFileType, dir / "theirs.bin").Fault);
    struct stat status {};
    ASSERT_EQ(::stat((dir / "theirs.bin").c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 4322u);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(dir / "theirs.bin"), std::string(32, '\x01'));
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

// A file that loads nothing is not passed off as loaded: the buffer stays
// as it was and the operator is told.
TEST(BufferFileLoadTest, FileThatLoadsNothingIsNotLoaded) {
    TempDirectory dir;
    WriteFile(dir / "notes.hex", "no records here\r\nS1040000AA51\r\n");
    DataImage buffer = ImageOf(0xEE);
    FileOutcome outcome = LoadBufferFile(buffer, 0xFF, IntelHexFileType, dir / "notes.hex");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(outcome.Problem, FileProblem::NoData);
    EXPECT_EQ(outcome.Detail, "no Intel hex data record in the file");
    EXPECT_EQ(buffer, ImageOf(0xEE));
    // An unknown type has no records to read.
    WriteFile(dir / "records.hex", ":0100000011EE\r\nS1040000AA51\r\n1122\r\n");
    outcome = LoadBufferFile(buffer, 0xFF, 9, dir / "records.hex");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::NoData);
    EXPECT_EQ(buffer, ImageOf(0xEE));
    // The same file as S-records loads, and says so.
    outcome = LoadBufferFile(buffer, 0xFF, MotorolaHexFileType, dir / "notes.hex");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(outcome.Status, "Hex File Loaded....");
    EXPECT_EQ(outcome.LastAddress, 0);
    EXPECT_EQ(buffer[0], 0xAA);
}

// The outcome of each way a load can fail, as the front ends tell them apart.
TEST(BufferFileLoadTest, RefusedChecksumAndOverfullFileAreFaultsWithTheirLine) {
    DataImage buffer = ImageOf(0);
    FileOutcome outcome =
        LoadBufferImage(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0100010022DD\r\n");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(outcome.Problem, FileProblem::ChecksumRefused);
    EXPECT_EQ(outcome.Line, 2);
    EXPECT_EQ(buffer[1], 0x00);

    int asked = 0;
    outcome = LoadBufferImage(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0100010022DD\r\n",
                              [&](const std::string&) { return ++asked > 0; });
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(buffer[1], 0x22);

    outcome = LoadBufferImage(buffer, 0x1F, AsciiHexFileType, "0102\r\n");
    EXPECT_EQ(outcome.LastAddress, 1);
    outcome = LoadBufferImage(buffer, 0x1F, MotorolaHexFileType, "S104000011EA\r\nS104002012C9\r\n");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::MoreThanDevice);
    EXPECT_EQ(outcome.Line, 2);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
}

// Read once: a FIFO gives its contents to the first reader only.
TEST(BufferFileLoadTest, FifoIsReadOnce) {
    TempDirectory dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(dir / "pipe", ":0100000011EE\r\n:00000001FF\r\n"); });
    DataImage buffer = ImageOf(0);
    const FileOutcome outcome = LoadBufferFile(buffer, 0xFF, IntelHexFileType, dir / "pipe");
    writer.join();
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(buffer[0], 0x11);
}

TEST(BufferFileLoadTest, EndlessFileIsRefused) {
    const FileBytes file = ReadBufferFile("/dev/zero");
    EXPECT_FALSE(file.Read);
    EXPECT_EQ(file.Detail, "it holds more than 16 MiB, far more than any buffer file");
    EXPECT_TRUE(file.Bytes.empty());
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
            EXPECT_EQ(outcome.Problem, FileProblem::CannotRead);
            EXPECT_EQ(outcome.Detail, path == dir.Path ? "Is a directory" : "No such file or directory");
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
        EXPECT_EQ(error.Line, 2);
        EXPECT_EQ(OpenDescriptors(), before) << "the file is still open while the error is reported";
    }
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x02);
    EXPECT_EQ(buffer[2], 0x03);
    EXPECT_EQ(buffer[3], 0xEE);
}

} // namespace
} // namespace quennel
