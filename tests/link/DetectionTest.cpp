// Finding the programmer on the simulated bus: which ports are opened and
// given back, the diagnostic lines, the confirming test after the pause,
// the model check's burst and the not-found box.
#include "link/Detection.h"

#include "core/SharedState.h"
#include "link/BusTrace.h"
#include "link/DelayTimer.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace quennel;
using quennel::test::FakeConsole;

namespace {

constexpr uint16_t EcrOffset = 0x402;
constexpr uint8_t OriginalEcr = 0x35;

const char* const NotFoundText = "The Trevalo Programmer Can Not\r\nBe Found On LPT1, LPT2 or LPT3.\r\n\r\n"
                                 "..Make Sure Your Power Pack is Plugged In..";

// The simulated bus with a tap on the status reads, so that a test can
// spoil one byte of an otherwise healthy answer.
class TappedBus : public PortBackEnd {
public:
    explicit TappedBus(PortBackEnd& inner) : Inner(inner) {}

    std::function<uint8_t(uint16_t address, uint8_t value)> OnRead;

    uint8_t ReadByte(uint16_t address) override {
        uint8_t value = Inner.ReadByte(address);
        return OnRead ? OnRead(address, value) : value;
    }
    void WriteByte(uint16_t address, uint8_t value) override { Inner.WriteByte(address, value); }
    bool OpenRange(uint16_t first, uint16_t last, std::string& failure) override {
        return Inner.OpenRange(first, last, failure);
    }
    void CloseRange(uint16_t first, uint16_t last) override { Inner.CloseRange(first, last); }

private:
    PortBackEnd& Inner;
};

// Spoils the n-th read (counting from 1) of one status register by
// flipping bit 4, which lands in bit 0 of the high nibble read back.
std::function<uint8_t(uint16_t, uint8_t)> SpoilStatusRead(uint16_t statusPort, int n) {
    auto count = std::make_shared<int>(0);
    return [=](uint16_t address, uint8_t value) {
        if (address == statusPort && ++*count == n)
            return static_cast<uint8_t>(value ^ 0x10);
        return value;
    };
}

std::string Line(const char* port, const char* expected, const char* found) {
    return std::string("Port Address - ") + port + " Expected - " + expected + " / Found - " + found;
}

bool InPortRange(uint32_t address, uint16_t base) {
    return (address >= base && address <= base + 2u) || address == base + uint32_t{EcrOffset};
}

// Any register access or library call that names the port at base.
bool Touches(const BusEvent& event, uint16_t base) {
    if (event.What != BusEvent::Kind::Call)
        return InPortRange(event.Address, base);
    return std::any_of(event.Arguments.begin(), event.Arguments.end(),
                       [&](uint32_t argument) { return InPortRange(argument, base); });
}

bool IsCall(const BusEvent& event, const std::string& name, std::vector<uint32_t> arguments) {
    return event.What == BusEvent::Kind::Call && event.Call == name && event.Arguments == arguments;
}

int CountCalls(const BusTrace& trace, const std::string& name, std::vector<uint32_t> arguments) {
    return static_cast<int>(std::count_if(trace.Events().begin(), trace.Events().end(),
                                          [&](const BusEvent& e) { return IsCall(e, name, arguments); }));
}

struct DetectionRig {
    DetectionRig() {
        Present.Ecr = OriginalEcr;
        Other.Ecr = OriginalEcr;
    }

    void FindProgrammer() { Detection.FindProgrammer(); }

    // Index of the first event at or after from that matches.
    size_t Find(const std::function<bool(const BusEvent&)>& match, size_t from = 0) const {
        const auto& events = Trace.Events();
        for (size_t i = from; i < events.size(); ++i)
            if (match(events[i]))
                return i;
        return events.size();
    }

