#include "buffer/Checksum.h"
#include "device/Quennel.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quennel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The operations on a simulated programmer at 0x378, with the port opened
// and the programmer taken as found, as detection would leave them.
class DeviceOperationsTest : public ::testing::Test {
protected:
    DeviceOperationsTest() {
        Bus.Attach(0x378, Programmer);
        S.PortBase = 0x378;
        S.StatusPort = 0x379;
        S.ControlPort = 0x37A;
        Core.Latches.OpenPort();
        S.ProgrammerModel = 2;
    }

    void Select(const char* caption) {
        const CatalogueRow* row = FindDeviceByCaption(caption);
        ASSERT_NE(row, nullptr);
        Core.SelectDevice(*row);
        Programmer.Width = DataBitsOfClass(row->DeviceClass);
    }

    bool Saw(const std::string& status) const {
        return std::ranges::find(Console.StatusHistory, status) != Console.StatusHistory.end();
    }

    // Programming ends on its verify's unlock without one of its own, so
    // locks and unlocks need not pair up; what counts is how it ends.
    void ExpectUnlockedAtEnd() const {
        EXPECT_GE(Console.Unlocks, 1);
        EXPECT_FALSE(Console.Locked);
    }

    void ExpectHonestPulses() const {
        for (const ProgrammingPulse& pulse : Programmer.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
            EXPECT_TRUE(pulse.InProgrammingMode);
        }
        EXPECT_THAT(Bus.Violations(), IsEmpty());
    }

    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    test::FakeConsole Console;
    QuennelCore Core{Bus, Console, &Trace};
    SharedState& S = Core.State;
};

TEST(FaultLines, CarryFourAddressAndTwoDataDigits) {
    EXPECT_EQ(BlankFaultLine(0x1A, 0x0F), "001A  EXPECTED-00 FOUND-0F");
    EXPECT_EQ(VerifyFaultLine(0x1A, 0x3F, 0x0F), "001A  EXPECTED-3F FOUND-0F");
    EXPECT_EQ(VerifyFaultLine(0x3FF, 0xA5, 0x00), "03FF  EXPECTED-A5 FOUND-00");
}

TEST_F(DeviceOperationsTest, BlankCheckPassesABlankDeviceAndListsEveryNonBlankCell) {
    Select("82S123");
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, "Device is Erased....");
    EXPECT_TRUE(Saw("Checking to see if Device is erased...."));
    EXPECT_FALSE(Console.ResultsVisible);
    EXPECT_THAT(Console.Results, IsEmpty());
    EXPECT_FALSE(Console.LastUnlockFault);
    ExpectUnlockedAtEnd();

    Programmer.Fuses[0x1A] = 0x0F;
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, "Device is NOT Erased....");
    EXPECT_THAT(Console.Results, ElementsAre("001A  EXPECTED-00 FOUND-0F"));
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_EQ(S.StatusFault, 1);

    // Cells beyond the device do not count; the pass ends at DeviceEnd.
    Programmer.Fuses[0x1A] = 0;
    Programmer.Fuses[0x20] = 0xFF;
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, "Device is Erased....");
    EXPECT_EQ(Console.Address, "001F");
    ExpectUnlockedAtEnd();
}

TEST_F(DeviceOperationsTest, VerifyListsEveryMismatchInAddressOrder) {
    Select("74S188");
    S.DataBuffer[0x1F] = 0x80;
    S.DataBuffer[0x03] = 0x11;
    Programmer.Fuses[0x10] = 0x01;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Verify to Buffer....");
    EXPECT_THAT(Console.Results, ElementsAre("0003  EXPECTED-11 FOUND-00", "0010  EXPECTED-00 FOUND-01",
                                             "001F  EXPECTED-80 FOUND-00"));
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_TRUE(Console.LastUnlockFault);
    ExpectUnlockedAtEnd();

    Programmer.Fuses[0x03] = 0x11;
    Programmer.Fuses[0x10] = 0x00;
    Programmer.Fuses[0x1F] = 0x80;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Verified to Buffer....");
    EXPECT_THAT(Console.Results, IsEmpty());
    EXPECT_FALSE(Console.ResultsVisible);
    EXPECT_FALSE(Console.LastUnlockFault);
}

TEST_F(DeviceOperationsTest, FourBitCellAgainstWiderBufferByteFailsVerifyButPassesCompare) {
    Select("82S129");
    Programmer.Fuses[0x1A] = 0x0F;
    S.DataBuffer[0x1A] = 0x3F;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Verify to Buffer....");
    EXPECT_THAT(Console.Results, ElementsAre("001A  EXPECTED-3F FOUND-0F"));

    Core.Operations.CompareClick();
    EXPECT_EQ(Console.Status, "Device Can be Reprogrammed....");
    EXPECT_TRUE(Saw("Comparing Device for Re-Progamablity...."));
    EXPECT_FALSE(Console.LastUnlockFault);
    EXPECT_EQ(Console.Address, "00FF"); // no cell failed: the pass ran to the end
}

