#include "DeviceCycleRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class DeviceCycleTest : public ::testing::Test, public DeviceCycleRig {
protected:
    // The microseconds from the last port access to the routine's return.
    int64_t QuietTail() {
        int64_t end = Mark();
        auto steps = Steps();
        return steps.empty() ? -1 : end - steps.back().Microseconds;
    }
    std::vector<int> PulsedBits() const {
        std::vector<int> bits;
        for (const auto& pulse : Chip.Pulses())
            bits.push_back(pulse.Bit);
        return bits;
    }
};

TEST_F(DeviceCycleTest, IdleStateWritesTheIdleLatchesOnlyWithAProgrammer) {
    S.ProgrammerModel = 0;
    S.CurrentAddress = 0x1F;
    S.EndReached = 3;
    Cycle.SetIdleState();
    EXPECT_THAT(Trace.Events(), IsEmpty());
    EXPECT_EQ(S.CurrentAddress, 0);
    EXPECT_EQ(S.EndReached, 0);

    S.ProgrammerModel = 1;
    S.CurrentAddress = 0x3FF;
    S.EndReached = 5;
    Cycle.SetIdleState();
    EXPECT_THAT(Texts(), ElementsAre("03=00", "02=3B", "01=E4", "0B=76", "09=00", "park", "03=A0"));
    EXPECT_EQ(S.CurrentAddress, 0);
    EXPECT_EQ(S.EndReached, 0);
}

