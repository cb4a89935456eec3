#include "link/PpdevPort.h"

#include "core/SharedState.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "support/FakeConsole.h"
#include "support/FakeLinuxSystem.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

class PpdevPortTest : public ::testing::Test {
protected:
    PpdevPortTest() {
        Kernel.AddPort(0, 0x278);
        Kernel.AddPort(1, 0x378);
    }

    bool Open(uint16_t base) {
        Failure.clear();
        return Port.OpenRange(base, static_cast<uint16_t>(base + 2), Failure);
    }

    FakeLinuxSystem Kernel;
    PpdevPort Port{Kernel};
    std::string Failure;
};

TEST_F(PpdevPortTest, OpeningClaimsThePortAtThatBaseExclusivelyAndTurnsTheDataLinesToDrive) {
    ASSERT_TRUE(Open(0x378));
    EXPECT_EQ(Failure, "");
    EXPECT_THAT(Kernel.Calls, ElementsAre("open /dev/parport1", "PPEXCL", "PPCLAIM", "PPDATADIR 0"));
    EXPECT_EQ(Kernel.ClaimedDescriptors.size(), 1U);
}

TEST_F(PpdevPortTest, EachRegisterGoesToItsOwnIoctl) {
    ASSERT_TRUE(Open(0x378));
    Kernel.Calls.clear();

    Port.WriteByte(0x378, 0x34);
    Port.WriteByte(0x37A, 0x0E);
    Port.WriteByte(0x379, 0x55); // the status register takes no writes
    EXPECT_THAT(Kernel.Calls, ElementsAre("PPWDATA 34", "PPWCONTROL 0E"));
    EXPECT_EQ(Kernel.Data, 0x34);
    EXPECT_EQ(Kernel.Control, 0x0E);

    Kernel.Calls.clear();
    Kernel.Status = 0x5F;
    EXPECT_EQ(Port.ReadByte(0x378), 0x34);
    EXPECT_EQ(Port.ReadByte(0x379), 0x5F);
    EXPECT_EQ(Port.ReadByte(0x37A), 0x0E);
    EXPECT_THAT(Kernel.Calls, ElementsAre("PPRDATA", "PPRSTATUS", "PPRCONTROL"));

    // Neighbours of the three registers are not the port's.
    Kernel.Calls.clear();
    EXPECT_EQ(Port.ReadByte(0x37B), 0xFF);
    EXPECT_EQ(Port.ReadByte(0x377), 0xFF);
    Port.WriteByte(0x37B, 0x00);
    EXPECT_THAT(Kernel.Calls, IsEmpty());
}

TEST_F(PpdevPortTest, TheDirectionBitNeverReachesTheDriver) {
    ASSERT_TRUE(Open(0x378));
    Port.WriteByte(0x37A, 0x2A);
    EXPECT_EQ(Kernel.Control, 0x0A);
}

TEST_F(PpdevPortTest, AFailedRegisterReadGivesWhatAnEmptyBusGives) {
    ASSERT_TRUE(Open(0x378));
    Kernel.IoctlErrors[PPRSTATUS] = EIO;
    Kernel.Status = 0x12;
    EXPECT_EQ(Port.ReadByte(0x379), 0xFF);
}

// The latch protocol flips BUSY back itself, so the status byte must come
// through exactly as the register shows it.
TEST_F(PpdevPortTest, NibbleReadsSeeTheStatusRegisterAsThePortShowsIt) {
    SharedState state;
    FakeConsole console;
    NTPort library(Port);
    LatchProtocol protocol(state, library, console);
    state.PortBase = 0x378;
    protocol.OpenPort();
    state.StatusPort = 0x379;
    state.ControlPort = 0x37A;

    Kernel.Statuses = {0x0F, 0xF0};
    protocol.ReadNibbles();
    EXPECT_EQ(state.ReadValue, 0x87);
    Kernel.Statuses = {0x7F, 0x7F};
    protocol.ReadNibbles();
    EXPECT_EQ(state.ReadValue, 0xFF);
    Kernel.Statuses = {0x80, 0x80};
    protocol.ReadNibbles();
    EXPECT_EQ(state.ReadValue, 0x00);
}

TEST_F(PpdevPortTest, NoPortAtTheAddressIsAnEmptyRangeAndNoError) {
    ASSERT_TRUE(Open(0x3BC));
    EXPECT_EQ(Failure, "");
    for (uint16_t address : {0x3BC, 0x3BD, 0x3BE, 0x7BE}) {
        Port.WriteByte(address, 0x00);
        EXPECT_EQ(Port.ReadByte(address), 0xFF) << std::hex << address;
    }
    EXPECT_THAT(Kernel.Calls, IsEmpty());
    Port.CloseRange(0x3BC, 0x3BE);
    EXPECT_THAT(Kernel.Calls, IsEmpty());
}