TEST_F(DeviceOperationsTest, CompareStopsOnTheFirstCellThatCannotBeProgrammedOver) {
    Select("82S23");
    Programmer.Fuses[0x07] = 0x05;
    Programmer.Fuses[0x12] = 0x05;
    S.DataBuffer[0x07] = 0x07;
    S.DataBuffer[0x12] = 0x07;
    Core.Operations.CompareClick();
    EXPECT_EQ(Console.Status, "Device Can be Reprogrammed....");
    EXPECT_THAT(Console.Results, IsEmpty());

    S.DataBuffer[0x07] = 0x03; // bit 2 is blown but not wanted
    Console.AddressHistory.clear();
    Core.Operations.CompareClick();
    EXPECT_EQ(Console.Status, "Device CAN NOT be Reprogrammed....");
    EXPECT_EQ(Console.Address, "0007");
    EXPECT_EQ(Console.AddressHistory.back(), "0007");
    EXPECT_EQ(std::ranges::count(Console.AddressHistory, std::string("0008")),
              0); // nothing after it was read
    EXPECT_THAT(Console.Results, IsEmpty());
    EXPECT_TRUE(Console.LastUnlockFault);
    ExpectUnlockedAtEnd();
}

TEST_F(DeviceOperationsTest, MoveOfFourBitPartStoresLowNibblesAndUpdatesChecksum) {
    Select("74S287");
    for (int cell = 0; cell < SimulatedChipSize; ++cell)
        Programmer.Fuses[cell] = static_cast<uint8_t>(cell * 7);
    S.DataBuffer.fill(0xEE);
    Core.Operations.Move_EpromClick();
    EXPECT_EQ(Console.Status, "Device Has Been Moved to Buffer....");
    uint16_t sum = 0;
    for (int cell = 0; cell <= 0xFF; ++cell) {
        ASSERT_EQ(S.DataBuffer[cell], static_cast<uint8_t>(cell * 7) & 0x0F) << cell;
        sum = static_cast<uint16_t>(sum + S.DataBuffer[cell]);
    }
    EXPECT_EQ(S.DataBuffer[0x100], 0xEE); // above DeviceEnd the buffer keeps its bytes
    EXPECT_EQ(S.Checksum, sum);
    EXPECT_EQ(Console.Checksum, ChecksumCaption(sum));
    ExpectUnlockedAtEnd();
}

TEST_F(DeviceOperationsTest, ChecksumCaptionCoversTheDeviceOnly) {
    Select("82S23");
    S.DataBuffer.fill(0xFF);
    Core.Frame.UpdateChecksum();
    EXPECT_EQ(Console.Checksum, "CheckSum=1FE0");
    Select("82S181");
    Core.Frame.UpdateChecksum();
    EXPECT_EQ(Console.Checksum, "CheckSum=FC00");
    ExpectUnlockedAtEnd();
}

TEST_F(DeviceOperationsTest, ProgrammingAnEmptyBufferGivesNoPulseAndPasses) {
    Select("82S123");
    Core.Operations.Program_EpromClick();
    EXPECT_THAT(Programmer.Pulses(), IsEmpty());
    EXPECT_EQ(Console.Status, "Device is Programmed....");
    EXPECT_TRUE(Saw("Programming Device from Buffer...."));
    EXPECT_TRUE(Saw("Verifying Device to Buffer...."));
    EXPECT_FALSE(Console.ResultsVisible);
    EXPECT_FALSE(Console.LastUnlockFault);
    ExpectUnlockedAtEnd();
}

TEST_F(DeviceOperationsTest, ProgrammingOverBlownBitsNotInTheBufferFails) {
    Select("82S123");
    Programmer.Fuses[0x05] = 0x80;
    S.DataBuffer[0x05] = 0x01;
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(Console.Results, ElementsAre("0005  EXPECTED-01 FOUND-81"));
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_EQ(Programmer.Fuses[0x05], 0x81); // the wanted bit was still given its pulse
    ExpectHonestPulses();
}

TEST_F(DeviceOperationsTest, FuseThatWillNotBlowIsCaughtByTheVerify) {
    Select("74S288");
    Programmer.FusesBlow = false;
    S.DataBuffer[0x1E] = 0x42;
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Programmer.Pulses().size(), 2u);
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(Console.Results, ElementsAre("001E  EXPECTED-42 FOUND-00"));
    // The verify's own verdict text never stays as the final caption.
    EXPECT_TRUE(Saw("Device Did NOT Verify to Buffer...."));
    ExpectHonestPulses();
}

// One device of each class, with a few bits at the low end, at address bit 8
// and at address bit 9 where the device has them.
struct ClassCase {
    const char* Caption;
    std::vector<std::pair<int, uint8_t>> Cells;
};

class ProgramEveryClassTest : public DeviceOperationsTest, public ::testing::WithParamInterface<ClassCase> {};

