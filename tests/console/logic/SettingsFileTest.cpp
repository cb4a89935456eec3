#include "console/logic/SettingsFile.h"

#include "buffer/IntegerText.h"
#include "buffer/TempDirectory.h"

#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quennel {
namespace {

using test::ReadFile;
using test::TempDirectory;
using test::WriteFile;

std::string ConversionMessage(const SettingsLines& lines, int k) {
    try {
        lines.Number(k);
    } catch (const EConvertError& error) {
        return error.what();
    }
    return "converted";
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(SettingsFileTest, LivesInTheStartDirectory) {
    EXPECT_EQ(SettingsFilePath("/home/op/bench"), "/home/op/bench/Quennel.Cfg");
    EXPECT_EQ(SettingsFilePath("/"), "//Quennel.Cfg");

    TempDirectory directory;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(directory.Path);
    const std::string captured = CurrentSettingsDirectory();
    std::filesystem::current_path("/");
    const std::string root = CurrentSettingsDirectory();
    std::filesystem::current_path(before);
    EXPECT_EQ(captured, std::filesystem::canonical(directory.Path).string());
    EXPECT_EQ(root, "/");
}

TEST(SettingsFileTest, LinesEndAtCrLfOrAtALoneCrOrLf) {
    const SettingsLines plain("1\r\n2\r\n");
    EXPECT_EQ(plain.Count(), 2);
    EXPECT_EQ(plain.Line(1), "1");
    EXPECT_EQ(plain.Line(2), "2");
    EXPECT_EQ(plain.Line(3), "");

    // As a Linux editor writes it: LF only, the last line without one too.
    const SettingsLines unix("12\n1\n511\n700\n500\n-8\n100\n1\n/home/op/rom.hex");
    ASSERT_EQ(unix.Count(), 9);
    EXPECT_EQ(unix.Number(1), 12);
    EXPECT_EQ(unix.Number(8), 1);
    EXPECT_EQ(unix.Line(9), "/home/op/rom.hex");

    const SettingsLines odd("a\nb\rc\r\r\n\nd\n\rlast");
    EXPECT_EQ(odd.Count(), 8);
    EXPECT_EQ(odd.Line(1), "a");
    EXPECT_EQ(odd.Line(2), "b"); // a lone CR ends it
    EXPECT_EQ(odd.Line(3), "c");
    EXPECT_EQ(odd.Line(4), ""); // CR LF is one line end
    EXPECT_EQ(odd.Line(5), "");
    EXPECT_EQ(odd.Line(6), "d");
    EXPECT_EQ(odd.Line(7), ""); // LF CR is two
    EXPECT_EQ(odd.Line(8), "last"); // the end of the file ends the last line
    EXPECT_EQ(SettingsLines("x\r\r").Count(), 2);
    EXPECT_EQ(SettingsLines("unended").Line(1), "unended");

    EXPECT_EQ(SettingsLines("").Count(), 0);
    EXPECT_EQ(SettingsLines("").Line(1), "");
    const SettingsLines many("1\r2\n3\r4\r5\r6\r7\r8\r9\r10\r");
    EXPECT_EQ(many.Count(), 9);
    EXPECT_EQ(many.Line(9), "9");
    EXPECT_EQ(many.Line(10), "");
    EXPECT_EQ(many.Line(0), "");
}

TEST(SettingsFileTest, NumberLinesConvertOrNameTheLineInTheError) {
    const SettingsLines lines("  -12\r$1FF\r $3ff\r+7\r12 \r\r0x10\r5\t\r1 2\r");
    EXPECT_EQ(lines.Number(1), -12);
    EXPECT_EQ(lines.Number(2), 511);
    EXPECT_EQ(lines.Number(3), 1023);
    EXPECT_EQ(lines.Number(4), 7);
    EXPECT_EQ(ConversionMessage(lines, 5), "'12 ' is not a valid integer value");
    EXPECT_EQ(ConversionMessage(lines, 6), "'' is not a valid integer value");
    EXPECT_EQ(ConversionMessage(lines, 7), "'0x10' is not a valid integer value");
    EXPECT_EQ(ConversionMessage(lines, 8), "'5\t' is not a valid integer value");
    EXPECT_EQ(ConversionMessage(lines, 9), "'1 2' is not a valid integer value");
    EXPECT_EQ(ConversionMessage(SettingsLines("1\r2\r"), 3), "'' is not a valid integer value");
}

TEST(SettingsFileTest, AnEightLineFileReadsWithAnEmptyNinthLine) {
    TempDirectory directory;
    const auto path = directory / "Quennel.Cfg";
    WriteFile(path, "12\r\n1\r\n511\r\n700\r\n500\r\n-8\r\n100\r\n1\r\n");
    const int descriptors = OpenDescriptors();
    const std::optional<SettingsLines> lines = SettingsLines::Read(path);
    ASSERT_TRUE(lines);
    EXPECT_EQ(OpenDescriptors(), descriptors); // released straight away
    EXPECT_EQ(lines->Count(), 8);
    const int32_t expected[] = {12, 1, 511, 700, 500, -8, 100, 1};
    for (int k = DeviceRowLine; k <= ButtonSizeLine; ++k)
        EXPECT_EQ(lines->Number(k), expected[k - 1]) << k;
    EXPECT_EQ(lines->Line(LastFileLine), "");
}

TEST(SettingsFileTest, NoRegularFileReadsAsNoSettings) {
    TempDirectory directory;
    EXPECT_FALSE(SettingsLines::Read(directory / "Quennel.Cfg"));
    std::filesystem::create_directory(directory / "Quennel.Cfg");
    EXPECT_FALSE(SettingsLines::Read(directory / "Quennel.Cfg"));

    // An empty file is there: its first line is empty and fails to convert.
    WriteFile(directory / "Empty.Cfg", "");
    const std::optional<SettingsLines> empty = SettingsLines::Read(directory / "Empty.Cfg");
    ASSERT_TRUE(empty);
    EXPECT_EQ(ConversionMessage(*empty, 1), "'' is not a valid integer value");
}

TEST(SettingsFileTest, OutOfRangeValuesAreMended) {
    for (auto [stored, used] : {std::pair{-1, 0},
                                {0, 0},
                                {0x1F, 0x1F},
                                {0x1FF, 0x1FF},
                                {1023, 1023},
                                {1024, 1023},
                                {INT32_MAX, 1023},
                                {INT32_MIN, 0}})
        EXPECT_EQ(DeviceEndFromSettings(stored), used) << stored;
    for (auto [stored, used] : {std::pair{-1, 0}, {0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 0}, {INT32_MAX, 0}})
        EXPECT_EQ(FileTypeFromSettings(stored), used) << stored;
}

TEST(SettingsFileTest, WritesNineCrLfLinesOfSignedDecimal) {
    Settings settings{12, 1, 511, 662, 476, -8, 100, 1, "/home/op/roms/boot 2.hex"};
    EXPECT_EQ(SettingsText(settings),
              "12\r\n1\r\n511\r\n662\r\n476\r\n-8\r\n100\r\n1\r\n/home/op/roms/boot 2.hex\r\n");
    EXPECT_EQ(SettingsText(Settings{INT32_MIN, 0, 0, INT32_MAX, 0, 0, 0, 0, ""}),
              "-2147483648\r\n0\r\n0\r\n2147483647\r\n0\r\n0\r\n0\r\n0\r\n\r\n");
}

TEST(SettingsFileTest, WrittenFileReplacesTheOldOneAndReadsBack) {
    TempDirectory directory;
    const auto path = directory / "Quennel.Cfg";
    WriteFile(path, std::string(5000, 'x'));
    const Settings settings{31, 3, 1023, 800, 600, -20, 1930, 0, "/media/usb/rom.bin"};
    ASSERT_TRUE(WriteSettingsFile(path, settings));
    EXPECT_EQ(ReadFile(path), SettingsText(settings));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Path), {}),
              1); // nothing left beside it

    const std::optional<SettingsLines> lines = SettingsLines::Read(path);
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->Count(), 9);
    const int32_t numbers[] = {31, 3, 1023, 800, 600, -20, 1930, 0};
    for (int k = DeviceRowLine; k <= ButtonSizeLine; ++k)
        EXPECT_EQ(lines->Number(k), numbers[k - 1]) << k;
    EXPECT_EQ(lines->Line(LastFileLine), "/media/usb/rom.bin");

    EXPECT_FALSE(WriteSettingsFile(directory / "gone" / "Quennel.Cfg", settings));
}

