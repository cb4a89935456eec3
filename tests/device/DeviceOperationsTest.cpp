#include "DeviceCycleRig.h"
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
        test::TakeProgrammerAsFound(Core);
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
    EXPECT_THAT(Console.Results,
                ElementsAre("001A  EXPECTED-00 FOUND-0F",
                            "Diagnosis: no single-line pattern; the part differs in 1 cell: 4 "
                            "bits read 1 where 0 is wanted (never to be mended)"));
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

// Every non-blank cell is listed, at both ends of the device and across
// its address lines, not only the first one found.
TEST_F(DeviceOperationsTest, BlankCheckListsEveryNonBlankCellInAddressOrder) {
    Select("82S181");
    Programmer.Fuses[0x000] = 0x01;
    Programmer.Fuses[0x0FF] = 0x80;
    Programmer.Fuses[0x100] = 0x10;
    Programmer.Fuses[0x2A5] = 0x42;
    Programmer.Fuses[0x3FF] = 0xFF;
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, "Device is NOT Erased....");
    EXPECT_THAT(Console.Results,
                ElementsAre("0000  EXPECTED-00 FOUND-01", "00FF  EXPECTED-00 FOUND-80",
                            "0100  EXPECTED-00 FOUND-10", "02A5  EXPECTED-00 FOUND-42",
                            "03FF  EXPECTED-00 FOUND-FF",
                            "Diagnosis: no single-line pattern; the part differs in 5 cells: 13 "
                            "bits read 1 where 0 is wanted (never to be mended)"));
    EXPECT_EQ(Console.Address, "03FF");

    // A 4-bit part: only its four data bits count.
    Select("82S129");
    Programmer.Fuses.fill(0);
    Programmer.Fuses[0x00] = 0x08;
    Programmer.Fuses[0x10] = 0xF0;
    Programmer.Fuses[0x80] = 0x01;
    Programmer.Fuses[0xFF] = 0x0F;
    Core.Operations.Blank_ChkClick();
    EXPECT_THAT(Console.Results,
                ElementsAre("0000  EXPECTED-00 FOUND-08", "0080  EXPECTED-00 FOUND-01",
                            "00FF  EXPECTED-00 FOUND-0F",
                            "Diagnosis: no single-line pattern; the part differs in 3 cells: 6 "
                            "bits read 1 where 0 is wanted (never to be mended)"));
}

TEST_F(DeviceOperationsTest, VerifyListsEveryMismatchInAddressOrder) {
    Select("74S188");
    S.DataBuffer[0x1F] = 0x80;
    S.DataBuffer[0x03] = 0x11;
    Programmer.Fuses[0x10] = 0x01;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Verify to Buffer....");
    EXPECT_THAT(Console.Results,
                ElementsAre("0003  EXPECTED-11 FOUND-00", "0010  EXPECTED-00 FOUND-01",
                            "001F  EXPECTED-80 FOUND-00",
                            "Diagnosis: no single-line pattern; the part differs in 3 cells: 3 "
                            "bits read 0 where 1 is wanted (still to be blown by a Program) and 1 "
                            "bit reads 1 where 0 is wanted (never to be mended)"));
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
    EXPECT_THAT(
        Console.Results,
        ElementsAre("001A  EXPECTED-3F FOUND-0F",
                    "Diagnosis: the buffer sets bits 4 to 7, which a 4-bit part does not have, in 1 cell"));

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

// A fuse blown but not wanted stops the compare, whichever bit it is, on
// parts of either width; the same bit wanted passes.
struct CompareCase {
    const char* Caption;
    int Bits;
};

class CompareEveryBitTest : public DeviceOperationsTest, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareEveryBitTest, BlownBitNotInTheBufferCannotBeProgrammedOver) {
    const CompareCase& c = GetParam();
    Select(c.Caption);
    const uint8_t all = c.Bits == 8 ? 0xFF : 0x0F;
    for (int bit = 0; bit < c.Bits; ++bit) {
        SCOPED_TRACE(bit);
        const auto fuse = static_cast<uint8_t>(1u << bit);
        Programmer.Fuses.fill(0);
        Programmer.Fuses[0x11] = fuse;
        S.DataBuffer.fill(0);
        // Every other bit wanted, the upper half too on a 4-bit part: only this one is missing.
        S.DataBuffer[0x11] = static_cast<uint8_t>(0xFF & ~fuse);
        Core.Operations.CompareClick();
        EXPECT_EQ(Console.Status, "Device CAN NOT be Reprogrammed....");
        EXPECT_EQ(Console.Address, "0011");
        EXPECT_TRUE(Console.LastUnlockFault);

        S.DataBuffer[0x11] = static_cast<uint8_t>(fuse | (all & 0x50));
        Core.Operations.CompareClick();
        EXPECT_EQ(Console.Status, "Device Can be Reprogrammed....");
    }
}

