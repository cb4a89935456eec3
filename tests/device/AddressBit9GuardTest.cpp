// Programming a 1k x 8 part checks once, after the first upper-half pulse
// that can tell, that the pulse did not land in the lower half; on a
// programmer whose address bit 9 does not reach the part the run stops
// after that one pulse. A read of a part whose halves come back the same
// says that bit 9 may not reach it.

#include "device/AddressBit9Guard.h"

#include "DeviceCycleRig.h"
#include "ExpectedTrace.h"
#include "device/Quennel.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int Last = 0x3FF;

class AddressBit9GuardTest : public ::testing::Test {
protected:
    AddressBit9GuardTest() {
        Bus.Attach(RigBase, Chip);
        S.PortBase = RigBase;
        Core.Latches.OpenPort();
        S.StatusPort = RigBase + 1;
        S.ControlPort = RigBase + 2;
        S.ProgrammerModel = 2;
        Core.SelectDevice(*FindDeviceByCaption("82S181"));
    }

    void Want(std::vector<std::pair<int, uint8_t>> cells) {
        for (auto [cell, value] : cells)
            S.DataBuffer[static_cast<size_t>(cell)] = value;
    }

    std::vector<BusStep> Program() {
        Trace.Clear();
        Core.Operations.Program_EpromClick();
        return DecodeSteps(Trace.Events());
    }

    // The programming pass without any check, then the verify, for the 1k x 8 part.
    ExpectedTrace Unchecked(int checkedCell = -1, int checkedBit = -1) {
        ExpectedTrace expected;
        expected.Idle();
        expected.ProgramSetup(0x62);
        for (int cell = 0; cell <= Last; ++cell) {
            expected.PresentForProgramming(cell, 0x62);
            for (int bit = 0; bit < 8; ++bit) {
                if ((S.DataBuffer[static_cast<size_t>(cell)] >> bit & 1) == 0)
                    continue;
                expected.Pulse(cell, bit, 0x66, 0x62);
                if (cell == checkedCell && bit == checkedBit) {
                    expected.Idle();
                    expected.ReadSetup();
                    expected.ReadCell(cell - 0x200);
                    expected.ProgramSetup(0x62);
                    expected.PresentForProgramming(cell, 0x62);
                }
            }
        }
        expected.Idle();
        expected.Idle();
        expected.ReadSetup();
        expected.ReadPass(Last);
        expected.Idle();
        return expected;
    }

    bool Saw(const std::string& caption) const {
        return std::ranges::find(Console.StatusHistory, caption) != Console.StatusHistory.end();
    }

    void ExpectHonestPulses() const {
        for (const ProgrammingPulse& pulse : Chip.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
            EXPECT_TRUE(pulse.InProgrammingMode);
        }
        EXPECT_THAT(Bus.Violations(), IsEmpty());
    }

    SimulatedProgrammer Chip;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    FakeConsole Console;
    QuennelCore Core{Bus, Console, &Trace};
    SharedState& S = Core.State;
};

