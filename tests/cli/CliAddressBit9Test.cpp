// Programming a 1k x 8 part from the command line on a simulated programmer
// whose address bit 9 does not reach the part (--sim-fault a9-open): the run
// stops after the first upper-half pulse, with one wrong fuse in the lower
// half and none in the upper one; on a sound programmer the same image
// programs whole.

#include "CliRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Image() {
    std::string image(1024, '\0');
    image[0x005] = '\x01';
    image[0x205] = '\x02';
    image[0x3FF] = '\x40';
    return image;
}

TEST(CliAddressBit9, WithoutBit9TheRunStopsAfterOneUpperHalfPulse) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), Image());
    CliResult run = cli.Run(SimArguments({"--sim-fault", "a9-open", "-d", "82S181", "program", "image.bin"}));
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_THAT(run.Out,
                HasSubstr("0205  BIT 1 PULSED, FOUND IN 0005: address bit 9 does not reach the device; "
                          "programming stopped after that pulse\n"));
    EXPECT_THAT(
        run.Out,
        HasSubstr("Programming Device from Buffer....\nAddress Bit 9 Does Not Reach the Device....\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Verifying")));

    const std::string chip = ReadFile(cli.PathOf("chip.bin"));
    ASSERT_EQ(chip.size(), 1024U);
    EXPECT_EQ(chip[0x005], '\x03') << "bit 1 landed in the lower half";
    EXPECT_EQ(chip.substr(0x200), std::string(0x200, '\0'));
    EXPECT_EQ(chip.substr(0x006, 0x1FA), std::string(0x1FA, '\0'));
}

TEST(CliAddressBit9, OnASoundProgrammerTheImageProgramsWhole) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), Image());
    CliResult run = cli.Run(SimArguments({"-d", "82S181", "program", "image.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Device is Programmed....\n"));
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")), Image());
}

TEST(CliAddressBit9, TheFaultIsOnlyForTheSimulatedProgrammer) {
    CliRunner cli;
    CliResult run = cli.Run({"--sim-fault", "a9-open", "-d", "82S181", "blank"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("--sim-fault needs --port sim"));
    run = cli.Run({"--port", "sim", "--sim-fault", "smoke", "detect"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("smoke"));
}

} // namespace
} // namespace quennel::test
