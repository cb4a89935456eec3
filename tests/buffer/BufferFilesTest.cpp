#include "buffer/BufferFiles.h"

#include "BufferTextHelpers.h"
#include "LoadFile.h"
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
using test::LoadFile;
using test::LoadTextFile;
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
    for (int32_t type : {4, -1, 9}) {
        const FileOutcome outcome = SaveBufferFile(ImageOf(0), 0x1F, type, dir / "old.hex");
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
    FileOutcome outcome = LoadFile(buffer, 0xFF, IntelHexFileType, dir / "notes.hex");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(outcome.Problem, FileProblem::NoData);
    EXPECT_EQ(outcome.Detail, "no Intel hex data record in the file");
    EXPECT_EQ(buffer, ImageOf(0xEE));
    // An unknown type has no records to read.
    WriteFile(dir / "records.hex", ":0100000011EE\r\nS1040000AA51\r\n1122\r\n");
    outcome = LoadFile(buffer, 0xFF, 9, dir / "records.hex");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::NoData);
    EXPECT_EQ(buffer, ImageOf(0xEE));
    // The same file as S-records loads, and says so.
    outcome = LoadFile(buffer, 0xFF, MotorolaHexFileType, dir / "notes.hex");
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(outcome.Status, "Hex File Loaded....");
    EXPECT_EQ(outcome.LastAddress, 0);
    EXPECT_EQ(outcome.FileType, MotorolaHexFileType);
    EXPECT_EQ(buffer[0], 0xAA);
}

// The outcome of each way a load can fail, as the front ends tell them
// apart; and a load is all or nothing: one refused part-way leaves every
// byte of the buffer as it was, the records before the refusal included.
TEST(BufferFileLoadTest, EveryRefusalLeavesTheBufferAsItWas) {
    const DataImage before = ImageOf(0x5A);
    DataImage buffer = before;
    FileOutcome outcome = LoadTextFile(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0100010022DD\r\n");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(outcome.Problem, FileProblem::ChecksumRefused);
    EXPECT_EQ(outcome.Line, 2);
    EXPECT_EQ(buffer, before) << "the first record stayed";

    // Answered No: the same.
    int asked = 0;
    outcome = LoadTextFile(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0100010022DD\r\n",
                           [&](const std::string&) { return ++asked < 0; });
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(outcome.Problem, FileProblem::ChecksumRefused);
    EXPECT_EQ(buffer, before);

    // A record over a cell the load filled.
    outcome = LoadTextFile(buffer, 0x1F, MotorolaHexFileType, "S104000011EA\r\nS104002012C9\r\n");
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::MoreThanDevice);
    EXPECT_EQ(outcome.Line, 2);
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(buffer, before);

    // A field that is not hex: the error names its line, nothing is stored.
    try {
        LoadTextFile(buffer, 0xFF, AsciiHexFileType, "0102\r\n03G4\r\n0506\r\n");
        ADD_FAILURE() << "the load ran to its end";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'$G4' is not a valid integer value");
        EXPECT_EQ(error.Line, 2);
    }
    EXPECT_EQ(buffer, before);

    // Let pass, the same file loads whole.
    outcome = LoadTextFile(buffer, 0xFF, IntelHexFileType, ":0100000011EE\r\n:0100010022DD\r\n",
                           [&](const std::string&) { return true; });
    EXPECT_FALSE(outcome.Fault);
    EXPECT_EQ(buffer[0], 0x11);
    EXPECT_EQ(buffer[1], 0x22);
    EXPECT_EQ(buffer[2], 0x5A);
    outcome = LoadTextFile(buffer, 0x1F, AsciiHexFileType, "0102\r\n");
    EXPECT_EQ(outcome.LastAddress, 1);
}

// A file whose format nobody named is told from its bytes, once read.
TEST(BufferFileLoadTest, TheFormatCanBeToldFromTheBytes) {
    TempDirectory dir;
    WriteFile(dir / "image", "S104000011EA\r\n");
    LoadRequest request;
    request.DeviceEnd = 0xFF;
    int told = -1;
    request.TellType = [](std::string_view bytes, std::string& reason) -> std::optional<int32_t> {
        if (bytes.starts_with("S1"))
            return MotorolaHexFileType;
        reason = "cannot tell";
        return std::nullopt;
    };
    request.BeforeLoading = [&](int32_t fileType) { told = fileType; };
    DataImage buffer = ImageOf(0);
    FileOutcome outcome = LoadBufferFile(buffer, dir / "image", request);
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(told, MotorolaHexFileType);
    EXPECT_EQ(outcome.FileType, MotorolaHexFileType);
    EXPECT_EQ(buffer[0], 0x11);

    WriteFile(dir / "image", "???");
    told = -1;
    outcome = LoadBufferFile(buffer, dir / "image", request);
    EXPECT_EQ(outcome.Problem, FileProblem::UnknownFormat);
    EXPECT_EQ(outcome.Detail, "cannot tell");
    EXPECT_EQ(told, -1);
}