// Bit 1 of 0205 is the first upper-half pulse whose bit 0005 does not want:
// the check comes right after it, exactly once, and the part is programmed.
TEST_F(AddressBit9GuardTest, TheCheckComesOnceAfterTheFirstPulseThatCanTellAndTheRunGoesOn) {
    Want({{0x005, 0x01}, {0x205, 0x06}, {0x206, 0x01}, {0x3FF, 0x80}});
    const std::vector<BusStep> steps = Program();
    EXPECT_EQ(StepTexts(steps), Unchecked(0x205, 1).Steps());
    EXPECT_EQ(Console.Status, "Device is Programmed....");
    for (int cell : {0x005, 0x205, 0x206, 0x3FF})
        EXPECT_EQ(Chip.Fuses[static_cast<size_t>(cell)], S.DataBuffer[static_cast<size_t>(cell)]) << cell;
    ExpectHonestPulses();

    // The waits of the check: 100 ms before the read, 150 ms before the next pulse.
    ExpectedTrace upTo = Unchecked(0x205, 1);
    const size_t firstCheckStep = [&] {
        ExpectedTrace head;
        head.Idle();
        head.ProgramSetup(0x62);
        for (int cell = 0; cell < 0x205; ++cell)
            head.ProgramCell(cell, S.DataBuffer[static_cast<size_t>(cell)], 8, 0x62, 0x66, 0x62);
        head.PresentForProgramming(0x205, 0x62);
        head.Pulse(0x205, 1, 0x66, 0x62);
        return head.Steps().size();
    }();
    ASSERT_LT(firstCheckStep + 20, steps.size());
    const size_t readSetupEnd = firstCheckStep + 7 + 2; // idle, then 0B, 01, 02
    EXPECT_EQ(steps[readSetupEnd].Text, "02=3B");
    EXPECT_EQ(steps[readSetupEnd + 4].Text, "read");
    EXPECT_GE(steps[readSetupEnd + 1].Microseconds - steps[readSetupEnd].Microseconds, 100'000);
    const size_t programSetupEnd = readSetupEnd + 4 + 3;
    EXPECT_EQ(steps[programSetupEnd].Text, "02=1A");
    EXPECT_GE(steps[programSetupEnd + 1].Microseconds - steps[programSetupEnd].Microseconds, 150'000);
    // The upper cell presented again, then the next bit's pulse.
    EXPECT_EQ(steps[programSetupEnd + 5].Text, "01=6D");
    EXPECT_EQ(steps[programSetupEnd + 6].Text, "02=12") << "the next bit's pulse";
}

// No upper-half pulse can tell (each bit is wanted in the lower cell too),
// or the part has no upper half: the trace is the plain one.
TEST_F(AddressBit9GuardTest, NoCheckWhenNoUpperHalfPulseCanTell) {
    Want({{0x005, 0x03}, {0x205, 0x02}, {0x1FF, 0x80}, {0x3FF, 0x80}});
    EXPECT_EQ(StepTexts(Program()), Unchecked().Steps());
    EXPECT_EQ(Console.Status, "Device is Programmed....");

    Core.SelectDevice(*FindDeviceByCaption("82S147"));
    S.DataBuffer.fill(0);
    Chip.Fuses.fill(0);
    Want({{0x000, 0x01}, {0x1FF, 0x02}});
    Program();
    EXPECT_EQ(std::ranges::count(Console.StatusHistory, "Device is Programmed...."), 2);
    EXPECT_EQ(std::ranges::count(DecodeSteps(Trace.Events()), "read", &BusStep::Text), 0x200)
        << "the verify's reads only";
}

// Address bit 9 does not reach the part: the first upper-half pulse that
// can tell blows its bit in the lower cell; the run stops right there, in
// red, with the cell named, without a verify and without a second pulse.
TEST_F(AddressBit9GuardTest, OnAProgrammerWithoutBit9TheRunStopsAfterOneUpperHalfPulse) {
    Chip.AddressOpen = 0x200; // A9 floats to 0
    Want({{0x005, 0x01}, {0x100, 0x80}, {0x205, 0x06}, {0x206, 0x01}, {0x3FF, 0x80}});
    Program();

    EXPECT_EQ(Console.Status, AddressBit9Caption);
    EXPECT_TRUE(Console.LastUnlockFault);
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_THAT(Console.Results,
                ElementsAre("0205  BIT 1 PULSED, FOUND IN 0005: address bit 9 does not reach "
                            "the device; programming stopped after that pulse"));
    EXPECT_FALSE(Saw("Verifying Device to Buffer...."));
    EXPECT_FALSE(Saw("Device is Programmed...."));
    EXPECT_FALSE(Saw("Device Did NOT Program...."));

    // The lower half as wanted, then the one pulse that went astray.
    ASSERT_EQ(Chip.Pulses().size(), 3U);
    EXPECT_EQ(Chip.Pulses()[2].Cell, 0x205) << "as the programmer presented it";
    EXPECT_EQ(Chip.Pulses()[2].Bit, 1);
    EXPECT_EQ(Chip.Fuses[0x005], 0x03) << "one wrong fuse";
    EXPECT_EQ(Chip.Fuses[0x100], 0x80);
    EXPECT_EQ(Chip.Latch(0x01), 0xE4) << "left idle";
    ExpectHonestPulses();

    // The next run checks again.
    Chip.ClearRecords();
    Program();
    EXPECT_EQ(Console.Status, AddressBit9Caption);
    EXPECT_EQ(Chip.Pulses().size(), 3U);
}

TEST_F(AddressBit9GuardTest, AReadWhoseHalvesComeBackTheSameSaysBit9MayNotReachThePart) {
    Chip.AddressOpen = 0x200; // A9 floats to 0
    Chip.Fuses[0x012] = 0x5A;
    Core.Operations.Move_EpromClick();
    EXPECT_EQ(Console.Status, "Device Has Been Moved to Buffer....");
    EXPECT_EQ(S.DataBuffer[0x212], 0x5A);
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_THAT(Console.Results, ElementsAre(IdenticalHalvesLine));

    // The buffer as read: it verifies, with the same line kept on view.
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Verified to Buffer....");
    EXPECT_TRUE(Console.ResultsVisible);
    EXPECT_THAT(Console.Results, ElementsAre(IdenticalHalvesLine));

    // Halves that differ, a blank part, or a part without an upper half: no line.
    Chip.AddressOpen = 0;
    Console.Results.clear();
    Core.Operations.Move_EpromClick();
    EXPECT_THAT(Console.Results, IsEmpty());
    EXPECT_FALSE(Console.ResultsVisible);
    Chip.Fuses.fill(0);
    S.DataBuffer.fill(0);
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Verified to Buffer....");
    EXPECT_THAT(Console.Results, IsEmpty());
    Core.Operations.Move_EpromClick();
    EXPECT_THAT(Console.Results, IsEmpty());
    Core.SelectDevice(*FindDeviceByCaption("82S147"));
    Chip.AddressOpen = 0x200; // A9 floats to 0
    Chip.Fuses[0x012] = 0x5A;
    Core.Operations.Move_EpromClick();
    EXPECT_THAT(Console.Results, IsEmpty());
}

} // namespace
} // namespace quennel::test