// The file the start-up could not use is moved aside, never over an
// earlier copy, and without opening it (a FIFO would block an open).
TEST(SettingsFileTest, AnUnusableFileIsKeptAside) {
    TempDirectory directory;
    const auto path = directory / "Quennel.Cfg";
    WriteFile(path, "12 \r\nhand edits\r\n");
    const std::optional<std::filesystem::path> first = KeepUnusableSettings(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, directory / "Quennel.Cfg.bad");
    EXPECT_EQ(ReadFile(*first), "12 \r\nhand edits\r\n");
    EXPECT_FALSE(std::filesystem::exists(path));

    WriteFile(path, "second");
    const std::optional<std::filesystem::path> second = KeepUnusableSettings(path);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, directory / "Quennel.Cfg.bad.2");
    EXPECT_EQ(ReadFile(*first), "12 \r\nhand edits\r\n");
    EXPECT_EQ(ReadFile(*second), "second");

    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const std::optional<std::filesystem::path> fifo = KeepUnusableSettings(path);
    ASSERT_TRUE(fifo);
    EXPECT_TRUE(std::filesystem::is_fifo(*fifo));

    EXPECT_FALSE(KeepUnusableSettings(directory / "gone" / "Quennel.Cfg"));
}

} // namespace
} // namespace quennel
