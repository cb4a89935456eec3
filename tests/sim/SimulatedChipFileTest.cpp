// The simulated chip's file: kept across runs, locked while in use, refused
// up front where it could not be saved, and never saved through a link
// someone planted.
#include "sim/SimulatedChipFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quennel {
namespace {

using Image = SimulatedChipFile::Image;

class SimulatedChipFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        Dir = std::filesystem::temp_directory_path() /
              ("quennel-chip-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(Dir);
        std::filesystem::create_directories(Dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(Dir, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(Dir, ignored);
    }
    std::string PathOf(const std::string& name) const { return (Dir / name).string(); }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static Image Pattern() {
        Image fuses{};
        for (size_t i = 0; i < fuses.size(); ++i)
            fuses[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        return fuses;
    }

    std::filesystem::path Dir;
};

TEST_F(SimulatedChipFileTest, ProgrammedChipSurvivesAReopenAndAMissingFileIsCreatedBlank) {
    Image fuses = Pattern();
    std::string error;
    {
        SimulatedChipFile file;
        ASSERT_TRUE(file.Open(PathOf("chip.bin"), fuses, error)) << error;
        for (uint8_t cell : fuses)
            ASSERT_EQ(cell, 0x00);
        // Created at once, so that it is locked from the start.
        EXPECT_EQ(Read(PathOf("chip.bin")), std::string(1024, '\0'));
        ASSERT_TRUE(file.Save(Pattern(), error)) << error;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"chip.bin"});

    SimulatedChipFile again;
    Image loaded{};
    ASSERT_TRUE(again.Open(PathOf("chip.bin"), loaded, error)) << error;
    EXPECT_EQ(loaded, Pattern());
}

// Two runs on one chip: the second is turned away, also after the first has
// saved, until the first lets go; another process is turned away the same.
TEST_F(SimulatedChipFileTest, SecondUserIsTurnedAwayUntilTheFirstReleases) {
    Image fuses{};
    std::string error;
    SimulatedChipFile first;
    ASSERT_TRUE(first.Open(PathOf("chip.bin"), fuses, error)) << error;

    SimulatedChipFile second;
    Image other = Pattern();
    EXPECT_FALSE(second.Open(PathOf("chip.bin"), other, error));
    EXPECT_EQ(error, PathOf("chip.bin") + " is in use by another quennel process");
    EXPECT_EQ(other, Pattern());

    ASSERT_TRUE(first.Save(Pattern(), error)) << error;
    EXPECT_FALSE(second.Open(PathOf("chip.bin"), other, error));
    EXPECT_EQ(error, PathOf("chip.bin") + " is in use by another quennel process");

    const pid_t child = ::fork();
    if (child == 0) {
        SimulatedChipFile elsewhere;
        Image image{};
        std::string reason;
        const bool turnedAway = !elsewhere.Open(PathOf("chip.bin"), image, reason) &&
                                reason.find("in use by another quennel process") != std::string::npos;
        ::_exit(turnedAway ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.Release();
    EXPECT_TRUE(second.Open(PathOf("chip.bin"), other, error)) << error;
    EXPECT_EQ(other, Pattern());
}

TEST_F(SimulatedChipFileTest, WhatCouldNotBeSavedIsRefusedWhenOpened) {
    Image fuses = Pattern();
    std::string error;
    SimulatedChipFile file;

    EXPECT_FALSE(file.Open(PathOf("no/such/chip.bin"), fuses, error));
    EXPECT_EQ(error, "folder " + PathOf("no/such") + " does not exist");
    EXPECT_FALSE(std::filesystem::exists(PathOf("no")));

    Write(PathOf("chip.bin"), std::string(1024, '\x01'));
    ::chmod(PathOf("chip.bin").c_str(), 0444);
    EXPECT_FALSE(file.Open(PathOf("chip.bin"), fuses, error));
    EXPECT_EQ(error, PathOf("chip.bin") + " is read-only");

    for (size_t size : {size_t(0), size_t(1023), size_t(1025)}) {
        Write(PathOf("odd.bin"), std::string(size, '\x55'));
        EXPECT_FALSE(file.Open(PathOf("odd.bin"), fuses, error)) << size;
        EXPECT_EQ(error,
                  PathOf("odd.bin") + " holds " + std::to_string(size) + " bytes, a chip image holds 1024");
    }

    ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(PathOf("pipe"), fuses, error));
    EXPECT_EQ(error, PathOf("pipe") + " is not a regular file");
    std::filesystem::create_directory(PathOf("taken.bin"));
    EXPECT_FALSE(file.Open(PathOf("taken.bin"), fuses, error));
    EXPECT_EQ(error, PathOf("taken.bin") + " is a folder, not a chip image");

    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(fuses, Pattern());
    EXPECT_EQ(Read(PathOf("chip.bin")), std::string(1024, '\x01'));
}

TEST_F(SimulatedChipFileTest, UnwritableFolderIsRefusedWhenOpened) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    std::filesystem::create_directory(PathOf("locked"));
    Write(PathOf("locked/chip.bin"), std::string(1024, '\0'));
    std::filesystem::permissions(PathOf("locked"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Image fuses{};
    std::string error;
    SimulatedChipFile file;
    EXPECT_FALSE(file.Open(PathOf("locked/chip.bin"), fuses, error));
    EXPECT_EQ(error, "folder " + PathOf("locked") + " is not writable, so the chip could not be saved");
}

// A link planted under the name of the new file is never followed, and a
// link to the chip file leads to the file it names.
TEST_F(SimulatedChipFileTest, LinksArePlantedInVainAndFollowedWhereTheyNameTheChip) {
    Write(PathOf("victim"), "precious");
    Write(PathOf("real.bin"), std::string(1024, '\0'));
    ::chmod(PathOf("real.bin").c_str(), 0640);
    std::filesystem::create_symlink("real.bin", PathOf("chip.bin"));
    for (const char* name : {"real.bin.saving", "real.bin.saving1", "chip.bin.saving", "chip.bin.part"})
        std::filesystem::create_symlink(PathOf("victim"), PathOf(name));

    Image fuses{};
    std::string error;
    SimulatedChipFile file;
    ASSERT_TRUE(file.Open(PathOf("chip.bin"), fuses, error)) << error;
    ASSERT_TRUE(file.Save(Pattern(), error)) << error;
    EXPECT_EQ(Read(PathOf("victim")), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("chip.bin")));
    const Image pattern = Pattern();
    EXPECT_EQ(Read(PathOf("real.bin")), std::string(pattern.begin(), pattern.end()));
    EXPECT_EQ(std::filesystem::status(PathOf("real.bin")).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    // Still locked through the link after the save.
    SimulatedChipFile second;
    EXPECT_FALSE(second.Open(PathOf("real.bin"), fuses, error));
    EXPECT_EQ(error, PathOf("real.bin") + " is in use by another quennel process");
}

} // namespace
} // namespace quennel
