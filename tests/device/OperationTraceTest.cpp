// The whole bus trace of every device operation, for one device of each
// class, against what the programmer must see, written out here from the
// programmer's side: the latch values of each mode, the address
// presentation and the pulse sequences. Nothing here comes from the
// driver's own tables, so a wrong or moved value fails.

#include "DeviceCycleRig.h"
#include "ExpectedTrace.h"
#include "device/Quennel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace quennel::test {
namespace {

struct ClassCase {
    const char* Name;
    int DeviceClass;
    int Last;    // the device's last address
    int Bits;    // data bits the part has
    int Latch0B; // latch 0B in programming mode, without A8
    int Held;    // latch 0B during a pulse; 0: the class gives no pulses
    int After;   // latch 0B after a pulse
    std::vector<std::pair<int, uint8_t>> Cells;
};

void PrintTo(const ClassCase& c, std::ostream* out) {
    *out << c.Name;
}

class OperationTraceTest : public ::testing::TestWithParam<ClassCase> {
protected:
    OperationTraceTest() {
        const ClassCase& c = GetParam();
        Bus.Attach(RigBase, Chip);
        S.PortBase = RigBase;
        Core.Latches.OpenPort();
        S.StatusPort = RigBase + 1;
        S.ControlPort = RigBase + 2;
        S.ProgrammerModel = 2;
        S.DeviceClass = c.DeviceClass;
        S.DeviceEnd = c.Last;
        Chip.Width = c.Bits;
        for (auto [cell, value] : c.Cells)
            S.DataBuffer[static_cast<size_t>(cell)] = value;
    }

    std::vector<std::string> Run(void (DeviceOperations::*operation)()) {
        Trace.Clear();
        (Core.Operations.*operation)();
        return StepTexts(DecodeSteps(Trace.Events()));
    }

    uint8_t Wanted(int cell) const { return S.DataBuffer[static_cast<size_t>(cell)]; }

    SimulatedProgrammer Chip;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    FakeConsole Console;
    QuennelCore Core{Bus, Console, &Trace};
    SharedState& S = Core.State;
};

TEST_P(OperationTraceTest, EveryOperationPutsExactlyTheProgrammersSequenceOnTheBus) {
    const ClassCase& c = GetParam();
    ExpectedTrace blank;
    blank.Idle();
    blank.ReadSetup();
    blank.ReadPass(c.Last);
    blank.Idle();
    EXPECT_EQ(Run(&DeviceOperations::Blank_ChkClick), blank.Steps());

    ExpectedTrace program;
    program.Idle();
    program.ProgramSetup(c.Latch0B);
    for (int cell = 0; cell <= c.Last; ++cell)
        program.ProgramCell(cell, Wanted(cell), c.Bits, c.Latch0B, c.Held, c.After);
    program.Idle();
    program.Idle();
    program.ReadSetup();
    program.ReadPass(c.Last);
    program.Idle();
    EXPECT_EQ(Run(&DeviceOperations::Program_EpromClick), program.Steps());

    ExpectedTrace verify;
    verify.Idle();
    verify.Idle();
    verify.ReadSetup();
    verify.ReadPass(c.Last);
    verify.Idle();
    verify.Idle();
    EXPECT_EQ(Run(&DeviceOperations::Verify_EpromClick), verify.Steps());

    ExpectedTrace move;
    move.Idle();
    move.ReadSetup();
    move.ReadPass(c.Last);
    move.Idle(); // the checksum's own frame
    move.Idle();
    move.Idle();
    EXPECT_EQ(Run(&DeviceOperations::Move_EpromClick), move.Steps());

    ExpectedTrace compare;
    compare.Idle();
    compare.ReadSetup();
    compare.ReadPass(c.Last);
    compare.Idle();
    EXPECT_EQ(Run(&DeviceOperations::CompareClick), compare.Steps());

    EXPECT_THAT(Bus.Violations(), ::testing::IsEmpty());
}

// A few bits at the low end, at A8 and at A9 where the part has them; on the
// 1k x 8 part every upper-half bit is also in its lower-half cell.
INSTANTIATE_TEST_SUITE_P(
    Classes, OperationTraceTest,
    ::testing::Values(ClassCase{"NoDevice", 0, 0x1F, 8, 0x62, 0, 0, {{0x01, 0x81}}},
                      ClassCase{"Signetics32x8", 1, 0x1F, 8, 0x62, 0x66, 0x62, {{0x00, 0x81}, {0x1F, 0x02}}},
                      ClassCase{"National32x8", 2, 0x1F, 8, 0x22, 0x36, 0x22, {{0x01, 0x40}, {0x1E, 0x01}}},
                      ClassCase{"Signetics256x4", 3, 0xFF, 4, 0x22, 0x66, 0x62, {{0x02, 0x09}, {0xFF, 0xF2}}},
                      ClassCase{"National256x4", 4, 0xFF, 4, 0x62, 0x36, 0x22, {{0x03, 0x82}, {0x80, 0x01}}},
                      ClassCase{"National256x8", 5, 0xFF, 8, 0x62, 0x36, 0x22, {{0x04, 0x10}, {0xFF, 0x80}}},
                      ClassCase{"Signetics1kx8",
                                6,
                                0x3FF,
                                8,
                                0x62,
                                0x66,
                                0x62,
                                {{0x005, 0x21}, {0x105, 0x02}, {0x205, 0x01}, {0x305, 0x02}}}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace quennel::test