TEST_F(DeviceCycleTest, ReadSetupEntersReadModeAndSettlesForAtLeast100Ms) {
    Cycle.ReadSetup();
    EXPECT_GE(QuietTail(), 100'000);
    EXPECT_THAT(Texts(), ElementsAre("0B=62", "01=E5", "02=3B"));
    EXPECT_EQ(S.DelayMs, 0);
}

TEST_F(DeviceCycleTest, ProgramSetupPicksLatch0BByClassAndSettlesForAtLeast150Ms) {
    const int latch0B[7] = {0x62, 0x62, 0x22, 0x22, 0x62, 0x62, 0x62};
    for (int deviceClass = 0; deviceClass <= 6; ++deviceClass) {
        SCOPED_TRACE(deviceClass);
        Trace.Clear();
        S.DeviceClass = deviceClass;
        Cycle.ProgramSetup();
        EXPECT_GE(QuietTail(), 150'000);
        char expected[8];
        std::snprintf(expected, sizeof expected, "0B=%02X", latch0B[deviceClass]);
        EXPECT_THAT(Texts(), ElementsAre(expected, "01=E5", "02=1A"));
        EXPECT_EQ(S.Latch01Program, 0x65);
    }
}

TEST_F(DeviceCycleTest, SetAddressPresentsTheCellAndShowsIt) {
    Cycle.ReadSetup();
    Trace.Clear();
    S.CurrentAddress = 0x1A5;
    Cycle.SetAddress();
    EXPECT_THAT(Texts(), ElementsAre("09=A5", "0B=63", "01=E5"));
    EXPECT_EQ(Console.Address, "01A5");
    EXPECT_EQ(S.Latch0BAddress, 0x63);
    EXPECT_EQ(Chip.PresentedCell(), 0x1A5);

    // Address bit 9 rides on bit 3 of latch 01, and leaves with the cell.
    Trace.Clear();
    S.CurrentAddress = 0x3A5;
    Cycle.SetAddress();
    EXPECT_THAT(Texts(), ElementsAre("09=A5", "0B=63", "01=ED"));
    EXPECT_EQ(Chip.PresentedCell(), 0x3A5);
    EXPECT_EQ(Console.Address, "03A5");

    Trace.Clear();
    S.CurrentAddress = 0x0FE;
    Cycle.SetAddress();
    EXPECT_THAT(Texts(), ElementsAre("09=FE", "0B=62", "01=E5"));
    EXPECT_EQ(Chip.PresentedCell(), 0x0FE);
    EXPECT_EQ(Console.Address, "00FE");
}

TEST_F(DeviceCycleTest, ReadCellMasksOnlyTheFourBitClasses) {
    Chip.Fuses[0x2C] = 0xA7;
    Chip.Fuses[0x32C] = 0x5E;
    Cycle.ReadSetup();
    for (int deviceClass = 0; deviceClass <= 6; ++deviceClass) {
        SCOPED_TRACE(deviceClass);
        bool fourBit = deviceClass == 3 || deviceClass == 4;
        S.DeviceClass = deviceClass;
        Trace.Clear();
        S.CurrentAddress = 0x2C;
        Cycle.ReadCell();
        EXPECT_THAT(Texts(), ElementsAre("09=2C", "0B=62", "01=E5", "read"));
        EXPECT_EQ(S.ReadValue, fourBit ? 0x07 : 0xA7);
        S.CurrentAddress = 0x32C;
        Cycle.ReadCell();
        EXPECT_EQ(S.ReadValue, fourBit ? 0x0E : 0x5E);
    }
}

TEST_F(DeviceCycleTest, PassVisitsEveryCellOnceAndEndsPastTheLastOne) {
    S.DeviceEnd = 0x1F;
    Cycle.SetIdleState();
    std::vector<int32_t> seen;
    Cycle.RunPass([&] { seen.push_back(S.CurrentAddress); });
    std::vector<int32_t> expected;
    for (int32_t a = 0; a <= 0x1F; ++a)
        expected.push_back(a);
    EXPECT_THAT(seen, ElementsAreArray(expected));
    EXPECT_EQ(S.CurrentAddress, 0x20);
    EXPECT_EQ(S.EndReached, 1);
}

TEST_F(DeviceCycleTest, PassNeverLeavesTheBufferWhateverDeviceEndSays) {
    for (int32_t deviceEnd : {1024, 5000, INT32_MAX}) {
        SCOPED_TRACE(deviceEnd);
        S.DeviceEnd = deviceEnd;
        Cycle.SetIdleState();
        int32_t highest = -1, cells = 0;
        Cycle.RunPass([&] {
            highest = S.CurrentAddress;
            if (++cells > BufferSize)
                S.EndReached = 9; // ran past the buffer: stop rather than run for ever
        });
        EXPECT_EQ(highest, 1023);
        EXPECT_EQ(cells, 1024);
        EXPECT_EQ(S.EndReached, 1);
    }
    for (int32_t deviceEnd : {-1, INT32_MIN}) {
        SCOPED_TRACE(deviceEnd);
        S.DeviceEnd = deviceEnd;
        Cycle.SetIdleState();
        std::vector<int32_t> seen;
        Cycle.RunPass([&] { seen.push_back(S.CurrentAddress); });
        EXPECT_THAT(seen, ElementsAre(0));
        EXPECT_EQ(S.EndReached, 1);
    }
}

TEST_F(DeviceCycleTest, PassStopsWhenEndedFromOutside) {
    S.DeviceEnd = 0x3FF;
    Cycle.SetIdleState();
    int cells = 0;
    Cycle.RunPass([&] {
        if (++cells == 3)
            S.EndReached = 5;
    });
    EXPECT_EQ(cells, 3);
}

TEST_F(DeviceCycleTest, OnlyTheClassesDataBitsArePulsedInOrder) {
    struct Case {
        int DeviceClass;
        std::vector<int> Bits;
    };
    for (const Case& c : {Case{1, {0, 2, 5, 7}}, Case{3, {0, 2}}, Case{0, {}}}) {
        SCOPED_TRACE(c.DeviceClass);
        Chip.ClearRecords();
        S.DeviceClass = c.DeviceClass;
        Cycle.ProgramSetup();
        Trace.Clear();
        S.CurrentAddress = 0x05;
        S.DataBuffer[0x05] = 0xA5;
        Cycle.ProgramCell();
        EXPECT_EQ(PulsedBits(), c.Bits);
        std::vector<std::string> bitWrites;
        for (const auto& text : Texts())
            if (text.starts_with("0A="))
                bitWrites.push_back(text);
        EXPECT_EQ(bitWrites.size(), c.Bits.size());
        for (const auto& pulse : Chip.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
            EXPECT_TRUE(pulse.InProgrammingMode);
            EXPECT_EQ(pulse.Cell, 0x05);
        }
    }
    EXPECT_EQ(Chip.Fuses[0x05], 0xA5);
    EXPECT_THAT(Bus.Violations(), IsEmpty());
}

TEST_F(DeviceCycleTest, ProgramCellOutsideTheBufferBlowsNothing) {
    S.DeviceClass = 6;
    Cycle.ProgramSetup();
    S.DataBuffer.fill(0xFF);
    for (int32_t address : {-1, 1024}) {
        S.CurrentAddress = address;
        Cycle.ProgramCell();
    }
    EXPECT_THAT(Chip.Pulses(), IsEmpty());
}

// The full pulse at an address with bit 8 set, and the 10 ms between the
// writes that raise and drop it.
TEST_F(DeviceCycleTest, PulseSequencesCarryAddressBit8) {
    struct Case {
        int DeviceClass;
        std::vector<std::string> Expected;
    };
    const Case cases[] = {
        {1, {"02=12", "0B=67", "0A=03", "01=61", "01=E1", "01=61", "01=E5", "0B=67", "0B=63", "02=1A"}},
        {2, {"02=12", "0B=37", "0A=03", "01=61", "01=E1", "01=61", "01=E5", "0B=37", "0B=23", "02=1A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DeviceClass);
        S.DeviceClass = c.DeviceClass;
        Cycle.ProgramSetup();
        S.CurrentAddress = 0x1A5;
        Cycle.SetAddress();
        Trace.Clear();
        int pumps = Console.MessagePumps;
        S.ProgramBit = 3;
        Cycle.ProgramPulse();
        auto steps = Steps();
        ASSERT_THAT(StepTexts(steps), ElementsAreArray(c.Expected));
        EXPECT_GE(steps[5].Microseconds - steps[4].Microseconds, 10'000);
        EXPECT_GT(Console.MessagePumps, pumps);
    }
    ASSERT_EQ(Chip.Pulses().size(), 2u);
    for (const auto& pulse : Chip.Pulses()) {
        EXPECT_EQ(pulse.Cell, 0x1A5);
        EXPECT_EQ(pulse.Bit, 3);
    }
    EXPECT_THAT(Bus.Violations(), IsEmpty());
}

TEST_F(DeviceCycleTest, AddressBit9RidesOnEveryLatch01WriteOfItsCellOnly) {
    S.DeviceClass = 6;
    Cycle.ProgramSetup();
    Trace.Clear();
    S.CurrentAddress = 0x2F0;
    S.DataBuffer[0x2F0] = 0x02;
    Cycle.ProgramCell();
    EXPECT_THAT(Texts(), ElementsAre("01=ED", "09=F0", "0B=62", "01=ED", "01=6D", "02=12", "0B=66", "0A=01",
                                     "01=69", "01=E9", "01=69", "01=ED", "0B=66", "0B=62", "02=1A"));
    ASSERT_EQ(Chip.Pulses().size(), 1u);
    EXPECT_EQ(Chip.Pulses()[0].Cell, 0x2F0);

    // The next cell, below 0x200 and 0x00 in the buffer: presented, bit 9 clear, no pulse.
    Trace.Clear();
    S.CurrentAddress = 0x0F0;
    S.DataBuffer[0x0F0] = 0x00;
    Cycle.ProgramCell();
    EXPECT_THAT(Texts(), ElementsAre("01=E5", "09=F0", "0B=62", "01=E5", "01=65"));
    EXPECT_EQ(Chip.Pulses().size(), 1u);
}

TEST_F(DeviceCycleTest, NothingTouchesTheReleasedPort) {
    S.DeviceClass = 1;
    Cycle.ProgramSetup();
    Latches.ClosePort();
    Trace.Clear();
    Cycle.SetIdleState();
    S.CurrentAddress = 3;
    S.DataBuffer[3] = 0x01;
    Cycle.ProgramCell();
    Cycle.ReadCell();
    EXPECT_THAT(Texts(), IsEmpty());
    EXPECT_THAT(Bus.Violations(), IsEmpty());
}

} // namespace
} // namespace quennel::test