INSTANTIATE_TEST_SUITE_P(DeviceOperations, CompareEveryBitTest,
                         ::testing::Values(CompareCase{"82S23", 8}, CompareCase{"74S288", 8},
                                           CompareCase{"82S129", 4}, CompareCase{"74S287", 4},
                                           CompareCase{"74S471", 8}, CompareCase{"82S181", 8}),
                         [](const auto& info) { return std::string(info.param.Caption); });

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

// The part settles in the idle state for 75 ms between the last pulse and
// the first read of the verify.
TEST_F(DeviceOperationsTest, ProgrammingWaitsSeventyFiveMillisecondsIdleBeforeTheVerify) {
    Select("82S123");
    S.DataBuffer[0x1F] = 0x01;
    Trace.Clear();
    Core.Operations.Program_EpromClick();
    ASSERT_EQ(Console.Status, "Device is Programmed....");
    const std::vector<test::BusStep> steps = test::DecodeSteps(Trace.Events());
    // The idle state after the pass ends on latch 03 = A0; the pass itself
    // ends with the last cell's latch 01 = 65.
    size_t lastProgramStep = 0;
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i].Text == "01=65")
            lastProgramStep = i;
    size_t idleEnd = steps.size();
    for (size_t i = lastProgramStep; i < steps.size(); ++i) {
        if (steps[i].Text == "03=A0") {
            idleEnd = i;
            break;
        }
    }
    ASSERT_LT(idleEnd + 1, steps.size());
    EXPECT_EQ(steps[idleEnd - 6].Text, "03=00");
    EXPECT_EQ(steps[idleEnd + 1].Text, "03=00"); // the verify's own idle state
    EXPECT_GE(steps[idleEnd + 1].Microseconds - steps[idleEnd].Microseconds, 75'000);
}

TEST_F(DeviceOperationsTest, ProgrammingOverBlownBitsNotInTheBufferFails) {
    Select("82S123");
    Programmer.Fuses[0x05] = 0x80;
    S.DataBuffer[0x05] = 0x01;
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(Console.Results,
                ElementsAre("0005  EXPECTED-01 FOUND-81",
                            "Diagnosis: no single-line pattern; the part differs in 1 cell: 1 "
                            "bit reads 1 where 0 is wanted (never to be mended)"));
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
    EXPECT_THAT(Console.Results,
                ElementsAre("001E  EXPECTED-42 FOUND-00",
                            "Diagnosis: no single-line pattern; the part differs in 1 cell: 2 "
                            "bits read 0 where 1 is wanted (still to be blown by a Program)"));
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
    EXPECT_THAT(
        Console.Results,
        ElementsAre("0010  EXPECTED-F1 FOUND-01",
                    "Diagnosis: the buffer sets bits 4 to 7, which a 4-bit part does not have, in 1 cell"));
}

