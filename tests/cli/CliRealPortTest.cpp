// The command line on real ports, through a fake kernel with a simulated
// programmer behind its parallel-port driver: a register access the driver
// refuses ends the run on standard error with status 2 and no success.

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "support/FakeLinuxSystem.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quennel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class CliRealPortTest : public ::testing::Test {
protected:
    CliRealPortTest() {
        Kernel.AddPort(0, 0x378);
        Kernel.Programmer = &Chip;
        Image = std::filesystem::temp_directory_path() /
                ("quennel-realport-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin");
        std::string bytes(32, '\0');
        bytes[0x03] = '\x11';
        bytes[0x1F] = '\x80';
        std::ofstream(Image, std::ios::binary) << bytes;
    }
    ~CliRealPortTest() override { std::filesystem::remove(Image); }

    int Run(const std::string& command) {
        cli::CliOptions options;
        options.Command = command;
        options.Device = "82S123";
        options.File = command == "blank" ? "" : Image.string();
        options.Quiet = true;
        return cli::RunCommand(options, Out, Err, false, Kernel);
    }

    FakeLinuxSystem Kernel;
    SimulatedProgrammer Chip;
    std::filesystem::path Image;
    std::ostringstream Out, Err;
};

TEST_F(CliRealPortTest, ProgramsThroughTheDriver) {
    EXPECT_EQ(Run("program"), cli::ExitOk) << Err.str();
    EXPECT_THAT(Out.str(), HasSubstr("The Trevalo Programmer was Found at 0378\n"));
    EXPECT_THAT(Out.str(), HasSubstr("Device is Programmed....\n"));
    EXPECT_EQ(Chip.Fuses[0x03], 0x11);
    EXPECT_EQ(Chip.Fuses[0x1F], 0x80);
}

TEST_F(CliRealPortTest, ARefusedWriteDuringProgrammingEndsTheRunWithStatus2) {
    // The write that follows the first pulse's 10 ms: 0x61 goes on the data
    // lines once in the model check and twice in each pulse.
    Kernel.Refuse = FakeLinuxSystem::Refusal{0, 3, EIO, false, "PPWDATA 61"};
    EXPECT_EQ(Run("program"), 2);
    EXPECT_THAT(Err.str(),
                HasSubstr("quennel-cli: Port error: parport0: data write failed: "
                          "Input/output error; the pass was ended and the programmer left idle\n"));
    EXPECT_THAT(Out.str(), Not(HasSubstr("Device is Programmed")));
    EXPECT_THAT(Out.str(), Not(HasSubstr("Device Verified")));
    EXPECT_EQ(Chip.Latch(0x01), 0xE4) << "left idle";
    EXPECT_FALSE(Chip.PulseOn());
    ASSERT_EQ(Chip.Pulses().size(), 1U) << "the pulse that was on ran to the idle state";
    EXPECT_GE(Chip.Pulses()[0].WidthMs, MinimumPulseMs);
    EXPECT_TRUE(Kernel.OpenDescriptors.empty()) << "the port given back";
}

TEST_F(CliRealPortTest, ARefusalInTheSearchEndsTheRunWithStatus2) {
    Kernel.Refuse = FakeLinuxSystem::Refusal{PPRSTATUS, 1, ENODEV, true, {}};
    EXPECT_EQ(Run("blank"), 2);
    EXPECT_THAT(Err.str(), HasSubstr("quennel-cli: parport0: status read failed: No such device; the search "
                                     "ended there\n"));
    EXPECT_THAT(Out.str(), Not(HasSubstr("Device is Erased")));
}

} // namespace
} // namespace quennel::test