TEST_F(PpdevPortTest, APortThatCannotBeOpenedIsReportedAndReadsAsEmpty) {
    Kernel.OpenErrors["/dev/parport0"] = EACCES;
    EXPECT_FALSE(Open(0x278));
    EXPECT_EQ(Failure, "parport0: permission denied");
    EXPECT_EQ(Port.ReadByte(0x279), 0xFF);
    Port.WriteByte(0x278, 0x12);
    EXPECT_THAT(Kernel.Calls, ElementsAre("open /dev/parport0"));

    Kernel.OpenErrors["/dev/parport0"] = ENOENT;
    EXPECT_FALSE(Open(0x278));
    EXPECT_EQ(Failure, "parport0: ppdev not loaded");
}

// The printer driver registers on every port when it is loaded, printing
// or not; the exclusive claim is refused at once, and nothing reaches the port.
TEST_F(PpdevPortTest, APortAnotherDriverIsRegisteredOnIsRefusedAtOnceAndNamed) {
    for (bool printing : {false, true}) {
        SCOPED_TRACE(printing);
        FakeLinuxSystem kernel;
        kernel.AddPort(1, 0x378);
        kernel.RegisterDriver(1, "lp1", printing);
        PpdevPort port(kernel);
        std::string failure;
        EXPECT_FALSE(port.OpenRange(0x378, 0x37A, failure));
        EXPECT_EQ(failure, "parport1: held by lp1");
        EXPECT_THAT(kernel.Calls, ElementsAre("open /dev/parport1", "PPEXCL", "PPCLAIM", "close"));
        EXPECT_THAT(kernel.OpenDescriptors, IsEmpty());

        kernel.Calls.clear();
        port.WriteByte(0x378, 0x12);
        EXPECT_EQ(port.ReadByte(0x379), 0xFF);
        EXPECT_THAT(kernel.Calls, IsEmpty()) << "no access to a port not had";
    }
}

// Two programs on one port: the second is turned away at once instead of
// sleeping in the driver, and the first keeps the port.
TEST_F(PpdevPortTest, ASecondProgramIsRefusedAtOnceAndTheFirstKeepsThePort) {
    ASSERT_TRUE(Open(0x378));
    PpdevPort second(Kernel);
    std::string failure;
    EXPECT_FALSE(second.OpenRange(0x378, 0x37A, failure));
    EXPECT_EQ(failure, "parport1: held by ppdev1");
    EXPECT_THAT(Kernel.Calls, Not(::testing::Contains("PPCLAIM blocked")));

    Port.WriteByte(0x378, 0x5A);
    EXPECT_EQ(Kernel.Data, 0x5A);
    Port.CloseRange(0x378, 0x37A);
    EXPECT_TRUE(second.OpenRange(0x378, 0x37A, failure)) << "free again once the first lets go";
}

TEST_F(PpdevPortTest, ARefusedClaimIsReportedAndTheNodeClosed) {
    Kernel.IoctlErrors[PPCLAIM] = ENXIO;
    EXPECT_FALSE(Open(0x378));
    EXPECT_EQ(Failure, "parport1: busy");
    EXPECT_THAT(Kernel.OpenDescriptors, IsEmpty());
    EXPECT_EQ(Port.ReadByte(0x379), 0xFF);

    // A later attempt, once the port is free, succeeds.
    Kernel.IoctlErrors.clear();
    EXPECT_TRUE(Open(0x378));
}

TEST_F(PpdevPortTest, ADirectionRefusalGivesThePortBack) {
    Kernel.IoctlErrors[PPDATADIR] = EINVAL;
    EXPECT_FALSE(Open(0x378));
    EXPECT_THAT(Failure, Not(IsEmpty()));
    EXPECT_THAT(Kernel.ClaimedDescriptors, IsEmpty());
    EXPECT_THAT(Kernel.OpenDescriptors, IsEmpty());
}

TEST_F(PpdevPortTest, FailureTextsFitThePortLibrarysBuffer) {
    Kernel.AddPort(12, 0x3BC);
    Kernel.RegisterDriver(12, "a-driver-with-a-long-name");
    EXPECT_FALSE(Open(0x3BC));
    EXPECT_EQ(Failure, std::string("parport12: held by a-driver-with-a-long-name").substr(0, 29));
}

TEST_F(PpdevPortTest, OpeningAnOpenRangeAgainIsHarmless) {
    ASSERT_TRUE(Open(0x378));
    Port.WriteByte(0x378, 0xA5);
    ASSERT_TRUE(Open(0x378));
    EXPECT_EQ(Failure, "");
    EXPECT_THAT(Kernel.Calls,
                ElementsAre("open /dev/parport1", "PPEXCL", "PPCLAIM", "PPDATADIR 0", "PPWDATA A5"));
    EXPECT_EQ(Port.ReadByte(0x378), 0xA5);
}

