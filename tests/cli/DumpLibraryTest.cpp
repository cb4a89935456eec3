#include "cli/DumpLibrary.h"

#include "CliRunner.h"
#include "DumpShelf.h"

#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace quennel::cli {
namespace {

using test::DumpShelf;
using test::SeededImage;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

struct Recorder : LibraryVisitor {
    std::vector<std::string> Order;
    std::map<std::string, std::string> Images;
    std::map<std::string, std::string> Skips;
    int ProgressCalls = 0;

    void Image(const std::string& where, std::span<const uint8_t> bytes) override {
        Order.push_back(where);
        Images[where] = std::string(bytes.begin(), bytes.end());
    }
    void Skipped(const std::string& where, const std::string& reason) override { Skips[where] = reason; }
    void Progress(const LibraryTally&) override { ++ProgressCalls; }
};

class DumpLibraryTest : public ::testing::Test {
protected:
    DumpLibraryTest() : Shelf(Scratch() / "lib") {}
    ~DumpLibraryTest() override { std::filesystem::remove_all(Shelf.Root().parent_path()); }

    static std::filesystem::path Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quennel-library-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("no scratch folder");
        return pattern;
    }

    LibraryTally Scan(size_t size, const std::string& root = {}) {
        LibraryTally tally;
        std::string problem;
        EXPECT_TRUE(ScanDumpLibrary(root.empty() ? Lib() : root, size, Seen, tally, problem)) << problem;
        return tally;
    }
    std::string Lib() const { return Shelf.Root().string(); }

    DumpShelf Shelf;
    Recorder Seen;
};

TEST_F(DumpLibraryTest, ImagesOfTheSizeInFilesAndArchivesInNameOrder) {
    const std::string a = SeededImage(256, 1), b = SeededImage(256, 2), c = SeededImage(256, 3);
    Shelf.File("b.bin", b);
    Shelf.File("a.bin", a);
    Shelf.File("wrong size.bin", SeededImage(512, 4));
    Shelf.File("deep/er/still/c.prom", c);
    Shelf.Archive("boards/pacman.zip",
                  {{"82s126.1m", a}, {"roms/82s126.3m", c}, {"big.rom", SeededImage(4096, 5)}});
    Shelf.Archive("boards/Folders.ZIP", {{"only a folder/", ""}});

    const LibraryTally tally = Scan(256);
    const std::string lib = Lib();
    EXPECT_THAT(Seen.Order,
                ElementsAre(lib + "/a.bin", lib + "/b.bin", lib + "/boards/pacman.zip:82s126.1m",
                            lib + "/boards/pacman.zip:roms/82s126.3m", lib + "/deep/er/still/c.prom"));
    EXPECT_EQ(Seen.Images[lib + "/boards/pacman.zip:roms/82s126.3m"], c);
    EXPECT_EQ(Seen.Images[lib + "/deep/er/still/c.prom"], c);
    EXPECT_EQ(tally.Files, 4);
    EXPECT_EQ(tally.Archives, 2);
    EXPECT_EQ(tally.Members, 3);
    EXPECT_EQ(tally.Images, 5);
    EXPECT_EQ(tally.Skipped, 0);
    EXPECT_TRUE(Seen.Skips.empty());
    EXPECT_GE(Seen.ProgressCalls, 1);

    // A single archive, or a single file, is a library of its own.
    Seen = {};
    EXPECT_EQ(Scan(256, lib + "/boards/pacman.zip").Images, 2);
    EXPECT_EQ(Scan(512, lib + "/wrong size.bin").Images, 1);
}

TEST_F(DumpLibraryTest, BrokenArchivesAndUnreadableFilesAreSkippedOnceEach) {
    const std::string image = SeededImage(32, 6);
    Shelf.File("good.bin", image);
    Shelf.File("not a zip.zip", "PK\x03\x04 this is no archive");
    Shelf.Archive("whole.zip", {{"a.bin", image}});
    const std::string whole = test::ReadFile(Shelf.Root() / "whole.zip");
    std::filesystem::remove(Shelf.Root() / "whole.zip");
    Shelf.File("half.zip", whole.substr(0, whole.size() / 2)); // cut off before its central directory
    Shelf.DamagedArchive("crc.zip", {"first.bin", image}, {"second.bin", SeededImage(32, 7)});
    Shelf.Archive(
        "locked.zip",
        {{"open.bin", SeededImage(100, 8)}, {"secret.bin", image, true}, {"later.bin", image, true}});
    Shelf.Link("nowhere.bin", "missing.bin");
    Shelf.Link("circle.bin", "circle.bin");

    const LibraryTally tally = Scan(32);
    const std::string lib = Lib() + "/";
    EXPECT_EQ(tally.Skipped, 6);
    EXPECT_THAT(Seen.Skips, ElementsAre(Pair(lib + "circle.bin", "Too many levels of symbolic links"),
                                        Pair(lib + "crc.zip", "second.bin: CRC error"),
                                        Pair(lib + "half.zip", "Not a zip archive"),
                                        Pair(lib + "locked.zip", "secret.bin is encrypted"),
                                        Pair(lib + "not a zip.zip", "Not a zip archive"),
                                        Pair(lib + "nowhere.bin", "No such file or directory")));
    // What a damaged archive gave before its fault still counts.
    EXPECT_THAT(Seen.Order, ElementsAre(lib + "crc.zip:first.bin", lib + "good.bin"));
}