TEST_P(ProgramEveryClassTest, ProgramsAndVerifies) {
    const ClassCase& c = GetParam();
    Select(c.Caption);
    S.DataBuffer.fill(0);
    for (auto [cell, value] : c.Cells)
        S.DataBuffer[cell] = value;
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Console.Status, "Device is Programmed....");
    EXPECT_THAT(Console.Results, IsEmpty());
    for (int cell = 0; cell < SimulatedChipSize; ++cell)
        ASSERT_EQ(Programmer.Fuses[cell], S.DataBuffer[cell]) << c.Caption << " cell " << cell;
    ExpectHonestPulses();
    ExpectUnlockedAtEnd();

    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Verified to Buffer....");
}

INSTANTIATE_TEST_SUITE_P(DeviceOperations, ProgramEveryClassTest,
                         ::testing::Values(ClassCase{"82S123", {{0x00, 0x81}, {0x1F, 0x02}}},
                                           ClassCase{"74S188", {{0x01, 0x40}, {0x1E, 0x01}}},
                                           ClassCase{"82S131", {{0x02, 0x01}, {0x1A5, 0x08}}},
                                           ClassCase{"74S571", {{0x03, 0x02}, {0x1FF, 0x04}}},
                                           ClassCase{"74S473", {{0x04, 0x10}, {0x101, 0x80}}},
                                           ClassCase{"82S181",
                                                     {{0x005, 0x20}, {0x205, 0x01}, {0x3FF, 0x80}}}),
                         [](const auto& info) { return std::string(info.param.Caption); });

TEST_F(DeviceOperationsTest, FourBitPartIsNeverPulsedOnItsUpperBits) {
    Select("82S126");
    S.DataBuffer[0x10] = 0xF1;
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Programmer.Pulses().size(), 1u);
    EXPECT_EQ(Programmer.Fuses[0x10], 0x01);
    // All eight buffer bits take part in the verify.
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(Console.Results, ElementsAre("0010  EXPECTED-F1 FOUND-01"));
}

// The window's close from inside a message pump: the pass stops and the
// port is released at once, so the rest of the pulse sequence is dropped and
// nothing touches the port again.
TEST_F(DeviceOperationsTest, ProgrammingClosedMidPulseTouchesNoPortAfterTheRelease) {
    Select("82S123");
    S.DataBuffer.fill(0xFF);
    size_t eventsAtRelease = 0;
    Console.DuringMessages = [&] {
        if (S.PortOpen && Programmer.Pulses().size() >= 2) {
            Core.CloseDown();
            eventsAtRelease = Trace.Events().size();
        }
    };
    Core.Operations.Program_EpromClick();

    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_TRUE(Core.Operations.WasStopped());
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_FALSE(Saw("Verifying Device to Buffer...."));
    EXPECT_FALSE(Saw("Device is Programmed...."));
    EXPECT_LE(Programmer.Pulses().size(), 3u);
    ExpectUnlockedAtEnd();
    for (const SimulatedViolation& violation : Bus.Violations())
        EXPECT_NE(violation.What, SimulatedViolation::Kind::ClosedRangeAccess) << violation.Detail;
    ASSERT_GT(eventsAtRelease, 0u);
    for (size_t i = eventsAtRelease; i < Trace.Events().size(); ++i) {
        const BusEvent& event = Trace.Events()[i];
        EXPECT_EQ(event.What, BusEvent::Kind::Call) << BusTrace::Format(event);
    }
}

// Ctrl-C on the command line: the stop lets the pulse in flight run its full
// time, the pass ends before the next bit, and the port is given back idle
// once the operation has returned.
TEST_F(DeviceOperationsTest, ProgrammingStoppedMidPulseEndsAfterAFullPulse) {
    Select("82S123");
    S.DataBuffer.fill(0xFF);
    Console.DuringMessages = [&] {
        if (Programmer.PulseOn() && Programmer.Pulses().size() >= 1)
            Core.StopOperation();
    };
    Core.Operations.Program_EpromClick();
    Console.DuringMessages = nullptr;
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_FALSE(Saw("Verifying Device to Buffer...."));
    EXPECT_EQ(Programmer.Pulses().size(), 2u);
    EXPECT_FALSE(Programmer.PulseOn());
    EXPECT_EQ(Programmer.Fuses[0], 0x03);
    EXPECT_EQ(Programmer.Fuses[1], 0x00);

    Core.ReleasePort();
    EXPECT_FALSE(S.PortOpen);
    ExpectHonestPulses();
    ExpectUnlockedAtEnd();
}

// A check stopped half-way must not pass off the cells it never read.
TEST_F(DeviceOperationsTest, StoppedBlankCheckDoesNotClaimAnErasedDevice) {
    Select("82S23");
    Programmer.Fuses[0x02] = 0x01;
    Programmer.Fuses[0x1C] = 0x01;
    Console.DuringMessages = [&] {
        if (!Console.Results.empty())
            Core.StopOperation();
    };
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_THAT(Console.Results, ElementsAre("0002  EXPECTED-00 FOUND-01"));
    EXPECT_TRUE(Console.LastUnlockFault);

    // Stopping the verify: no verdict either way.
    Console.Results.clear();
    S.DataBuffer[0x02] = 0x01;
    S.DataBuffer[0x03] = 0x01;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_THAT(Console.Results, ElementsAre("0003  EXPECTED-01 FOUND-00"));
}

} // namespace
} // namespace quennel
