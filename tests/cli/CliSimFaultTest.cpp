// Faults put on the simulated bench from the command line, and the
// diagnosis printed after the fault list.
#include "CliRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

std::string FaultList(size_t cells, const char* found) {
    std::string lines;
    char line[40];
    for (size_t cell = 0; cell < cells; ++cell) {
        std::snprintf(line, sizeof line, "%04zX  EXPECTED-00 FOUND-%s\n", cell, found);
        lines += line;
    }
    return lines;
}

TEST(CliSimFault, ABlankCheckNamesALineStuckAtOneAfterItsFaultList) {
    CliRunner cli;
    const CliResult run = cli.Run(SimArguments({"--sim-fault", "data-stuck-1:5", "-d", "82S123", "blank"}));
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_THAT(run.Out,
                EndsWith("Checking to see if Device is erased....\n" + FaultList(32, "20") +
                         "Diagnosis: D5 (pin 6) reads 1 in every cell: the line is open or stuck at 1\n"
                         "Device is NOT Erased....\n"));
    // The fault is the bench's, not the part's: without it the part is blank.
    const CliResult again = cli.Run(SimArguments({"-d", "82S123", "blank"}));
    EXPECT_EQ(again.Status, 0);
    EXPECT_THAT(again.Out, Not(HasSubstr("Diagnosis: ")));
}

// Given twice, both faults are on the bench and both lines are named.
TEST(CliSimFault, TheOptionRepeatsAndEachFaultIsNamed) {
    CliRunner cli;
    std::string image(32, '\0');
    for (size_t cell = 0; cell < 8; ++cell)
        image[cell] = 0x01;
    for (size_t cell : {8, 9, 10, 11, 16, 17, 18, 19, 20, 21})
        image[cell] = 0x10;
    WriteFile(cli.PathOf("image.bin"), image);
    ASSERT_EQ(cli.Run(SimArguments({"-d", "82S123", "program", "image.bin"})).Status, 0);

    const CliResult run = cli.Run(SimArguments({"--sim-fault", "data-stuck-0:0", "-d", "82S123",
                                                "--sim-fault=address-open:4", "verify", "image.bin"}));
    EXPECT_EQ(run.Status, 1) << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("0000  EXPECTED-01 FOUND-00\n"));
    EXPECT_THAT(run.Out, HasSubstr("0010  EXPECTED-10 FOUND-00\n"));
    EXPECT_THAT(run.Out, HasSubstr("0018  EXPECTED-00 FOUND-10\n"));
    EXPECT_THAT(
        run.Out,
        EndsWith("001B  EXPECTED-00 FOUND-10\n"
                 "Diagnosis: D0 (pin 1) reads 0 in every cell: the line is open or stuck at 0\n"
                 "Diagnosis: A4 (pin 14) is open or stuck at 0: cells with A4 = 1 read the data of the "
                 "cells with A4 = 0\n"
                 "Device Did NOT Verify to Buffer....\n"));
}

TEST(CliSimFault, AFaultThatNamesNothingOrNoSimulatorIsBadUsage) {
    CliRunner cli;
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {SimArguments({"--sim-fault", "smoke", "-d", "82S123", "blank"}),
         "unknown fault 'smoke'; see --help"},
        {SimArguments({"--sim-fault", "data-stuck-0:8", "-d", "82S123", "blank"}),
         "fault 'data-stuck-0:8': line 8 is not between 0 and 7"},
        {SimArguments({"--sim-fault", "data-bridge:1", "-d", "82S123", "blank"}),
         "fault 'data-bridge:1' takes the form data-bridge:N:M"},
        {{"--sim-fault", "address-open:3", "-d", "82S123", "blank"}, "--sim-fault needs --port sim"},
    };
    for (const auto& [arguments, complaint] : cases) {
        const CliResult run = cli.Run(arguments);
        EXPECT_EQ(run.Status, 2) << complaint;
        EXPECT_THAT(run.Err, HasSubstr(complaint));
        EXPECT_EQ(run.Out, "") << complaint;
    }
    const CliResult help = cli.Run({"--help"});
    EXPECT_THAT(help.Out, HasSubstr("--sim-fault"));
    EXPECT_THAT(help.Out, HasSubstr("data-bridge:N:M"));

    // The faults the simulator had before are there too.
    const CliResult unpowered = cli.Run(SimArguments({"--sim-fault", "unpowered", "-d", "82S123", "blank"}));
    EXPECT_EQ(unpowered.Status, 1);
    EXPECT_THAT(unpowered.Out, Not(HasSubstr("Checking")));
}

} // namespace
} // namespace quennel::test