    SharedState S;
    SimulatedProgrammer Present{7};
    SimulatedProgrammer Other{11};
    SimulatedBus Bus;
    TappedBus Wire{Bus};
    BusTrace Trace{BusTrace::KeepInMemory};
    NTPort Port{Wire, &Trace};
    FakeConsole Console;
    LatchProtocol Latches{S, Port, Console};
    DelayTimer Timer{S, Console};
    ProgrammerDetection Detection{S, Latches, Port, Timer, Console};
};

TEST(Detection, ProgrammerOnSecondPortIsConfirmedAndKeptOpen) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    rig.FindProgrammer();

    // Nothing answers on 0x278: its lines float high (0xFF), which reads back as 0x77.
    const std::vector<std::string> expected{
        Line("0278", "A5", "77"), Line("0278", "5A", "77"), Line("0378", "A5", "A5"),
        Line("0378", "5A", "5A"), Line("0378", "A5", "A5"), Line("0378", "5A", "5A"),
    };
    EXPECT_EQ(rig.Console.Results, expected);
    EXPECT_TRUE(rig.Console.ResultsVisible);
    EXPECT_EQ(rig.S.ProgrammerModel, 2);
    EXPECT_EQ(rig.S.PortBase, 0x378);
    EXPECT_EQ(rig.S.StatusPort, 0x379);
    EXPECT_EQ(rig.S.ControlPort, 0x37A);
    EXPECT_TRUE(rig.S.PortOpen);
    EXPECT_TRUE(rig.Bus.IsOpen(0x378));
    EXPECT_FALSE(rig.Bus.IsOpen(0x278));
    EXPECT_TRUE(rig.Console.Boxes.empty());
    EXPECT_EQ(rig.S.StatusFault, 0);
    EXPECT_EQ(rig.Console.Status, "Testing");
    EXPECT_EQ(ProgrammerCaption(rig.S), "The Trevalo Programmer was Found at 0378");