TEST_F(DumpLibraryTest, AnUnreadableFileOrFolderIsSkipped) {
    Shelf.File("closed/a.bin", SeededImage(32, 9));
    Shelf.File("locked.bin", SeededImage(32, 9));
    Shelf.File("open.bin", SeededImage(32, 9));
    namespace fs = std::filesystem;
    fs::permissions(Shelf.Root() / "locked.bin", fs::perms::none);
    fs::permissions(Shelf.Root() / "closed", fs::perms::none);
    // What went wrong, or nothing.
    auto scanAndCheck = [&]() -> std::string {
        const LibraryTally tally = Scan(32);
        if (tally.Skipped != 2 || Seen.Images.size() != 1)
            return "skipped " + std::to_string(tally.Skipped) + ", images " +
                   std::to_string(Seen.Images.size());
        for (const std::string name : {"/locked.bin", "/closed"})
            if (Seen.Skips[Lib() + name] != "Permission denied")
                return name + ": " + Seen.Skips[Lib() + name];
        return "";
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(scanAndCheck(), "");
    } else {
        // Root reads whatever the mode: the scan runs as an ordinary user.
        const fs::perms open = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(Shelf.Root().parent_path(), open);
        fs::permissions(Shelf.Root(), open);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            const std::string wrong = dropped ? scanAndCheck() : "cannot become nobody";
            if (!wrong.empty())
                std::fprintf(stderr, "%s\n", wrong.c_str());
            ::_exit(wrong.empty() ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    fs::permissions(Shelf.Root() / "closed", fs::perms::owner_all);
}

TEST_F(DumpLibraryTest, LinksThatLoopAreNotFollowedTwice) {
    const std::string image = SeededImage(64, 10);
    Shelf.File("sets/a/a.bin", image);
    Shelf.File("sets/b/b.bin", image);
    Shelf.Link("sets/a/up", "..");      // back to sets: a circle
    Shelf.Link("sets/b/self", ".");     // a folder into itself
    Shelf.Link("sets/b/again", "../a"); // a second way into a folder
    Shelf.Link("to top", Lib());        // the library itself
    const LibraryTally tally = Scan(64);
    const std::string lib = Lib();
    EXPECT_THAT(Seen.Order, ElementsAre(lib + "/sets/a/a.bin", lib + "/sets/b/b.bin"));
    EXPECT_EQ(tally.Images, 2);
    EXPECT_EQ(tally.Skipped, 0);
}

TEST_F(DumpLibraryTest, NothingInTheLibraryIsWritten) {
    const std::string image = SeededImage(128, 11);
    Shelf.File("a.bin", image);
    Shelf.Archive("set.zip", {{"x.bin", image}, {"y.bin", SeededImage(128, 12)}});
    Shelf.DamagedArchive("bad.zip", {"x.bin", image}, {"y.bin", SeededImage(128, 13)});
    const std::vector<std::string> before = test::Snapshot(Shelf.Root());
    Scan(128);
    EXPECT_EQ(Seen.Images.size(), 4u);
    EXPECT_EQ(test::Snapshot(Shelf.Root()), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Shelf.Root()), {}), 3);
}

TEST_F(DumpLibraryTest, ALibraryThatIsNotThereIsAProblem) {
    LibraryTally tally;
    std::string problem;
    EXPECT_FALSE(ScanDumpLibrary(Lib() + "/missing", 32, Seen, tally, problem));
    EXPECT_EQ(problem, "No such file or directory");
    EXPECT_FALSE(ScanDumpLibrary("/dev/null", 32, Seen, tally, problem));
    EXPECT_EQ(problem, "neither a folder nor a file");
}

} // namespace
} // namespace quennel::cli