TEST_F(PpdevPortTest, ClosingGivesThePortBackAndLeavesNothingReachable) {
    ASSERT_TRUE(Open(0x378));
    Kernel.Calls.clear();
    Port.CloseRange(0x378, 0x37A);
    EXPECT_THAT(Kernel.Calls, ElementsAre("PPRELEASE", "close"));
    EXPECT_THAT(Kernel.OpenDescriptors, IsEmpty());

    Kernel.Calls.clear();
    Port.WriteByte(0x378, 0x12);
    EXPECT_EQ(Port.ReadByte(0x379), 0xFF);
    Port.CloseRange(0x378, 0x37A);
    EXPECT_THAT(Kernel.Calls, IsEmpty());

    // And it can be had again.
    EXPECT_TRUE(Open(0x378));
    EXPECT_EQ(Kernel.ClaimedDescriptors.size(), 1U);
}

TEST(PpdevPortLifetimeTest, APortStillClaimedIsGivenBackAtTheEnd) {
    FakeLinuxSystem kernel;
    kernel.AddPort(0, 0x378);
    {
        PpdevPort port(kernel);
        std::string failure;
        ASSERT_TRUE(port.OpenRange(0x378, 0x37A, failure));
    }
    EXPECT_THAT(kernel.ClaimedDescriptors, IsEmpty());
    EXPECT_THAT(kernel.OpenDescriptors, IsEmpty());
}

TEST_F(PpdevPortTest, TheEcrOfAKnownPortKeepsWhatWasWrittenWithoutTheClaim) {
    EXPECT_EQ(Port.ReadByte(0x77A), EcrAtStart);
    Port.WriteByte(0x77A, 0x35);
    EXPECT_EQ(Port.ReadByte(0x77A), 0x35);
    EXPECT_EQ(Port.ReadByte(0x67A), EcrAtStart) << "each port keeps its own";
    EXPECT_THAT(Kernel.Calls, IsEmpty()) << "the driver's own ECR is left alone";
}

// The whole open and close of the port as the program makes them.
class PpdevOpenPortTest : public PpdevPortTest {
protected:
    PpdevOpenPortTest() { State.PortBase = 0x378; }

    SharedState State;
    FakeConsole Console;
    NTPort Library{Port};
    LatchProtocol Protocol{State, Library, Console};
};

TEST_F(PpdevOpenPortTest, TheEcrIsSavedClearedAndRestored) {
    Port.WriteByte(0x77A, 0x35);
    Protocol.OpenPort();
    EXPECT_EQ(State.SavedEcr, 0x35);
    EXPECT_EQ(Port.ReadByte(0x77A), 0x00);
    EXPECT_THAT(Console.Boxes, IsEmpty());

    State.StatusPort = 0x379;
    State.ControlPort = 0x37A;
    Protocol.InitLatches();
    EXPECT_EQ(Kernel.Control, 0x0C);
    Protocol.ClosePort();
    EXPECT_EQ(Port.ReadByte(0x77A), 0x35);
    EXPECT_THAT(Kernel.OpenDescriptors, IsEmpty()) << "the port is given back";
}

TEST_F(PpdevOpenPortTest, ReopeningTheFoundPortForItsConfirmingTestKeepsTheClaim) {
    Protocol.OpenPort();
    State.StatusPort = 0x379;
    State.ControlPort = 0x37A;
    Protocol.OpenPort();
    EXPECT_THAT(Console.Boxes, IsEmpty());
    EXPECT_EQ(Kernel.OpenDescriptors.size(), 1U);
    EXPECT_EQ(Kernel.ClaimedDescriptors.size(), 1U);
    State.LatchValue = 0x1234;
    Protocol.Latch0A();
    EXPECT_EQ(Kernel.Data, 0x34);
}

TEST_F(PpdevOpenPortTest, ADeniedPortShowsTheErrorBoxAndFailsItsReadBack) {
    Kernel.OpenErrors["/dev/parport1"] = EACCES;
    Protocol.OpenPort();
    ASSERT_EQ(Console.Boxes.size(), 1U);
    EXPECT_EQ(Console.Boxes[0].Text, "Error:parport1: permission denied");

    State.StatusPort = 0x379;
    State.ControlPort = 0x37A;
    State.LatchValue = 0xA5;
    Protocol.Latch0A();
    Protocol.ReadNibbles();
    EXPECT_NE(State.ReadValue, 0xA5);
}

TEST_F(PpdevOpenPortTest, AnUnpopulatedAddressShowsNoBox) {
    State.PortBase = 0x3BC;
    Protocol.OpenPort();
    EXPECT_THAT(Console.Boxes, IsEmpty());
    EXPECT_EQ(State.SavedEcr, 0xFF);
    Protocol.ClosePort();
    EXPECT_THAT(Kernel.Calls, IsEmpty());
}

} // namespace
} // namespace quennel::test