    // 0x278 was opened and given back before 0x378 was opened; 0x378 was
    // opened for the first pass and again for the confirming test.
    size_t open278 = rig.Find([](const BusEvent& e) { return IsCall(e, "EnablePorts", {0x278, 0x27A}); });
    size_t close278 = rig.Find([](const BusEvent& e) { return IsCall(e, "DisablePorts", {0x278, 0x27A}); });
    size_t open378 = rig.Find([](const BusEvent& e) { return IsCall(e, "EnablePorts", {0x378, 0x37A}); });
    EXPECT_LT(open278, close278);
    EXPECT_LT(close278, open378);
    EXPECT_LT(open378, rig.Trace.Events().size());
    EXPECT_EQ(CountCalls(rig.Trace, "EnablePorts", {0x378, 0x37A}), 2);
    EXPECT_EQ(CountCalls(rig.Trace, "DisablePorts", {0x378, 0x37A}), 0);
    EXPECT_TRUE(std::none_of(rig.Trace.Events().begin(), rig.Trace.Events().end(),
                             [](const BusEvent& e) { return Touches(e, 0x3BC); }));
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

TEST(Detection, ConfirmingTestWaitsAtLeastThePause) {
    DetectionRig rig;
    rig.Bus.Attach(0x278, rig.Present);
    rig.FindProgrammer();

    size_t first = rig.Find([](const BusEvent& e) { return IsCall(e, "EnablePorts", {0x278, 0x27A}); });
    size_t second = rig.Find(
        [](const BusEvent& e) {
            return IsCall(e, "EnablePorts", {0x278, 0x27A});
        },
        first + 1);
    ASSERT_LT(second, rig.Trace.Events().size());
    // The second opening starts with SetFastMode; right before it the
    // power-up latch state was written, and the pause lies between the two.
    size_t reopen = second;
    while (reopen > first && !IsCall(rig.Trace.Events()[reopen], "SetFastMode", {0}))
        --reopen;
    const BusEvent& beforePause = rig.Trace.Events()[reopen - 1];
    EXPECT_EQ(beforePause.What, BusEvent::Kind::Write);
    EXPECT_EQ(beforePause.Address, 0x27A);
    EXPECT_EQ(beforePause.Value, 0x0C);
    EXPECT_GE(rig.Trace.Events()[reopen].Microseconds - beforePause.Microseconds, 300'000);
    EXPECT_GT(rig.Console.MessagePumps, 0); // the pause lets the window repaint
}

TEST(Detection, ProgrammerOnFirstPortLeavesTheOthersUntouched) {
    DetectionRig rig;
    rig.Bus.Attach(0x278, rig.Present);
    rig.Present.Model = 1;
    rig.FindProgrammer();

    EXPECT_EQ(rig.Console.Results.size(), 4u);
    EXPECT_EQ(rig.Console.Results.front(), Line("0278", "A5", "A5"));
    EXPECT_EQ(rig.Console.Results.back(), Line("0278", "5A", "5A"));
    EXPECT_EQ(rig.S.PortBase, 0x278);
    EXPECT_EQ(rig.S.ProgrammerModel, 1);
    EXPECT_EQ(ProgrammerCaption(rig.S), "The Trevalo Programmer was Found at 0278  Old TP");
    for (uint16_t untouched : {uint16_t(0x378), uint16_t(0x3BC)})
        EXPECT_TRUE(std::none_of(rig.Trace.Events().begin(), rig.Trace.Events().end(),
                                 [&](const BusEvent& e) { return Touches(e, untouched); }))
            << std::hex << untouched;
}

TEST(Detection, OneWrongTestByteRejectsThePortAndTheSearchMovesOn) {
    DetectionRig rig;
    rig.Bus.Attach(0x278, rig.Present);
    rig.Bus.Attach(0x378, rig.Other);
    // The high nibble of the very first read-back on 0x278 comes back wrong.
    rig.Wire.OnRead = SpoilStatusRead(0x279, 1);
    rig.FindProgrammer();

    ASSERT_GE(rig.Console.Results.size(), 4u);
    EXPECT_EQ(rig.Console.Results[0], Line("0278", "A5", "B5"));
    EXPECT_EQ(rig.Console.Results[1], Line("0278", "5A", "5A"));
    EXPECT_EQ(rig.Console.Results[2], Line("0378", "A5", "A5"));
    EXPECT_EQ(CountCalls(rig.Trace, "DisablePorts", {0x278, 0x27A}), 1);
    EXPECT_FALSE(rig.Bus.IsOpen(0x278));
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
    EXPECT_EQ(rig.S.PortBase, 0x378);
    EXPECT_GT(rig.S.ProgrammerModel, 0);
}

TEST(Detection, TryPortRejectsAPortWhereOnlyTheSecondByteMatches) {
    DetectionRig rig;
    rig.Bus.Attach(0x3BC, rig.Present);
    rig.Wire.OnRead = SpoilStatusRead(0x3BD, 2); // the low nibble of 0xA5
    rig.S.PortBase = 0x3BC;
    rig.Detection.TryPort();

    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_EQ(rig.Console.Results,
              (std::vector<std::string>{Line("03BC", "A5", "A4"), Line("03BC", "5A", "5A")}));
    EXPECT_FALSE(rig.S.PortOpen);
    EXPECT_FALSE(rig.Bus.IsOpen(0x3BC));
}

TEST(Detection, NoProgrammerAnywhereShowsTheBoxAndGivesEveryPortBack) {
    DetectionRig rig;
    size_t linesBehindBox = 0;
    bool resultsVisibleBehindBox = false;
    rig.Console.DuringMessageBox = [&](const MessageBoxRequest&) {
        linesBehindBox = rig.Console.Results.size();
        resultsVisibleBehindBox = rig.Console.ResultsVisible;
    };
    rig.FindProgrammer();

    ASSERT_EQ(rig.Console.Boxes.size(), 1u);
    const MessageBoxRequest& box = rig.Console.Boxes[0];
    EXPECT_EQ(box.Icon, MessageBoxRequest::Kind::Information);
    EXPECT_EQ(box.Title, "Information");
    EXPECT_EQ(box.Text, NotFoundText);
    EXPECT_EQ(box.X, 375);
    EXPECT_EQ(box.Y, 325);
    EXPECT_EQ(linesBehindBox, 6u);
    EXPECT_TRUE(resultsVisibleBehindBox);

    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_EQ(rig.S.StatusFault, 1);
    EXPECT_FALSE(rig.S.PortOpen);
    EXPECT_EQ(ProgrammerCaption(rig.S), "The Trevalo Programmer was Not Found");
    for (uint16_t base : CandidatePorts) {
        uint16_t last = static_cast<uint16_t>(base + 2);
        EXPECT_EQ(CountCalls(rig.Trace, "EnablePorts", {base, last}), 1);
        EXPECT_EQ(CountCalls(rig.Trace, "DisablePorts", {base, last}), 1);
    }
    // After the last port was given back only its ECR is written back.
    size_t released = rig.Find([](const BusEvent& e) { return IsCall(e, "DisablePorts", {0x3BC, 0x3BE}); });
    for (size_t i = released + 1; i < rig.Trace.Events().size(); ++i) {
        const BusEvent& e = rig.Trace.Events()[i];
        EXPECT_TRUE(e.What == BusEvent::Kind::Call || e.Address == 0x3BC + EcrOffset) << BusTrace::Format(e);
    }
    EXPECT_TRUE(std::none_of(rig.Console.StatusHistory.begin(), rig.Console.StatusHistory.end(),
                             [](const std::string& s) { return s == "Testing"; }));
}

TEST(Detection, UnpoweredProgrammerIsNotFound) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    rig.Present.Powered = false;
    rig.FindProgrammer();

    ASSERT_EQ(rig.Console.Results.size(), 6u);
    EXPECT_EQ(rig.Console.Results[2], Line("0378", "A5", "FF"));
    EXPECT_EQ(rig.Console.Results[3], Line("0378", "5A", "FF"));
    EXPECT_EQ(rig.Console.Boxes.size(), 1u);
    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_FALSE(rig.Bus.IsOpen(0x378));
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
}

TEST(Detection, ProgrammerLostBeforeTheConfirmingTestIsNotFound) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    // The power pack is pulled during the pause.
    rig.Console.DuringMessages = [&] { rig.Present.Powered = false; };
    rig.FindProgrammer();

