// The simulated programmer driven straight at its registers, as the wire
// would drive a real one.
#include "sim/SimulatedProgrammer.h"

#include <chrono>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <thread>

using namespace quennel;

namespace {

constexpr uint16_t DataRegister = 0;
constexpr uint16_t StatusRegister = 1;
constexpr uint16_t ControlRegister = 2;

// The clock pattern of a latch write: select held, clock raised three
// writes long, select held, all released.
void Strobe(SimulatedProgrammer& p, uint8_t select, uint8_t value) {
    p.WriteRegister(DataRegister, value);
    for (uint8_t control :
         {select, uint8_t(select | 4), uint8_t(select | 4), uint8_t(select | 4), select, uint8_t(0)})
        p.WriteRegister(ControlRegister, control);
}

// A nibble read undone by hand: BUSY flipped back, bits 3..0 dropped.
uint8_t ReadByte(SimulatedProgrammer& p) {
    p.WriteRegister(ControlRegister, 0x00);
    uint8_t high = p.ReadRegister(StatusRegister);
    p.WriteRegister(ControlRegister, 0x04);
    uint8_t low = p.ReadRegister(StatusRegister);
    p.WriteRegister(ControlRegister, 0x00);
    return static_cast<uint8_t>(((high ^ 0x80) & 0xF0) | ((low ^ 0x80) >> 4));
}

void EchoMode(SimulatedProgrammer& p, uint8_t value) {
    Strobe(p, 0x02, 0xB7);
    Strobe(p, 0x0A, value);
}

void ReadMode(SimulatedProgrammer& p, uint16_t cell) {
    Strobe(p, 0x0B, static_cast<uint8_t>(0x62 | ((cell >> 8) & 1)));
    Strobe(p, 0x01, static_cast<uint8_t>(0xE5 | ((cell & 0x200) ? 0x08 : 0)));
    Strobe(p, 0x02, 0x3B);
    Strobe(p, 0x09, static_cast<uint8_t>(cell & 0xFF));
}

struct Family {
    uint8_t Setup;  // latch 0B in programming mode
    uint8_t During; // latch 0B around the pulse
};
constexpr Family Signetics{0x62, 0x66};
constexpr Family National{0x22, 0x36};

void ProgramMode(SimulatedProgrammer& p, Family family = Signetics) {
    Strobe(p, 0x0B, family.Setup);
    Strobe(p, 0x01, 0xE5);
    Strobe(p, 0x02, 0x1A);
}

// One pulse as the device cycle sends it, held on for holdMs.
void Pulse(SimulatedProgrammer& p, uint16_t cell, int bit, int holdMs, Family family = Signetics) {
    uint8_t a8 = (cell >> 8) & 1;
    uint8_t a9 = (cell & 0x200) ? 0x08 : 0;
    Strobe(p, 0x09, static_cast<uint8_t>(cell & 0xFF));
    Strobe(p, 0x0B, static_cast<uint8_t>(family.Setup | a8));
    Strobe(p, 0x01, static_cast<uint8_t>(0x65 | a9));
    Strobe(p, 0x02, 0x12);
    Strobe(p, 0x0B, static_cast<uint8_t>(family.During | a8));
    Strobe(p, 0x0A, static_cast<uint8_t>(bit));
    Strobe(p, 0x01, static_cast<uint8_t>(0x61 | a9));
    Strobe(p, 0x01, static_cast<uint8_t>(0xE1 | a9));
    if (holdMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    Strobe(p, 0x01, static_cast<uint8_t>(0x61 | a9));
    Strobe(p, 0x01, static_cast<uint8_t>(0xE5 | a9));
    Strobe(p, 0x0B, static_cast<uint8_t>(family.During | a8));
    Strobe(p, 0x0B, static_cast<uint8_t>(family.Setup | a8));
    Strobe(p, 0x02, 0x1A);
}

bool Has(const std::vector<SimulatedViolation>& all, SimulatedViolation::Kind kind) {
    for (const auto& v : all)
        if (v.What == kind)
            return true;
    return false;
}

} // namespace

TEST(SimulatedLatches, EachOfTheSixLatchesTakesTheDataLinesOnlyWhenItsSelectCodeIsClocked) {
    SimulatedProgrammer p;
    const uint8_t selects[] = {0x0A, 0x09, 0x0B, 0x03, 0x02, 0x01};
    std::map<uint8_t, uint8_t> expected;
    for (uint8_t select : selects) {
        expected[select] = static_cast<uint8_t>(0x10 + select);
        Strobe(p, select, expected[select]);
        for (uint8_t any : selects)
            EXPECT_EQ(p.Latch(any), expected[any]) << "after latch " << std::hex << int(select);
    }
    // The data lines alone latch nothing, and a latch holds when they change.
    p.WriteRegister(DataRegister, 0xEE);
    for (uint8_t select : selects)
        EXPECT_EQ(p.Latch(select), expected[select]);
}

TEST(SimulatedLatches, OnlyARisingClockLatchesAndOnlyIntoTheSixSelectCodes) {
    for (int model : {1, 2}) {
        SimulatedProgrammer p;
        p.Model = model;
        Strobe(p, 0x0A, 0x5A);
        // Clock held high: new data and a new select code without an edge.
        p.WriteRegister(ControlRegister, 0x0E);
        p.WriteRegister(DataRegister, 0x11);
        p.WriteRegister(ControlRegister, 0x0F);
        p.WriteRegister(ControlRegister, 0x0D);
        EXPECT_EQ(p.Latch(0x0A), 0x5A) << "model " << model;
        EXPECT_EQ(p.Latch(0x0B), 0x00) << "model " << model;
        // Select codes that name no latch.
        for (uint8_t select : {0x00, 0x08, 0x0C}) {
            p.WriteRegister(ControlRegister, select);
            p.WriteRegister(ControlRegister, static_cast<uint8_t>(select | 4));
            p.WriteRegister(ControlRegister, 0x00);
        }
        for (uint8_t select : {0x09, 0x0B, 0x03, 0x02, 0x01})
            EXPECT_EQ(p.Latch(select), 0x00) << "model " << model;
        EXPECT_EQ(p.Latch(0x0A), 0x5A) << "model " << model;
    }
}

TEST(SimulatedLatches, OnlyTheCurrentModelAlsoLatchesOnTheFallingClock) {
    for (int model : {1, 2}) {
        SimulatedProgrammer p;
        p.Model = model;
        p.WriteRegister(ControlRegister, 0x04);
        p.WriteRegister(DataRegister, 0x3C);
        p.WriteRegister(ControlRegister, 0x09); // the clock falls onto select 09
        EXPECT_EQ(p.Latch(0x09), model == 2 ? 0x3C : 0x00) << "model " << model;
    }
}

TEST(SimulatedNibbles, HighNibbleWithClockLowLowNibbleWithClockHighBusyInvertedAndNoiseBelow) {
    SimulatedProgrammer p;
    EchoMode(p, 0xA5);
    std::set<int> unused;
    int previous = -1;
    for (int i = 0; i < 80; ++i) {
        bool clockHigh = i % 2;
        p.WriteRegister(ControlRegister, clockHigh ? 0x04 : 0x00);
        uint8_t status = p.ReadRegister(StatusRegister);
        // 0xA and 0x5 with bit 7 inverted
        EXPECT_EQ(status & 0xF0, clockHigh ? 0xD0 : 0x20) << i;
        EXPECT_NE(status & 0x0F, previous) << "bits 3..0 must change on every read";
        previous = status & 0x0F;
        unused.insert(previous);
    }
    EXPECT_GT(unused.size(), 4u);
}

TEST(SimulatedNibbles, NoiseIsReproducibleFromTheSeed) {
    SimulatedProgrammer a(7), b(7), c(8);
    std::vector<uint8_t> fromA, fromB, fromC;
    for (int i = 0; i < 16; ++i) {
        fromA.push_back(a.ReadRegister(StatusRegister));
        fromB.push_back(b.ReadRegister(StatusRegister));
        fromC.push_back(c.ReadRegister(StatusRegister));
    }
    EXPECT_EQ(fromA, fromB);
    EXPECT_NE(fromA, fromC);
}

TEST(SimulatedModels, OlderModelEchoesEveryTestByteAfterTheBurstCurrentModelDoesNot) {
    for (int model : {1, 2}) {
        SimulatedProgrammer p;
        p.Model = model;
        Strobe(p, 0x02, 0x7F); // power-up state: the burst itself selects the echo
        int changed = 0;
        for (int v = 0; v < 0x80; ++v) {
            Strobe(p, 0x0A, static_cast<uint8_t>(v));
            for (int round = 0; round < 32; ++round) {
                p.WriteRegister(DataRegister, 0xB7);
                for (uint8_t c : {0x05, 0x01, 0x0D, 0x0A, 0x0F, 0x0A, 0x07, 0x0A, 0x04, 0x0A, 0x06, 0x0A})
                    p.WriteRegister(ControlRegister, c);
            }
            if (ReadByte(p) != v)
                ++changed;
        }
        if (model == 1)
            EXPECT_EQ(changed, 0);
        else
            EXPECT_GT(changed, 0);
        EXPECT_FALSE(p.PulseOn()) << "the burst must not switch the programming supply on";
    }
}

TEST(SimulatedReadMode, PresentsTheCellAtA0ToA9AndFloatsOutsideReadMode) {
    SimulatedProgrammer p;
    p.Fuses[0x0A5] = 0x11;
    p.Fuses[0x1A5] = 0x3C;
    p.Fuses[0x2A5] = 0xC3;
    p.Fuses[0x3A5] = 0x7E;
    for (uint16_t cell : {0x0A5, 0x1A5, 0x2A5, 0x3A5}) {
        ReadMode(p, cell);
        EXPECT_EQ(p.PresentedCell(), cell);
        EXPECT_EQ(ReadByte(p), p.Fuses[cell]) << std::hex << cell;
    }
    // Idle latch 01: the outputs are off and the lines float.
    Strobe(p, 0x01, 0xE4);
    std::set<uint8_t> seen;
    for (int i = 0; i < 8; ++i)
        seen.insert(ReadByte(p));
    EXPECT_GT(seen.size(), 1u);
}

TEST(SimulatedReadMode, FourBitPartFloatsItsUpperOutputs) {
    SimulatedProgrammer p;
    p.Width = 4;
    p.Fuses[0x010] = 0x05;
    ReadMode(p, 0x010);
    std::set<uint8_t> upper;
    for (int i = 0; i < 16; ++i) {
        uint8_t value = ReadByte(p);
        EXPECT_EQ(value & 0x0F, 0x05);
        upper.insert(value & 0xF0);
    }
    EXPECT_GT(upper.size(), 1u);
}

TEST(SimulatedProgramming, LongPulseInProgrammingModeBlowsTheBitShortOneDoesNot) {
    SimulatedProgrammer p;
    ProgramMode(p);
    Pulse(p, 0x1A5, 0, 0); // far below 10 ms
    EXPECT_EQ(p.Fuses[0x1A5], 0x00);
    ASSERT_EQ(p.Violations().size(), 1u);
    EXPECT_EQ(p.Violations()[0].What, SimulatedViolation::Kind::ShortPulse);

    Pulse(p, 0x1A5, 5, 11);
    EXPECT_EQ(p.Fuses[0x1A5], 0x20);
    ASSERT_EQ(p.Pulses().size(), 2u);
    EXPECT_LT(p.Pulses()[0].WidthMs, MinimumPulseMs);
    EXPECT_FALSE(p.Pulses()[0].Blew);
    EXPECT_GE(p.Pulses()[1].WidthMs, 11.0);
    EXPECT_TRUE(p.Pulses()[1].Blew);
    EXPECT_EQ(p.Pulses()[1].Cell, 0x1A5);
    EXPECT_EQ(p.Pulses()[1].Bit, 5);
    EXPECT_TRUE(p.Pulses()[1].InProgrammingMode);
    EXPECT_EQ(p.Violations().size(), 1u) << "the long pulse is no violation";
    EXPECT_FALSE(p.PulseOn());
}

TEST(SimulatedProgramming, NationalWiringAndAddressBit9AreHonoured) {
    SimulatedProgrammer p;
    ProgramMode(p, National);
    Pulse(p, 0x3FF, 7, 11, National);
    EXPECT_EQ(p.Fuses[0x3FF], 0x80);
    EXPECT_EQ(p.Fuses[0x1FF], 0x00) << "the upper half must not fold onto the lower one";
    EXPECT_TRUE(p.Violations().empty());
}

TEST(SimulatedProgramming, PulseOutsideProgrammingModeBlowsNothingAndIsRecorded) {
    SimulatedProgrammer p;
    ReadMode(p, 0x040); // never set up for programming
    Pulse(p, 0x040, 1, 11);
    EXPECT_EQ(p.Fuses[0x040], 0x00);
    ASSERT_EQ(p.Pulses().size(), 1u);
    EXPECT_FALSE(p.Pulses()[0].InProgrammingMode);
    EXPECT_TRUE(Has(p.Violations(), SimulatedViolation::Kind::PulseOutsideProgramming));

    // Programming mode left again for read mode before the pulse.
    p.ClearRecords();
    ProgramMode(p);
    Strobe(p, 0x02, 0x3B);
    Strobe(p, 0x01, 0xE1);
    Strobe(p, 0x01, 0xE5);
    EXPECT_TRUE(Has(p.Violations(), SimulatedViolation::Kind::PulseOutsideProgramming));
    EXPECT_EQ(p.Fuses[0x040], 0x00);
}

TEST(SimulatedProgramming, FusesThatWillNotBlowMissingUpperFusesAndBlownFusesStay) {
    SimulatedProgrammer p;
    p.FusesBlow = false;
    ProgramMode(p);
    Pulse(p, 0x002, 3, 11);
    EXPECT_EQ(p.Fuses[0x002], 0x00);
    EXPECT_TRUE(p.Violations().empty()) << "the program did nothing wrong";

    p.FusesBlow = true;
    p.Width = 4;
    Pulse(p, 0x002, 6, 11);
    EXPECT_EQ(p.Fuses[0x002], 0x00) << "a 4-bit part has no fuse 6";

    p.Width = 8;
    p.Fuses[0x002] = 0x81; // blown in advance
    Pulse(p, 0x002, 0, 11);
    EXPECT_EQ(p.Fuses[0x002], 0x81);
    EXPECT_FALSE(p.Pulses().back().Blew);
    EXPECT_TRUE(p.Violations().empty());
}

TEST(SimulatedPower, UnpoweredBoardShowsConstantStatusAndForgetsItsLatches) {
    SimulatedProgrammer p;
    EchoMode(p, 0x5A);
    p.Powered = false;
    std::set<uint8_t> seen;
    for (int i = 0; i < 8; ++i) {
        p.WriteRegister(ControlRegister, static_cast<uint8_t>(i % 2 ? 0x04 : 0x00));
        seen.insert(p.ReadRegister(StatusRegister));
    }
    EXPECT_EQ(seen.size(), 1u);
    Strobe(p, 0x0A, 0x33);
    EXPECT_EQ(p.Latch(0x0A), 0x00);
    EXPECT_EQ(p.Latch(0x02), 0x00);

    p.Powered = true;
    EXPECT_NE(ReadByte(p), 0x5A) << "the echo mode died with the power";
    EchoMode(p, 0x5A);
    EXPECT_EQ(ReadByte(p), 0x5A);
}

TEST(SimulatedPower, PowerLostDuringAPulseBlowsNothing) {
    SimulatedProgrammer p;
    ProgramMode(p);
    Strobe(p, 0x02, 0x12);
    Strobe(p, 0x0B, 0x66);
    Strobe(p, 0x0A, 2);
    Strobe(p, 0x01, 0xE1);
    ASSERT_TRUE(p.PulseOn());
    std::this_thread::sleep_for(std::chrono::milliseconds(11));
    p.Powered = false;
    p.ReadRegister(StatusRegister);
    EXPECT_FALSE(p.PulseOn());
    EXPECT_EQ(p.Fuses[0], 0x00);
}

TEST(SimulatedPort, ExtendedControlRegisterReadsBackOrIsAbsent) {
    SimulatedProgrammer p;
    uint8_t atStart = p.ReadRegister(0x402);
    p.WriteRegister(0x402, 0x00);
    EXPECT_EQ(p.ReadRegister(0x402), 0x00);
    p.WriteRegister(0x402, atStart);
    EXPECT_EQ(p.ReadRegister(0x402), atStart);

    p.HasEcr = false;
    p.WriteRegister(0x402, 0x00);
    EXPECT_EQ(p.ReadRegister(0x402), 0xFF);
}

// Faults of the lines between the adapter and the part, read at the wire:
// an open address input reads as 0, a stuck one as 1, a stuck output
// reads its value whatever the fuse, bridged outputs read as their AND.
TEST(SimulatedLineFaults, ReadsGoThroughTheFaultyLines) {
    SimulatedProgrammer p;
    for (size_t cell = 0; cell < p.Fuses.size(); ++cell)
        p.Fuses[cell] = static_cast<uint8_t>(cell * 37 + 11);
    p.AddressOpen = 0x020;
    ReadMode(p, 0x125);
    EXPECT_EQ(p.PresentedCell(), 0x125) << "the programmer presents what it was told";
    EXPECT_EQ(ReadByte(p), p.Fuses[0x105]);
    p.AddressOpen = 0;
    p.AddressStuckHigh = 0x200;
    ReadMode(p, 0x0A5);
    EXPECT_EQ(ReadByte(p), p.Fuses[0x2A5]);
    ReadMode(p, 0x2A5);
    EXPECT_EQ(ReadByte(p), p.Fuses[0x2A5]);
    p.AddressStuckHigh = 0;

    p.Fuses[0x010] = 0x5A;
    p.DataStuckLow = 0x02;
    p.DataStuckHigh = 0x80;
    ReadMode(p, 0x010);
    EXPECT_EQ(ReadByte(p), 0xD8);
    p.DataStuckLow = p.DataStuckHigh = 0;

    // D1 and D2 tied: both high only when both fuses are blown.
    p.DataBridges = {{1, 2}};
    for (auto [fuses, read] : {std::pair<uint8_t, uint8_t>{0x00, 0x00},
                               {0x02, 0x00},
                               {0x04, 0x00},
                               {0x06, 0x06},
                               {0xF9, 0xF9},
                               {0xFB, 0xF9}}) {
        p.Fuses[0x010] = fuses;
        ReadMode(p, 0x010);
        EXPECT_EQ(ReadByte(p), read) << std::hex << int(fuses);
    }
}

// Programming through the same lines: the pulse lands where the part's
// address inputs point, a stuck output takes no current, and a bridge
// carries it to both outputs.
TEST(SimulatedLineFaults, ProgrammingGoesThroughTheFaultyLines) {
    SimulatedProgrammer p;
    ProgramMode(p);
    p.AddressOpen = 0x004;
    Pulse(p, 0x0F, 1, 11);
    EXPECT_EQ(p.Fuses[0x0F], 0x00);
    EXPECT_EQ(p.Fuses[0x0B], 0x02);
    EXPECT_EQ(p.Pulses().back().Cell, 0x0F) << "the pulse was given at the cell presented";
    EXPECT_TRUE(p.Pulses().back().Blew);
    p.AddressOpen = 0;

    p.DataStuckHigh = 0x08;
    Pulse(p, 0x20, 3, 11);
    p.DataStuckHigh = 0;
    p.DataStuckLow = 0x08;
    Pulse(p, 0x20, 3, 11);
    EXPECT_EQ(p.Fuses[0x20], 0x00);
    EXPECT_FALSE(p.Pulses().back().Blew);
    p.DataStuckLow = 0;

    p.DataBridges = {{4, 5}};
    Pulse(p, 0x30, 5, 11);
    EXPECT_EQ(p.Fuses[0x30], 0x30);
    Pulse(p, 0x31, 0, 11);
    EXPECT_EQ(p.Fuses[0x31], 0x01) << "a bit outside the bridge blows alone";
    p.Width = 4;
    p.DataBridges = {{3, 4}};
    Pulse(p, 0x32, 3, 11);
    EXPECT_EQ(p.Fuses[0x32], 0x08) << "a 4-bit part has no fuse 4 to reach";
    EXPECT_TRUE(p.Violations().empty());
}