// Read once: a FIFO gives its contents to the first reader only. The
// window takes files only, and refuses a FIFO at once instead of waiting
// for a writer that may never come.
TEST(BufferFileLoadTest, AFifoIsReadOnceAsAStreamAndRefusedAsAFile) {
    TempDirectory dir;
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(dir / "pipe", ":0100000011EE\r\n:00000001FF\r\n"); });
    DataImage buffer = ImageOf(0);
    FileOutcome outcome = LoadFile(buffer, 0xFF, IntelHexFileType, dir / "pipe", {}, FileSources::Streams);
    writer.join();
    EXPECT_FALSE(outcome.Fault) << outcome.Detail;
    EXPECT_EQ(buffer[0], 0x11);

    buffer = ImageOf(0x77);
    outcome = LoadFile(buffer, 0xFF, IntelHexFileType, dir / "pipe"); // no writer: would wait for ever
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::NotAFile);
    EXPECT_EQ(outcome.Detail, "it is a FIFO, not a file that ends; save it to a file first");
    EXPECT_EQ(outcome.Status, "File Could Not be Loaded....");
    EXPECT_EQ(buffer, ImageOf(0x77));
    outcome = LoadFile(buffer, 0xFF, BinaryFileType, "/dev/zero");
    EXPECT_EQ(outcome.Problem, FileProblem::NotAFile);
    EXPECT_EQ(outcome.Detail, "it is a character device, not a file that ends; save it to a file first");
}

TEST(BufferFileLoadTest, EndlessStreamIsRefused) {
    DataImage buffer = ImageOf(0x77);
    const FileOutcome outcome = LoadFile(buffer, 0xFF, BinaryFileType, "/dev/zero", {}, FileSources::Streams);
    EXPECT_TRUE(outcome.Fault);
    EXPECT_EQ(outcome.Problem, FileProblem::CannotRead);
    EXPECT_EQ(outcome.Detail, "it holds more than 16 MiB, far more than any buffer file");
    EXPECT_EQ(buffer, ImageOf(0x77));
}

TEST(BufferFileLoadTest, VanishedOrUnreadableFileIsReportedAndChangesNothing) {
    TempDirectory dir;
    WriteFile(dir / "gone.hex", ":0100000011EE\r\n");
    std::filesystem::remove(dir / "gone.hex");
    for (int32_t type : {BinaryFileType, IntelHexFileType, MotorolaHexFileType, AsciiHexFileType}) {
        for (const auto& path : {dir / "gone.hex", dir.Path}) {
            DataImage buffer = ImageOf(0xEE);
            const FileOutcome outcome = LoadFile(buffer, 0xFF, type, path);
            EXPECT_TRUE(outcome.Fault) << path << " type " << type;
            EXPECT_EQ(outcome.Status, "File Could Not be Loaded....") << path << " type " << type;
            EXPECT_EQ(outcome.Problem, FileProblem::CannotRead);
            EXPECT_EQ(outcome.Detail, path == dir.Path ? "Is a directory" : "No such file or directory");
            EXPECT_EQ(buffer, ImageOf(0xEE));
        }
    }
}

TEST(BufferFileLoadTest, ConversionFailureClosesTheFile) {
    TempDirectory dir;
    WriteFile(dir / "bad.hex", "0102\r\n03G4\r\n0506\r\n");
    DataImage buffer = ImageOf(0xEE);
    const size_t before = OpenDescriptors();
    try {
        LoadFile(buffer, 0xFF, AsciiHexFileType, dir / "bad.hex");
        FAIL() << "the load ran to its end";
    } catch (const EConvertError& error) {
        EXPECT_EQ(error.Line, 2);
        EXPECT_EQ(OpenDescriptors(), before) << "the file is still open while the error is reported";
    }
    EXPECT_EQ(buffer, ImageOf(0xEE));
}

} // namespace
} // namespace quennel
