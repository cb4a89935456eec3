#include "CliRunner.h"
#include "link/PortAccess.h"

#include <algorithm>
#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>
#include <string>
#include <thread>
#include <vector>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// Arguments that put a run on the simulated programmer with a chip kept in chip.bin.
std::vector<std::string> Sim(std::vector<std::string> more) {
    std::vector<std::string> arguments{"--port", "sim", "--sim-chip", "chip.bin", "-q"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

std::string Image(size_t cells, std::vector<std::pair<size_t, uint8_t>> set) {
    std::string image(cells, '\0');
    for (auto [cell, value] : set)
        image[cell] = static_cast<char>(value);
    return image;
}

struct DeviceCase {
    const char* Caption;
    size_t Cells;
    std::vector<std::pair<size_t, uint8_t>> Bits; // few: every pulse is a real 10 ms
};

class CliEveryClassTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(CliEveryClassTest, ProgramsVerifiesAndReadsBack) {
    const DeviceCase& c = GetParam();
    CliRunner cli;
    const std::string image = Image(c.Cells, c.Bits);
    WriteFile(cli.PathOf("image.bin"), image);

    CliResult run = cli.Run(Sim({"-d", c.Caption, "program", "image.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("The Trevalo Programmer was Found at 0378\n"));
    EXPECT_THAT(run.Out, HasSubstr("Programming Device from Buffer....\n"));
    EXPECT_THAT(run.Out, EndsWith("Device is Programmed....\n"));

    run = cli.Run(Sim({"-d", c.Caption, "verify", "image.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Device Verified to Buffer....\n"));

    run = cli.Run(Sim({"-d", c.Caption, "read", "back.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("back.bin")), image);
    // The chip file holds the whole 1k: the device's part is the image.
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(0, c.Cells), image);
}

INSTANTIATE_TEST_SUITE_P(Cli, CliEveryClassTest,
                         ::testing::Values(DeviceCase{"82s123", 32, {{0x00, 0x81}, {0x1F, 0x40}}},
                                           DeviceCase{"74S288", 32, {{0x10, 0x03}}},
                                           DeviceCase{"82S129", 256, {{0x01, 0x09}, {0xFF, 0x02}}},
                                           DeviceCase{"74S571", 512, {{0x1A5, 0x04}, {0x0F, 0x01}}},
                                           DeviceCase{"74S472", 512, {{0x100, 0x80}, {0x1FF, 0x01}}},
                                           DeviceCase{"82S181", 1024, {{0x001, 0x10}, {0x201, 0x02}}}),
                         [](const auto& info) { return std::string(info.param.Caption); });

TEST(Cli, BlankCheckOnBlankAndProgrammedChips) {
    CliRunner cli;
    CliResult run = cli.Run(Sim({"-d", "82S123", "blank"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Checking to see if Device is erased....\nDevice is Erased....\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Port Address"))); // the search's diagnostics are for 'detect'

    WriteFile(cli.PathOf("image.bin"), Image(32, {{0x1A, 0x01}, {0x03, 0x80}}));
    ASSERT_EQ(cli.Run(Sim({"-d", "82S123", "program", "image.bin"})).Status, 0);
    run = cli.Run(Sim({"-d", "82S123", "blank"}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(
        run.Out,
        EndsWith(
            "0003  EXPECTED-00 FOUND-80\n001A  EXPECTED-00 FOUND-01\n"
            "Diagnosis: no single-line pattern; the part differs in 2 cells: 2 bits read 1 where 0 is wanted "
            "(never to be mended)\nDevice is NOT Erased....\n"));
}

TEST(Cli, CompareAndVerifyFailures) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), Image(32, {{0x05, 0x05}}));
    ASSERT_EQ(cli.Run(Sim({"-d", "82S123", "program", "image.bin"})).Status, 0);

    WriteFile(cli.PathOf("more.bin"), Image(32, {{0x05, 0x07}, {0x06, 0xFF}}));
    CliResult run = cli.Run(Sim({"-d", "82S123", "compare", "more.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out,
                EndsWith("Comparing Device for Re-Progamablity....\nDevice Can be Reprogrammed....\n"));

    WriteFile(cli.PathOf("less.bin"), Image(32, {{0x05, 0x03}}));
    run = cli.Run(Sim({"-d", "82S123", "compare", "less.bin"}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Out, EndsWith("Device CAN NOT be Reprogrammed....\n"));

    run = cli.Run(Sim({"-d", "82S123", "verify", "more.bin"}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Out,
                EndsWith("0005  EXPECTED-07 FOUND-05\n0006  EXPECTED-FF FOUND-00\n"
                         "Diagnosis: no single-line pattern; the part differs in 2 cells: 9 bits read 0 "
                         "where 1 is wanted (still to be blown by a Program)\n"
                         "Device Did NOT Verify to Buffer....\n"));

    // Programming cannot take bit 2 of cell 5 back: the compare run first
    // stops it before the first pulse.
    const std::string chip = ReadFile(cli.PathOf("chip.bin"));
    WriteFile(cli.PathOf("less-and-more.bin"), Image(32, {{0x05, 0x03}, {0x1F, 0xFF}}));
    run = cli.Run(Sim({"-d", "82S123", "--trace", "bus.trace", "program", "less-and-more.bin"}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Out,
                EndsWith("Comparing Device for Re-Progamablity....\nDevice CAN NOT be Reprogrammed....\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Programming Device")));
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")), chip);
    EXPECT_THAT(ReadFile(cli.PathOf("bus.trace")), Not(HasSubstr(" W 0378 E1"))); // no pulse began

    // Without the compare, the pulses are given and the verify finds the fault.
    run = cli.Run(Sim({"-d", "82S123", "--no-compare", "program", "less.bin"}));
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Out, Not(HasSubstr("Comparing")));
    EXPECT_THAT(run.Out,
                EndsWith("0005  EXPECTED-03 FOUND-07\n"
                         "Diagnosis: no single-line pattern; the part differs in 1 cell: 1 bit reads 1 "
                         "where 0 is wanted (never to be mended)\n"
                         "Device Did NOT Verify to Buffer....\nDevice Did NOT Program....\n"));
}

// Every format into every other and back to binary gives the same bytes.
TEST(Cli, ConvertsBetweenEveryPairOfFormats) {
    CliRunner cli;
    std::string image(256, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 37 + 11);
    WriteFile(cli.PathOf("source.bin"), image);
    const std::vector<std::string> names{"a.bin", "a.hex", "a.s19", "a.txt"};
    for (const std::string& name : names)
        ASSERT_EQ(cli.Run({"-d", "74S471", "convert", "source.bin", name}).Status, 0) << name;
    EXPECT_THAT(ReadFile(cli.PathOf("a.hex")), StartsWith(":020000020000FC\r\n:10000000"));
    EXPECT_THAT(ReadFile(cli.PathOf("a.s19")), StartsWith("S214000000"));
    for (const std::string& from : names) {
        for (const std::string& to : names) {
            const std::string middle = "m-" + to;
            CliResult run = cli.Run({"-d", "74S471", "convert", from, middle});
            ASSERT_EQ(run.Status, 0) << from << " -> " << to << ": " << run.Err;
            run = cli.Run({"-d", "74S471", "convert", middle, "-t", "bin", "back.out"});
            ASSERT_EQ(run.Status, 0) << run.Err;
            EXPECT_EQ(ReadFile(cli.PathOf("back.out")), image) << from << " -> " << to;
        }
    }
}

TEST(Cli, ChecksumCrc32AndSha1OfKnownImages) {
    CliRunner cli;
    WriteFile(cli.PathOf("ff.bin"), std::string(32, '\xFF'));
    CliResult run = cli.Run({"-d", "82S23", "checksum", "ff.bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "CheckSum=1FE0\nCRC32=ff6cab0b\nSHA-1=9e5175008751d08f361488c9927086b276b965fa\n");

    // A 4-bit part's image: its bytes 0x00..0x0F, here twice 00 to 0F.
    std::string nibbles;
    for (int i = 0; i < 32; ++i)
        nibbles += static_cast<char>(i & 0x0F);
    WriteFile(cli.PathOf("image.bin"), Image(32, {}));
    WriteFile(cli.PathOf("nibbles.bin"), nibbles);
    ASSERT_EQ(cli.Run(Sim({"-d", "82S123", "program", "nibbles.bin"})).Status, 0);
    run = cli.Run(Sim({"-d", "82S123", "read", "back.hex"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, EndsWith("CheckSum=00F0\nSaving Buffer to Hex File....\nHex File Saved....\n"
                                  "CRC32=ab4f6165\nSHA-1=f98d518c0fd93e5159aaea5f4347e3ccaf535a9b\n"));
    run = cli.Run({"-d", "82S123", "checksum", "back.hex"});
    EXPECT_THAT(run.Out, HasSubstr("CRC32=ab4f6165\n"));

    // A command that needs no programmer leaves the simulated chip as it was.
    const std::string chip = ReadFile(cli.PathOf("chip.bin"));
    ASSERT_EQ(cli.Run(Sim({"-d", "82S123", "checksum", "back.hex"})).Status, 0);
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")), chip);
}

TEST(Cli, DetectionReportsModelAndAbsence) {
    CliRunner cli;
    CliResult run = cli.Run({"--port", "sim", "--sim-model", "1", "detect"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("Port Address - 0278 Expected - A5 / Found - "));
    EXPECT_THAT(run.Out, HasSubstr("Port Address - 0378 Expected - 5A / Found - 5A\n"));
    EXPECT_THAT(run.Out, EndsWith("The Trevalo Programmer was Found at 0378  Old TP\n"));
}

// A machine without a printer port where the program looks (this one, unless
// its kernel has a port at 0x3BC) gets one line that says why, not a search.
TEST(Cli, ADeviceCommandWithoutAUsablePortSaysWhyInOneLine) {
    const uint16_t only[] = {0x3BC};
    std::optional<std::string> problem = FindPortAccessProblem(HostSystem(), only);
    if (!problem)
        GTEST_SKIP() << "this machine has a usable port at 0x3BC";
    ASSERT_THAT(*problem, StartsWith("No parallel port"));

    CliRunner cli;
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--port", "0x3bc", "detect"},
                                                      {"--port", "0x3bc", "-d", "82S129", "blank"}}) {
        CliResult run = cli.Run(arguments);
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Err, "quennel-cli: " + *problem + "\n");
        EXPECT_EQ(run.Out, "");
    }
    // Commands that need no port are not held up.
    EXPECT_EQ(cli.Run({"devices"}).Status, 0);
}

TEST(Cli, BadUsageAndUnreadableFilesExitWithTwoAndWriteNothing) {
    CliRunner cli;
    CliResult run = cli.Run(Sim({"-d", "82S999", "blank"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("unknown device '82S999'"));
    EXPECT_THAT(run.Err, HasSubstr("82S129"));
    EXPECT_EQ(run.Out, "");
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin"))); // nothing touched

    run = cli.Run(Sim({"blank"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("-d NAME"));

    EXPECT_EQ(cli.Run({"--port", "0x3bd", "detect"}).Status, 2);
    EXPECT_EQ(cli.Run({"-d", "82S123", "verify"}).Status, 2); // FILE missing
    EXPECT_EQ(cli.Run({"--frobnicate", "devices"}).Status, 2);
    EXPECT_EQ(cli.Run({"--sim-model", "3", "detect"}).Status, 2);

    run = cli.Run(Sim({"-d", "82S123", "program", "missing.hex"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("missing.hex: No such file or directory"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin")));

    WriteFile(cli.PathOf("junk.hex"), "hello\r\n");
    run = cli.Run({"-d", "82S123", "checksum", "junk.hex"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("cannot tell its format"));

    WriteFile(cli.PathOf("bad.hex"), ":10000000GG0102030405060708090A0B0C0D0E0F78\r\n");
    run = cli.Run({"-d", "82S123", "convert", "bad.hex", "out.bin"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("'$GG' is not a valid integer value"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("out.bin")));

    WriteFile(cli.PathOf("good.bin"), std::string(32, '\x11'));
    run = cli.Run({"-d", "82S123", "convert", "good.bin", "no-such-folder/out.hex"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("No such file or directory"));
    run = cli.Run({"-d", "82S123", "convert", "good.bin", "out.rom"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("out.rom")));

    // An old file is never destroyed by a failed write.
    WriteFile(cli.PathOf("keep.hex"), "old");
    run = cli.Run({"-d", "82S123", "convert", "bad.hex", "keep.hex"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(ReadFile(cli.PathOf("keep.hex")), "old");
}

// Usage that names nothing, or something unknown, says what it was.
TEST(Cli, EmptyOptionsUnknownCommandsAndLostTracesAreBadUsage) {
    CliRunner cli;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--port", "", "detect"}, "--port: an empty value names no port"},
        {{"--port", "sim", "--sim-model", "", "detect"}, "--sim-model: '' is no model; use 1 or 2"},
        {{"--port", "sim", "--sim-chip", "", "detect"}, "--sim-chip: an empty value names no file"},
        {{"-d", "", "blank"}, "--device: an empty value names no device"},
        {{"frob", "x.bin"}, "unknown command 'frob'"},
        {{"-d", "82S123", "frob"}, "unknown command 'frob'"},
        {{"--port", "sim", "--trace", "no-such-folder/bus.trace", "detect"},
         "quennel-cli: trace no-such-folder/bus.trace: No such file or directory"},
    };
    for (const auto& [arguments, complaint] : cases) {
        const CliResult run = cli.Run(arguments);
        EXPECT_EQ(run.Status, 2) << complaint;
        EXPECT_THAT(run.Err, HasSubstr(complaint));
        EXPECT_THAT(run.Out, Not(HasSubstr("Found"))) << complaint;
    }
    // A trace that cannot be written to the end is not lost in silence.
    const CliResult run = cli.Run({"--port", "sim", "--trace", "/dev/full", "detect"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("quennel-cli: trace /dev/full is incomplete: No space left on device"));
}

TEST(Cli, HelpAndVersion) {
    CliRunner cli;
    CliResult run = cli.Run({"--help"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_THAT(run.Out, HasSubstr("convert"));
    run = cli.Run({"--version"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_THAT(run.Out, StartsWith("quennel-cli "));
    run = cli.Run({"devices"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_THAT(run.Out, StartsWith("Device   Organisation  Class Seating\n"));
    EXPECT_THAT(run.Out, HasSubstr("\n74S471   256 X 8       5     20-pin adapter socket\n"));
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 28); // a heading and 27 devices
}

} // namespace
} // namespace quennel::test