// The window's close from inside a message pump: the pulse in flight runs
// its full time and its closing writes, the pass ends before the next bit,
// and only then is the programmer left idle and the port given back.
TEST_F(DeviceOperationsTest, ProgrammingClosedMidPulseFinishesThePulseBeforeTheRelease) {
    Select("82S123");
    S.DataBuffer.fill(0xFF);
    bool asked = false;
    Console.DuringMessages = [&] {
        if (!asked && Programmer.PulseOn() && Programmer.Pulses().size() >= 1 && S.DelayMs != 0) {
            asked = true;
            Core.RequestClose();
        }
    };
    Core.Operations.Program_EpromClick();
    Console.DuringMessages = nullptr;
    ASSERT_TRUE(asked);
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_FALSE(Saw("Verifying Device to Buffer...."));
    EXPECT_EQ(Programmer.Pulses().size(), 2u);
    EXPECT_FALSE(Programmer.PulseOn());

    Core.ShutDown();
    EXPECT_FALSE(S.PortOpen);
    EXPECT_EQ(Programmer.Latch(0x02), 0x3B) << "left idle before the release";
    EXPECT_EQ(Programmer.Latch(0x0B), 0x76);
    ExpectHonestPulses();
    ExpectUnlockedAtEnd();
    // After the range is given back only the port library and the ECR,
    // which lies outside the range, are touched.
    const auto& events = Trace.Events();
    auto release = std::ranges::find_if(events.rbegin(), events.rend(), [](const BusEvent& event) {
        return event.What == BusEvent::Kind::Call && event.Call == "DisablePorts";
    });
    ASSERT_NE(release, events.rend());
    for (auto later = events.rbegin(); later != release; ++later)
        EXPECT_TRUE(later->What == BusEvent::Kind::Call || later->Address == 0x378 + 0x402)
            << BusTrace::Format(*later);
}

// A close during the programming set-up's settling wait ends that wait at
// once and no fuse is touched.
TEST_F(DeviceOperationsTest, ProgrammingClosedDuringSetUpGivesNoPulse) {
    Select("82S123");
    S.DataBuffer.fill(0xFF);
    bool asked = false;
    Console.DuringMessages = [&] {
        if (!asked && S.DelayMs != 0) {
            asked = true;
            Core.RequestClose();
            EXPECT_EQ(S.DelayMs, 0) << "a settling wait ends at once";
        }
    };
    Core.Operations.Program_EpromClick();
    Console.DuringMessages = nullptr;
    ASSERT_TRUE(asked);
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_THAT(Programmer.Pulses(), IsEmpty());
    Core.ShutDown();
    EXPECT_FALSE(S.PortOpen);
    EXPECT_THAT(Bus.Violations(), IsEmpty());
}

// A stop that arrives while the frame paints its lock (before the verify's
// own frame rewinds the pass) still stops the verify: no verdict is given
// on cells never read.
TEST_F(DeviceOperationsTest, StopDuringTheFramesLockIsNotLost) {
    Select("82S123");
    S.DataBuffer[0x04] = 0x11;
    Console.DuringMessages = [&] {
        if (Console.Locks == 1)
            Core.StopOperation();
    };
    Core.Operations.Verify_EpromClick();
    Console.DuringMessages = nullptr;
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_FALSE(Saw("Device Verified to Buffer...."));
    EXPECT_FALSE(Saw("Device Did NOT Verify to Buffer...."));
    EXPECT_THAT(Console.Results, IsEmpty());
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
}

TEST_F(DeviceOperationsTest, StoppedVerifyGivesNoVerdict) {
    Select("82S23");
    Programmer.Fuses[0x02] = 0x01;
    Programmer.Fuses[0x1C] = 0x01;
    Console.DuringMessages = [&] {
        if (!Console.Results.empty())
            Core.StopOperation();
    };
    S.DataBuffer[0x02] = 0x01;
    S.DataBuffer[0x03] = 0x01;
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, StoppedCaption);
    EXPECT_THAT(Console.Results, ElementsAre("0003  EXPECTED-01 FOUND-00"));
}

} // namespace
} // namespace quennel
