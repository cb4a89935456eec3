// Where quennel-cli writes a file it never destroys what it does not own:
// devices and FIFOs are written in place, links lead to their targets, a
// file with several names keeps them, a replaced file keeps its mode.
#include "CliRunner.h"

#include <atomic>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace quennel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (!entry.path().filename().string().starts_with(".std"))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CliSaveTargets, DeviceNodesAreWrittenInPlaceNeverReplaced) {
    CliRunner cli;
    if (::mknod(cli.PathOf("null").c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0 ||
        ::mknod(cli.PathOf("full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)) != 0)
        GTEST_SKIP() << "device nodes cannot be made here";
    WriteFile(cli.PathOf("image.bin"), std::string(32, '\x5A'));

    CliResult run = cli.Run({"-t", "intel", "convert", "image.bin", "null"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(std::filesystem::is_character_file(cli.PathOf("null")));

    run = cli.Run({"-t", "bin", "convert", "image.bin", "full"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("quennel-cli: full: No space left on device\n"));
    EXPECT_TRUE(std::filesystem::is_character_file(cli.PathOf("full")));
    EXPECT_EQ(Names(cli.Folder()), (std::vector<std::string>{"full", "image.bin", "null"}));
}

TEST(CliSaveTargets, FifoIsWrittenInPlace) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), std::string(32, '\x33'));
    ASSERT_EQ(::mkfifo(cli.PathOf("out").c_str(), 0600), 0);
    std::string received;
    std::atomic<bool> done{false};
    std::thread reader([&] {
        received = ReadFile(cli.PathOf("out"));
        done = true;
    });
    const CliResult run = cli.Run({"-t", "bin", "convert", "image.bin", "out"});
    // Should the program never have opened it, a writer of our own lets the reader go.
    WaitUntil(
        [&] {
            const int descriptor = ::open(cli.PathOf("out").c_str(), O_WRONLY | O_NONBLOCK);
            if (descriptor >= 0)
                ::close(descriptor);
            return done.load();
        },
        std::chrono::seconds(30));
    reader.join();
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(received, std::string(32, '\x33'));
    EXPECT_TRUE(std::filesystem::is_fifo(cli.PathOf("out")));
    EXPECT_EQ(Names(cli.Folder()), (std::vector<std::string>{"image.bin", "out"}));
}

TEST(CliSaveTargets, LinksLeadToTheirTargetsAndAFileKeepsItsNamesAndMode) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), std::string(32, '\x44'));
    std::filesystem::create_directory(cli.PathOf("images"));
    WriteFile(cli.PathOf("images/real.hex"), "old");
    std::filesystem::create_symlink("images/real.hex", cli.PathOf("link.hex"));
    CliResult run = cli.Run({"convert", "image.bin", "link.hex"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(std::filesystem::is_symlink(cli.PathOf("link.hex")));
    EXPECT_THAT(ReadFile(cli.PathOf("images/real.hex")), StartsWith(":020000020000FC\r\n:10000000444444"));
    EXPECT_EQ(Names(cli.PathOf("images")), std::vector<std::string>{"real.hex"});

    WriteFile(cli.PathOf("a.bin"), "old contents");
    std::filesystem::create_hard_link(cli.PathOf("a.bin"), cli.PathOf("b.bin"));
    ::chmod(cli.PathOf("a.bin").c_str(), 0604);
    run = cli.Run({"convert", "image.bin", "a.bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("b.bin")), std::string(32, '\x44'));
    EXPECT_EQ(std::filesystem::hard_link_count(cli.PathOf("a.bin")), 2u);

    WriteFile(cli.PathOf("kept.bin"), "old");
    ::chmod(cli.PathOf("kept.bin").c_str(), 0604);
    ASSERT_EQ(cli.Run({"convert", "image.bin", "kept.bin"}).Status, 0);
    struct stat status {};
    ASSERT_EQ(::stat(cli.PathOf("kept.bin").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0604u);
    EXPECT_EQ(Names(cli.Folder()),
              (std::vector<std::string>{"a.bin", "b.bin", "image.bin", "images", "kept.bin", "link.hex"}));
}

} // namespace
} // namespace quennel::test