    const std::vector<std::string> expected{
        Line("0278", "A5", "77"), Line("0278", "5A", "77"), Line("0378", "A5", "A5"),
        Line("0378", "5A", "5A"), Line("0378", "A5", "FF"), Line("0378", "5A", "FF"),
    };
    EXPECT_EQ(rig.Console.Results, expected);
    ASSERT_EQ(rig.Console.Boxes.size(), 1u);
    EXPECT_EQ(rig.Console.Boxes[0].Text, NotFoundText);
    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_FALSE(rig.S.PortOpen);
    EXPECT_FALSE(rig.Bus.IsOpen(0x378));
    EXPECT_EQ(rig.Console.Status, "");
    // The confirming test opened the port a second time; the ECR it gives
    // back must still be the one found before the first opening.
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

TEST(Detection, PortHeldAfterTheConfirmingTestGivesBackTheOriginalEcr) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    rig.FindProgrammer();
    ASSERT_GT(rig.S.ProgrammerModel, 0);

    EXPECT_EQ(rig.S.SavedEcr, OriginalEcr);
    EXPECT_EQ(rig.Present.Ecr, 0x00); // standard mode while the port is held
    rig.Latches.ClosePort();
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
}

TEST(Detection, PortGivenBackDuringThePauseIsNotOpenedAgain) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    // The window closes during the pause: the wait ends and the port found
    // so far is given back.
    bool closed = false;
    rig.Console.DuringMessages = [&] {
        if (closed)
            return;
        closed = true;
        rig.S.EndReached = 5;
        rig.S.DelayMs = 0;
        if (rig.S.ProgrammerModel > 0)
            rig.Latches.ClosePort();
    };
    rig.FindProgrammer();

    ASSERT_TRUE(closed);
    EXPECT_EQ(CountCalls(rig.Trace, "EnablePorts", {0x378, 0x37A}), 1);
    size_t released = rig.Find([](const BusEvent& e) { return IsCall(e, "DisablePorts", {0x378, 0x37A}); });
    for (size_t i = released + 1; i < rig.Trace.Events().size(); ++i) {
        const BusEvent& e = rig.Trace.Events()[i];
        EXPECT_TRUE(e.What == BusEvent::Kind::Call || e.Address == 0x378 + EcrOffset) << BusTrace::Format(e);
    }
    EXPECT_FALSE(rig.S.PortOpen);
    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

