// The latch protocol at bus level: every routine's register writes and reads,
// in order, as the trace records them, and what the programmer makes of them.
#include "SimulatedRig.h"

#include <deque>
#include <gtest/gtest.h>

using namespace quennel;
using namespace quennel::test;
using Lines = std::vector<std::string>;

namespace {

// A back-end that answers status reads from a script, for exact values.
class ScriptedBackEnd : public PortBackEnd {
public:
    std::deque<uint8_t> Status;
    uint8_t ReadByte(uint16_t) override {
        if (Status.empty())
            return 0xFF;
        uint8_t value = Status.front();
        Status.pop_front();
        return value;
    }
    void WriteByte(uint16_t, uint8_t) override {}
    bool OpenRange(uint16_t, uint16_t, std::string&) override { return true; }
    void CloseRange(uint16_t, uint16_t) override {}
};

struct LatchCase {
    const char* Name;
    void (LatchProtocol::*Routine)();
    uint8_t Select;
    const char* Raised;
};

const LatchCase Latches[] = {
    {"Latch0A", &LatchProtocol::Latch0A, 0x0A, "0E"}, {"Latch09", &LatchProtocol::Latch09, 0x09, "0D"},
    {"Latch0B", &LatchProtocol::Latch0B, 0x0B, "0F"}, {"Latch03", &LatchProtocol::Latch03, 0x03, "07"},
    {"Latch02", &LatchProtocol::Latch02, 0x02, "06"}, {"Latch01", &LatchProtocol::Latch01, 0x01, "05"},
};

Lines LatchLines(const char* data, const LatchCase& latch) {
    char select[16];
    std::snprintf(select, sizeof select, "W 037A %02X", latch.Select);
    std::string raised = std::string("W 037A ") + latch.Raised;
    return {std::string("W 0378 ") + data, select, raised, raised, raised, select, "W 037A 00"};
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

const Lines OpenLines = {"# SetFastMode 0",
                         "# Inp 077A",
                         "R 077A 35",
                         "# Outp 077A 00",
                         "W 077A 00",
                         "# IsWinNT",
                         "# SetFastMode FFFFFFFF",
                         "# EnablePorts 0378 037A",
                         "# GetLastState"};

} // namespace

TEST(LatchProtocolBus, EachLatchRoutineIsSevenWritesWithOnlyTheLowByteOnTheDataLines) {
    for (const auto& latch : Latches) {
        SimulatedRig rig;
        rig.Open();
        rig.Trace.Clear();
        rig.Write(latch.Routine, 0x1234);
        EXPECT_EQ(Untimed(rig.Trace), LatchLines("34", latch)) << latch.Name;
        EXPECT_EQ(rig.Programmer.Latch(latch.Select), 0x34) << latch.Name;
        EXPECT_EQ(rig.Programmer.ControlLines(), 0x00) << latch.Name;
        EXPECT_EQ(rig.Programmer.DataLines(), 0x34) << latch.Name;
    }
}

TEST(LatchProtocolBus, ReadNibblesIsSevenWritesAndTwoReadsAndIgnoresStatusBits3To0) {
    struct Case {
        uint8_t First, Second, Expected;
    };
    for (auto c :
         {Case{0x7F, 0x7F, 0xFF}, Case{0x80, 0x80, 0x00}, Case{0x0F, 0xF0, 0x87}, Case{0x27, 0xD8, 0xA5}}) {
        ScriptedBackEnd backEnd;
        backEnd.Status = {c.First, c.Second};
        BusTrace trace(BusTrace::KeepInMemory);
        NTPort port(backEnd, &trace);
        SharedState s;
        s.PortBase = 0x378;
        s.StatusPort = 0x379;
        s.ControlPort = 0x37A;
        s.PortOpen = true;
        FakeConsole console;
        LatchProtocol protocol(s, port, console);
        protocol.ReadNibbles();
        EXPECT_EQ(s.ReadValue, c.Expected) << std::hex << int(c.First) << "/" << int(c.Second);
        char first[16], second[16];
        std::snprintf(first, sizeof first, "R 0379 %02X", c.First);
        std::snprintf(second, sizeof second, "R 0379 %02X", c.Second);
        EXPECT_EQ(Untimed(trace), (Lines{"W 037A 00", "W 037A 00", "W 037A 00", first, "W 037A 04",
                                         "W 037A 04", "W 037A 04", second, "W 037A 00"}));
    }
}

TEST(LatchProtocolBus, EveryByteComesBackThroughTheNoisyStatusLines) {
    SimulatedRig rig;
    rig.Open();
    rig.Protocol.InitLatches();
    rig.Write(&LatchProtocol::Latch02, 0xB7);
    for (int v = 0; v < 256; ++v) {
        rig.Write(&LatchProtocol::Latch0A, static_cast<uint16_t>(v));
        ASSERT_EQ(rig.Read(), v);
    }
    EXPECT_EQ(rig.Programmer.ControlLines(), 0x00);
}

TEST(LatchProtocolBus, InitLatchesWritesThePowerUpStateAndParksTheControlRegister) {
    SimulatedRig rig;
    rig.Open();
    rig.Trace.Clear();
    rig.Protocol.InitLatches();
    Lines expected = Concat({LatchLines("7F", Latches[4]),
                             LatchLines("62", Latches[5]),
                             LatchLines("20", Latches[2]),
                             LatchLines("00", Latches[1]),
                             LatchLines("00", Latches[3]),
                             {"W 037A 08", "W 037A 0C"}});
    EXPECT_EQ(Untimed(rig.Trace), expected);
    EXPECT_EQ(rig.Programmer.Latch(0x02), 0x7F);
    EXPECT_EQ(rig.Programmer.Latch(0x01), 0x62);
    EXPECT_EQ(rig.Programmer.Latch(0x0B), 0x20);
    EXPECT_EQ(rig.Programmer.ControlLines(), 0x0C);

    rig.Trace.Clear();
    rig.Protocol.ParkControl();
    EXPECT_EQ(Untimed(rig.Trace), (Lines{"W 037A 08", "W 037A 0C"}));
}

TEST(LatchProtocolBus, OpenAndCloseSaveAndRestoreTheEcrAndOpenAndGiveBackTheRange) {
    SimulatedRig rig;
    rig.Programmer.Ecr = 0x35;
    rig.Protocol.OpenPort();
    EXPECT_EQ(Untimed(rig.Trace), OpenLines);
    EXPECT_EQ(rig.S.SavedEcr, 0x35);
    EXPECT_EQ(rig.Programmer.Ecr, 0x00);
    EXPECT_TRUE(rig.Bus.IsOpen(0x378) && rig.Bus.IsOpen(0x37A));
    EXPECT_TRUE(rig.Console.Boxes.empty());
    EXPECT_EQ(rig.S.StatusPort, 0) << "OpenPort leaves StatusPort to its caller";

    rig.S.StatusPort = 0x379;
    rig.S.ControlPort = 0x37A;
    rig.Trace.Clear();
    rig.Protocol.ClosePort();
    Lines expected = Concat({LatchLines("00", Latches[3]),
                             {"W 037A 08", "W 037A 0C", "# IsWinNT", "# DisablePorts 0378 037A",
                              "# SetFastMode 0", "# Outp 077A 35", "W 077A 35"}});
    EXPECT_EQ(Untimed(rig.Trace), expected);
    EXPECT_EQ(rig.Programmer.Ecr, 0x35);
    EXPECT_EQ(rig.Programmer.ControlLines(), 0x0C);
    EXPECT_FALSE(rig.Bus.IsOpen(0x378));
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

TEST(LatchProtocolBus, PortWithoutEcrStillHasItReadAndWritten) {
    SimulatedRig rig;
    rig.Programmer.HasEcr = false;
    rig.Open();
    EXPECT_EQ(rig.S.SavedEcr, 0xFF);
    rig.Protocol.ClosePort();
    EXPECT_EQ(Untimed(rig.Trace).back(), "W 077A FF");
}

TEST(LatchProtocolBus, RangeThatCannotBeOpenedShowsTheErrorBoxAndOpeningGoesOn) {
    SimulatedRig rig;
    rig.Bus.RefuseOpen = "Permission denied";
    rig.Open();
    ASSERT_EQ(rig.Console.Boxes.size(), 1u);
    EXPECT_EQ(rig.Console.Boxes[0].Text, "Error:Permission denied");
    EXPECT_EQ(rig.Console.Boxes[0].Icon, MessageBoxRequest::Kind::Plain);
    EXPECT_EQ(Untimed(rig.Trace), OpenLines);

    // The failure text is cut to what the library's 30-byte buffer holds.
    SimulatedRig longer;
    longer.Bus.RefuseOpen = std::string(40, 'x');
    longer.Open();
    ASSERT_EQ(longer.Console.Boxes.size(), 1u);
    EXPECT_EQ(longer.Console.Boxes[0].Text, "Error:" + std::string(29, 'x'));

    // The programmer cannot be reached, so a read-back test fails.
    rig.Write(&LatchProtocol::Latch02, 0xB7);
    rig.Write(&LatchProtocol::Latch0A, 0xA5);
    EXPECT_NE(rig.Read(), 0xA5);
}

TEST(LatchProtocolBus, WhereTheRangeNeedsNoOpeningItIsNeitherOpenedNorGivenBack) {
    SimulatedRig rig(false);
    rig.Programmer.Ecr = 0x15;
    rig.Open();
    EXPECT_EQ(Untimed(rig.Trace), (Lines{"# SetFastMode 0", "# Inp 077A", "R 077A 15", "# Outp 077A 00",
                                         "W 077A 00", "# IsWinNT"}));
    rig.Protocol.InitLatches();
    rig.Trace.Clear();
    rig.Protocol.ClosePort();
    Lines expected =
        Concat({LatchLines("00", Latches[3]),
                {"W 037A 08", "W 037A 0C", "# IsWinNT", "# SetFastMode 0", "# Outp 077A 15", "W 077A 15"}});
    EXPECT_EQ(Untimed(rig.Trace), expected);
    EXPECT_TRUE(rig.Console.Boxes.empty());
}

TEST(LatchProtocolBus, NothingTouchesThePortAfterClosePort) {
    SimulatedRig rig;
    rig.Open();
    rig.Protocol.InitLatches();
    rig.Protocol.ClosePort();
    rig.Trace.Clear();
    for (const auto& latch : Latches)
        rig.Write(latch.Routine, 0x55);
    rig.Protocol.ReadNibbles();
    rig.Protocol.InitLatches();
    rig.Protocol.ParkControl();
    EXPECT_TRUE(rig.Trace.Lines().empty());
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

TEST(LatchProtocolBus, ADetectionRoundOnAnEmptyPortReadsNothingBack) {
    SimulatedRig rig;
    rig.S.PortBase = 0x278; // nothing attached there
    rig.Open();
    rig.Protocol.InitLatches();
    rig.Write(&LatchProtocol::Latch02, 0xB7);
    rig.Write(&LatchProtocol::Latch0A, 0xA5);
    EXPECT_EQ(rig.Read(), 0x77); // status lines of an empty range read 0xFF
    rig.Protocol.ClosePort();
    EXPECT_EQ(rig.Programmer.Latch(0x0A), 0x00);
    EXPECT_TRUE(rig.Bus.Violations().empty());
}
