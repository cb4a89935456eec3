// The simulated I/O bus: empty ranges, attached ports, the open-range guard.
#include "sim/SimulatedBus.h"

#include <gtest/gtest.h>

using namespace quennel;

namespace {
constexpr uint16_t Base = 0x378;

void Strobe(SimulatedBus& bus, uint8_t select, uint8_t value) {
    bus.WriteByte(Base, value);
    for (uint8_t control :
         {select, uint8_t(select | 4), uint8_t(select | 4), uint8_t(select | 4), select, uint8_t(0)})
        bus.WriteByte(Base + 2, control);
}

size_t Count(const std::vector<SimulatedViolation>& all, SimulatedViolation::Kind kind) {
    size_t n = 0;
    for (const auto& v : all)
        n += v.What == kind;
    return n;
}
} // namespace

TEST(SimulatedBus, EmptyAddressesReadFFAndSwallowWrites) {
    SimulatedBus bus;
    SimulatedProgrammer p;
    bus.Attach(Base, p);
    std::string failure;
    for (uint16_t address : {0x278, 0x279, 0x27A, 0x3BC, 0x67A, 0x37B, 0x377}) {
        bus.WriteByte(address, 0x12);
        EXPECT_EQ(bus.ReadByte(address), 0xFF) << std::hex << address;
    }
    EXPECT_EQ(p.DataLines(), 0x00) << "a write next door must not reach the port";
    EXPECT_TRUE(bus.Violations().empty()) << "nobody owns those addresses";
    // An unpopulated range opens without complaint, as on an empty ISA slot.
    EXPECT_TRUE(bus.OpenRange(0x278, 0x27A, failure));
}

TEST(SimulatedBus, PortRegistersAnswerOnlyWhileTheirRangeIsOpen) {
    SimulatedBus bus;
    SimulatedProgrammer p;
    bus.Attach(Base, p);
    Strobe(bus, 0x0A, 0x42); // before the range is opened: 7 writes refused
    EXPECT_EQ(p.Latch(0x0A), 0x00);
    EXPECT_EQ(bus.ReadByte(Base + 1), 0xFF);
    EXPECT_EQ(Count(bus.Violations(), SimulatedViolation::Kind::ClosedRangeAccess), 8u);

    std::string failure;
    ASSERT_TRUE(bus.OpenRange(Base, Base + 2, failure));
    Strobe(bus, 0x0A, 0x42);
    EXPECT_EQ(p.Latch(0x0A), 0x42);
    EXPECT_EQ(Count(bus.Violations(), SimulatedViolation::Kind::ClosedRangeAccess), 8u);

    bus.CloseRange(Base, Base + 2);
    bus.WriteByte(Base, 0x99);
    EXPECT_EQ(p.DataLines(), 0x42);
    ASSERT_EQ(Count(bus.Violations(), SimulatedViolation::Kind::ClosedRangeAccess), 9u);
    EXPECT_EQ(bus.Violations().back().Detail, "W 0378 99 while the range is closed");
}

TEST(SimulatedBus, EcrIsReachableOutsideTheRange) {
    SimulatedBus bus;
    SimulatedProgrammer p;
    bus.Attach(Base, p);
    bus.WriteByte(Base + 0x402, 0x00);
    EXPECT_EQ(p.Ecr, 0x00);
    p.Ecr = 0x35;
    EXPECT_EQ(bus.ReadByte(Base + 0x402), 0x35);
    EXPECT_TRUE(bus.Violations().empty());
}

TEST(SimulatedBus, AGivenBackRangeIsGuardedEvenWhereNoProgrammerAnswers) {
    SimulatedBus bus;
    std::string failure;
    ASSERT_TRUE(bus.OpenRange(0x278, 0x27A, failure));
    bus.WriteByte(0x27A, 0x00);
    bus.CloseRange(0x278, 0x27A);
    EXPECT_TRUE(bus.Violations().empty());
    EXPECT_EQ(bus.ReadByte(0x279), 0xFF);
    ASSERT_EQ(bus.Violations().size(), 1u);
    EXPECT_EQ(bus.Violations()[0].Detail, "R 0279 while the range is closed");
}

TEST(SimulatedBus, RefusedOpenReportsItsReasonAndLeavesTheRangeClosed) {
    SimulatedBus bus;
    SimulatedProgrammer p;
    bus.Attach(Base, p);
    bus.RefuseOpen = "Permission denied";
    std::string failure;
    EXPECT_FALSE(bus.OpenRange(Base, Base + 2, failure));
    EXPECT_EQ(failure, "Permission denied");
    EXPECT_FALSE(bus.IsOpen(Base));
}

TEST(SimulatedBus, WithoutRangeOpeningEveryRegisterIsOpen) {
    SimulatedBus bus;
    SimulatedProgrammer p;
    bus.Attach(Base, p);
    bus.RangesNeedOpening = false;
    Strobe(bus, 0x09, 0x77);
    EXPECT_EQ(p.Latch(0x09), 0x77);
    EXPECT_TRUE(bus.Violations().empty());
}

TEST(SimulatedBus, ViolationsOfEveryAttachedProgrammerAreGatheredAndADetachedPortIsGone) {
    SimulatedBus bus;
    SimulatedProgrammer first, second;
    bus.Attach(0x278, first);
    bus.Attach(Base, second);
    bus.RangesNeedOpening = false;
    // A pulse with no programming set-up at all, on the second port.
    Strobe(bus, 0x01, 0xE1);
    Strobe(bus, 0x01, 0xE5);
    auto all = bus.Violations();
    EXPECT_EQ(Count(all, SimulatedViolation::Kind::PulseOutsideProgramming), 1u);
    EXPECT_EQ(Count(all, SimulatedViolation::Kind::ShortPulse), 1u);
    EXPECT_TRUE(first.Violations().empty());

    bus.Detach(Base);
    EXPECT_EQ(bus.ReadByte(Base + 1), 0xFF);
    EXPECT_TRUE(bus.Violations().empty());
}
