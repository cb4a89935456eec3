// Whole passes on the simulated programmer: programming with real 10 ms
// pulses, reading back, and a close in the middle of a pulse.

#include "DeviceCycleRig.h"

#include <array>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::IsEmpty;

class DeviceCycleEndToEndTest : public ::testing::Test, public DeviceCycleRig {
protected:
    void ProgramPass() {
        Cycle.SetIdleState();
        Cycle.ProgramSetup();
        Cycle.RunPass([&] { Cycle.ProgramCell(); });
        Cycle.SetIdleState();
    }
    std::array<uint8_t, BufferSize> ReadPass() {
        std::array<uint8_t, BufferSize> image{};
        image.fill(0xEE);
        Cycle.ReadSetup();
        Cycle.RunPass([&] {
            Cycle.ReadCell();
            image[static_cast<size_t>(S.CurrentAddress)] = S.ReadValue;
        });
        Cycle.SetIdleState();
        return image;
    }
    void ExpectCleanPulses(size_t count) {
        EXPECT_EQ(Chip.Pulses().size(), count);
        for (const auto& pulse : Chip.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
            EXPECT_TRUE(pulse.InProgrammingMode);
            EXPECT_TRUE(pulse.Blew);
        }
        EXPECT_THAT(Bus.Violations(), IsEmpty());
    }
};

// Every fourth cell gets one bit, a different one in each half, so that a
// lost address bit 9 would blow the upper half's bits into the lower half.
TEST_F(DeviceCycleEndToEndTest, OneKByEightImageReadsBackExactly) {
    std::array<uint8_t, BufferSize> image{};
    size_t ones = 0;
    for (int a = 0; a < BufferSize; a += 4) {
        int k = (a / 4) % 8;
        image[static_cast<size_t>(a)] = static_cast<uint8_t>(a < 0x200 ? 1 << k : 0x80 >> k);
        ++ones;
    }
    S.DataBuffer = image;
    S.DeviceClass = 6;
    S.DeviceEnd = 0x3FF;

    ProgramPass();
    EXPECT_EQ(Chip.Fuses, image);
    EXPECT_EQ(ReadPass(), image);
    ExpectCleanPulses(ones);
}

TEST_F(DeviceCycleEndToEndTest, FourBitPartProgramsAndReadsOnlyTheLowNibble) {
    Chip.Width = 4;
    S.DeviceClass = 4;
    S.DeviceEnd = 0xFF;
    S.DataBuffer[0x10] = 0xFF;
    S.DataBuffer[0x80] = 0xA5;

    ProgramPass();
    ExpectCleanPulses(6);
    for (const auto& pulse : Chip.Pulses())
        EXPECT_LT(pulse.Bit, 4);

    auto image = ReadPass();
    for (int a = 0; a <= 0xFF; ++a) {
        uint8_t expected = a == 0x10 ? 0x0F : a == 0x80 ? 0x05 : 0x00;
        EXPECT_EQ(image[static_cast<size_t>(a)], expected) << "cell " << a;
    }
}

// The close arrives in the pump of the fourth pulse (bit 3 of cell 0): it
// ends the pass and releases the port; the rest of the pulse, the pulses for
// bits 4 to 7 and every later cell must stay off the bus.
TEST_F(DeviceCycleEndToEndTest, CloseDuringAPulseEndsThePassWithoutTouchingThePort) {
    S.DeviceClass = 1;
    S.DeviceEnd = 0x1F;
    S.DataBuffer.fill(0xFF);
    bool closed = false;
    Console.DuringMessages = [&] {
        if (!closed && Chip.PulseOn() && Chip.Pulses().size() == 3) {
            closed = true;
            S.EndReached = 5;
            S.DelayMs = 0;
            Latches.ClosePort();
        }
    };

    Cycle.SetIdleState();
    Cycle.ProgramSetup();
    Cycle.RunPass([&] { Cycle.ProgramCell(); });

    ASSERT_TRUE(closed);
    EXPECT_EQ(S.ProgramBit, 3);
    EXPECT_EQ(S.CurrentAddress, 1);
    EXPECT_NE(S.EndReached, 0);
    EXPECT_THAT(Bus.Violations(), IsEmpty());

    const auto& events = Trace.Events();
    size_t released = 0;
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i].What == BusEvent::Kind::Call && events[i].Call == "DisablePorts")
            released = i;
    ASSERT_GT(released, 0u);
    for (size_t i = released; i < events.size(); ++i) {
        bool portRegister = events[i].What != BusEvent::Kind::Call && events[i].Address >= RigBase &&
                            events[i].Address <= RigBase + 2;
        EXPECT_FALSE(portRegister) << BusTrace::Format(events[i]);
    }
}

} // namespace
} // namespace quennel::test