// A close asked during the pause while the port is still held: the search
// ends quietly, gives the port back with its ECR, and tries nothing more.
TEST(Detection, StopDuringThePauseEndsTheSearchWithThePortGivenBack) {
    DetectionRig rig;
    rig.Bus.Attach(0x378, rig.Present);
    bool stopped = false;
    rig.Console.DuringMessages = [&] {
        if (stopped)
            return;
        stopped = true;
        rig.S.StopRequested = true;
        rig.S.DelayMs = 0;
    };
    rig.FindProgrammer();

    ASSERT_TRUE(stopped);
    EXPECT_EQ(CountCalls(rig.Trace, "EnablePorts", {0x378, 0x37A}), 1);
    EXPECT_FALSE(rig.S.PortOpen);
    EXPECT_EQ(rig.S.ProgrammerModel, 0);
    EXPECT_EQ(rig.Present.Ecr, OriginalEcr);
    EXPECT_TRUE(rig.Console.Boxes.empty()) << "no not-found box for a search the operator ended";
    EXPECT_EQ(rig.Console.Results.size(), 4u) << "two lines for 0278, two for 0378, none after the pause";
    EXPECT_TRUE(rig.Bus.Violations().empty());
}

TEST(Detection, PortLibraryFailureDoesNotStopTheSearch) {
    DetectionRig rig;
    rig.Bus.RefuseOpen = "busy";
    rig.FindProgrammer();

    ASSERT_EQ(rig.Console.Boxes.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rig.Console.Boxes[i].Text, "Error:busy");
    EXPECT_EQ(rig.Console.Boxes[3].Text, NotFoundText);
    EXPECT_EQ(rig.Console.Results.size(), 6u);
    EXPECT_EQ(rig.S.ProgrammerModel, 0);
}

// The model check alone, on a port already found, with its trace.
struct ModelCheckRig : DetectionRig {
    explicit ModelCheckRig(int model) {
        Present.Model = model;
        Bus.Attach(0x378, Present);
        S.PortBase = 0x378;
        Detection.TryPort();
        Trace.Clear();
        S.StatusFault = 1;
    }
};

std::vector<uint8_t> WrittenBytes(const BusTrace& trace, uint16_t address) {
    std::vector<uint8_t> bytes;
    for (const BusEvent& e : trace.Events())
        if (e.What == BusEvent::Kind::Write && e.Address == address)
            bytes.push_back(e.Value);
    return bytes;
}

TEST(ModelCheck, OlderModelReturnsEveryValueAndCurrentModelDoesNot) {
    ModelCheckRig older(1);
    older.Detection.ModelCheck();
    EXPECT_EQ(older.S.ProgrammerModel, 1);
    EXPECT_EQ(older.S.StatusFault, 0);
    EXPECT_EQ(older.Console.Status, "Testing");

    ModelCheckRig current(2);
    current.Detection.ModelCheck();
    EXPECT_EQ(current.S.ProgrammerModel, 2);
    EXPECT_EQ(current.S.StatusFault, 0);
}

TEST(ModelCheck, ASingleChangedValueMeansTheCurrentModel) {
    ModelCheckRig rig(1);
    // The reads of the check are two per value; spoil the low nibble of the last one.
    rig.Wire.OnRead = SpoilStatusRead(0x379, 2 * 0x80);
    rig.Detection.ModelCheck();
    EXPECT_EQ(rig.S.ProgrammerModel, 2);
}

