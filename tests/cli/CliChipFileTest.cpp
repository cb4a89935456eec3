// The simulated chip file on the command line: one run at a time, refused
// before the pass where it could not be saved, never saved through a link
// someone planted.
#include "CliRunner.h"
#include "TraceReading.h"

#include <bit>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

int BlownFuses(const std::string& chip) {
    int count = 0;
    for (char cell : chip)
        count += std::popcount(static_cast<unsigned char>(cell));
    return count;
}

// Today's fault: two runs on one chip both ended well and the fuses of the
// first were lost to the second's save.
TEST(CliChipFile, SecondRunOnTheSameChipIsTurnedAway) {
    CliRunner first;
    WriteFile(first.PathOf("full.bin"), std::string(1024, '\xFF')); // far longer than the test takes
    WriteFile(first.PathOf("small.bin"), std::string(32, '\x01'));
    first.Start(SimArguments({"-d", "82S181", "--trace", "bus.trace", "program", "full.bin"}));
    ASSERT_TRUE(WaitUntil([&] { return PulsesInTrace(ReadFile(first.PathOf("bus.trace"))).size() >= 2; }))
        << first.OutputSoFar() << first.ErrorSoFar();

    CliRunner second;
    const std::string chip = first.PathOf("chip.bin").string();
    CliResult run = second.Run({"--port", "sim", "--sim-chip", chip, "-q", "-d", "82S123", "program",
                                first.PathOf("small.bin").string()});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("quennel-cli: " + chip + " is in use by another quennel process\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Found")));

    first.Signal(SIGTERM);
    run = first.Wait();
    EXPECT_EQ(run.Status, 128 + SIGTERM) << run.Err;
    const int blown = BlownFuses(ReadFile(chip));
    EXPECT_GT(blown, 0);

    // Once the first has let go, the chip holds what it programmed.
    run = second.Run({"--port", "sim", "--sim-chip", chip, "-q", "-d", "82S181", "read", "back.bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(BlownFuses(ReadFile(second.PathOf("back.bin"))), blown);
}

TEST(CliChipFile, ChipThatCouldNotBeSavedIsRefusedBeforeThePass) {
    CliRunner cli;
    WriteFile(cli.PathOf("image.bin"), std::string(32, '\x01'));
    WriteFile(cli.PathOf("chip.bin"), std::string(1024, '\0'));
    ::chmod(cli.PathOf("chip.bin").c_str(), 0444);
    CliResult run = cli.Run(SimArguments({"-d", "82S123", "program", "image.bin"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("quennel-cli: chip.bin is read-only\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Programming")));
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")), std::string(1024, '\0'));

    run =
        cli.Run({"--port", "sim", "--sim-chip", "nowhere/chip.bin", "-d", "82S123", "program", "image.bin"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("quennel-cli: folder nowhere does not exist\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Programming")));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("nowhere")));
}

TEST(CliChipFile, LinkPlantedAtTheTemporaryNameIsNotFollowed) {
    CliRunner cli;
    WriteFile(cli.PathOf("victim"), "precious");
    WriteFile(cli.PathOf("image.bin"), std::string(32, '\x02'));
    for (const char* name : {"chip.bin.saving", "chip.bin.part", "chip.bin.saving1"})
        std::filesystem::create_symlink(cli.PathOf("victim"), cli.PathOf(name));
    const CliResult run = cli.Run(SimArguments({"-d", "82S123", "program", "image.bin"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Device is Programmed....\n"));
    EXPECT_EQ(ReadFile(cli.PathOf("victim")), "precious");
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(0, 32), std::string(32, '\x02'));
}

} // namespace
} // namespace quennel::test