TEST(ModelCheck, BurstIsTheDocumentedPatternOnTheWire) {
    ModelCheckRig rig(1);
    rig.Detection.ModelCheck();

    // Power-up latch state first, then for each value its latch write, 32
    // rounds of the burst and a nibble read.
    const std::vector<uint8_t> burst{0x05, 0x01, 0x0D, 0x0A, 0x0F, 0x0A, 0x07, 0x0A, 0x04, 0x0A, 0x06, 0x0A};
    const std::vector<uint8_t> readControl{0x00, 0x00, 0x00, 0x04, 0x04, 0x04, 0x00};
    auto latch = [](uint8_t select) {
        return std::vector<uint8_t>{
            select, uint8_t(select | 4), uint8_t(select | 4), uint8_t(select | 4), select, 0x00};
    };
    std::vector<uint8_t> control, data;
    for (uint8_t select : {0x02, 0x01, 0x0B, 0x09, 0x03}) {
        auto strobe = latch(select);
        control.insert(control.end(), strobe.begin(), strobe.end());
    }
    control.insert(control.end(), {0x08, 0x0C});
    data = {0x7F, 0x62, 0x20, 0x00, 0x00};
    for (int value = 0; value < 0x80; ++value) {
        auto strobe = latch(0x0A);
        control.insert(control.end(), strobe.begin(), strobe.end());
        data.push_back(static_cast<uint8_t>(value));
        for (int round = 0; round < 32; ++round) {
            control.insert(control.end(), burst.begin(), burst.end());
            data.push_back(0xB7);
        }
        control.insert(control.end(), readControl.begin(), readControl.end());
    }
    EXPECT_EQ(WrittenBytes(rig.Trace, 0x37A), control);
    EXPECT_EQ(WrittenBytes(rig.Trace, 0x378), data);
    EXPECT_EQ(WrittenBytes(rig.Trace, 0x378).size(), 5u + 0x80 * 33);

    // Each burst starts with its data byte, before the first control write.
    size_t firstBurst = rig.Find([](const BusEvent& e) {
        return e.What == BusEvent::Kind::Write && e.Address == 0x378 && e.Value == 0xB7;
    });
    ASSERT_LT(firstBurst + 1, rig.Trace.Events().size());
    EXPECT_EQ(rig.Trace.Events()[firstBurst + 1].Address, 0x37A);
    EXPECT_EQ(rig.Trace.Events()[firstBurst + 1].Value, 0x05);
    // Only the nibble reads read anything: two per value.
    EXPECT_EQ(std::count_if(rig.Trace.Events().begin(), rig.Trace.Events().end(),
                            [](const BusEvent& e) { return e.What == BusEvent::Kind::Read; }),
              2 * 0x80);
}

TEST(ProgrammerCaption, FollowsModelAndPort) {
    SharedState s;
    s.ProgrammerModel = 0;
    s.PortBase = 0x378;
    EXPECT_EQ(ProgrammerCaption(s), "The Trevalo Programmer was Not Found");
    s.ProgrammerModel = 2;
    s.PortBase = 0x3BC;
    EXPECT_EQ(ProgrammerCaption(s), "The Trevalo Programmer was Found at 03BC");
    s.ProgrammerModel = 1;
    s.PortBase = 0x278;
    EXPECT_EQ(ProgrammerCaption(s), "The Trevalo Programmer was Found at 0278  Old TP");
}

TEST(ReadBackLine, PadsAndUpperCasesTheHexFields) {
    EXPECT_EQ(ReadBackLine(0x3BC, 0x0A, 0x00), "Port Address - 03BC Expected - 0A / Found - 00");
    EXPECT_EQ(ReadBackLine(0x378, 0xA5, 0xFF), "Port Address - 0378 Expected - A5 / Found - FF");
}

} // namespace
