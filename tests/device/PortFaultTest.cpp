// A register access that the port's driver refuses, at any step of every
// operation, through the kernel's parallel-port driver (a fake kernel with
// a simulated programmer on parport0): the pass ends at once, nothing is
// reported as success, the only accesses after the refusal are one idle
// state, and the port is given back.

#include "device/CommandFrame.h"
#include "device/Quennel.h"
#include "link/PpdevPort.h"
#include "support/FakeConsole.h"
#include "support/FakeLinuxSystem.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <ostream>
#include <string>
#include <sys/ioctl.h>
#include <vector>

namespace quennel::test {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr uint16_t Base = 0x378;

// The idle state as the driver sees it, written from the programmer's side:
// each latch is the byte on the data lines, then its select code with the
// clock (C2) raised three times; the park step is control 08 then 0C.
std::vector<std::string> IdleCalls() {
    std::vector<std::string> calls;
    auto control = [&](int value) {
        char text[24];
        std::snprintf(text, sizeof text, "PPWCONTROL %02X", value);
        calls.emplace_back(text);
    };
    auto latch = [&](int select, int value) {
        char text[24];
        std::snprintf(text, sizeof text, "PPWDATA %02X", value);
        calls.emplace_back(text);
        for (int c : {select, select | 4, select | 4, select | 4, select, 0})
            control(c);
    };
    latch(0x03, 0x00);
    latch(0x02, 0x3B);
    latch(0x01, 0xE4);
    latch(0x0B, 0x76);
    latch(0x09, 0x00);
    control(0x08);
    control(0x0C);
    latch(0x03, 0xA0);
    return calls;
}

bool IsRegisterCall(const std::string& call) {
    return call.starts_with("PPW") || call.starts_with("PPR") ? call != "PPRELEASE" : false;
}

// The operations on an 82S123 with a few bits in the buffer and a chip
// whose cells are never what a refused read gives (0x77).
class PortFaultRig {
public:
    PortFaultRig() {
        Kernel.AddPort(0, Base);
        Kernel.Programmer = &Chip;
        for (int cell = 0; cell < 0x20; ++cell)
            Chip.Fuses[static_cast<size_t>(cell)] = static_cast<uint8_t>(cell & 0x03);
        Core.SelectDevice(*FindDeviceByCaption("82S123"));
        S.DataBuffer.fill(0xEE);
        for (int cell = 0; cell < 0x20; ++cell)
            S.DataBuffer[static_cast<size_t>(cell)] =
                static_cast<uint8_t>((cell & 0x03) | (cell == 5 ? 0x10 : 0));
        // The port open and the programmer taken as found, as the search leaves them.
        S.PortBase = Base;
        Core.Latches.OpenPort();
        S.StatusPort = Base + 1;
        S.ControlPort = Base + 2;
        S.ProgrammerModel = 2;
        Kernel.Calls.clear();
        Kernel.RegisterCalls.clear();
    }

    // The register ioctls of request the operation makes when nothing is refused.
    int CountCalls(void (DeviceOperations::*operation)(), unsigned long request) {
        (Core.Operations.*operation)();
        return Kernel.RegisterCalls[request];
    }

    FakeLinuxSystem Kernel;
    SimulatedProgrammer Chip;
    PpdevPort Port{Kernel};
    FakeConsole Console;
    QuennelCore Core{Port, Console};
    SharedState& S = Core.State;
};

struct OperationCase {
    const char* Name;
    void (DeviceOperations::*Operation)();
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    *out << c.Name;
}

class PortFaultTest : public ::testing::TestWithParam<OperationCase> {};

const char* const SuccessCaptions[] = {"Device is Erased....", "Device Verified to Buffer....",
                                       "Device Has Been Moved to Buffer....",
                                       "Device Can be Reprogrammed....", "Device is Programmed...."};

TEST_P(PortFaultTest, ARefusalAtAnyStepEndsThePassWithOnlyTheIdleStateAfterIt) {
    const OperationCase& c = GetParam();
    for (unsigned long request : {static_cast<unsigned long>(PPWDATA), static_cast<unsigned long>(PPWCONTROL),
                                  static_cast<unsigned long>(PPRSTATUS)}) {
        const int total = PortFaultRig().CountCalls(c.Operation, request);
        ASSERT_GT(total, 2) << request;
        for (int nth : {1, total / 2, total}) {
            for (bool lasting : {false, true}) {
                SCOPED_TRACE(std::to_string(request) + " call " + std::to_string(nth) + " of " +
                             std::to_string(total) + (lasting ? ", lasting" : ""));
                PortFaultRig rig;
                rig.Kernel.Refuse = FakeLinuxSystem::Refusal{request, nth, EIO, lasting, {}};
                size_t captionsBefore = 0;
                rig.Kernel.OnRefusal = [&] { captionsBefore = rig.Console.StatusHistory.size(); };
                const auto buffer = rig.S.DataBuffer;
                (rig.Core.Operations.*c.Operation)();

                const std::vector<std::string>& calls = rig.Kernel.Calls;
                auto refused = std::ranges::find_if(
                    calls, [](const std::string& call) { return call.ends_with(" refused"); });
                ASSERT_NE(refused, calls.end());
                // After the refusal: the idle state, as far as the port takes
                // it, then the port is given back.
                std::vector<std::string> after(refused + 1, calls.end());
                std::vector<std::string> expected;
                if (lasting)
                    expected.push_back(IdleCalls().front() + " refused");
                else
                    expected = IdleCalls();
                expected.insert(expected.end(), {"PPRELEASE", "close"});
                EXPECT_THAT(after, ElementsAreArray(expected));

                const std::string reason = std::string("parport0: ") +
                                           (request == PPWDATA      ? "data write"
                                            : request == PPWCONTROL ? "control write"
                                                                    : "status read") +
                                           " failed: Input/output error";
                EXPECT_EQ(rig.S.PortFault, reason);
                EXPECT_EQ(rig.Console.Status, PortFaultCaption(reason));
                EXPECT_THAT(rig.Console.Results, Contains(PortFaultLine(reason, !lasting)));
                EXPECT_TRUE(rig.Console.ResultsVisible);
                EXPECT_TRUE(rig.Console.LastUnlockFault);
                EXPECT_FALSE(rig.Console.LastUnlockProgrammerFound) << "the port was given back";
                // A verdict given before the refusal stands; none comes after it.
                const std::vector<std::string> captionsAfter(rig.Console.StatusHistory.begin() +
                                                                 static_cast<ptrdiff_t>(captionsBefore),
                                                             rig.Console.StatusHistory.end());
                for (const char* success : SuccessCaptions)
                    EXPECT_THAT(captionsAfter, Not(Contains(std::string(success))));
                EXPECT_EQ(rig.S.ProgrammerModel, 0);
                EXPECT_FALSE(rig.S.PortOpen);
                EXPECT_THAT(rig.Kernel.OpenDescriptors, IsEmpty());

                if (!lasting) {
                    EXPECT_EQ(rig.Chip.Latch(0x02), 0x3B);
                    EXPECT_EQ(rig.Chip.Latch(0x01), 0xE4);
                    EXPECT_EQ(rig.Chip.Latch(0x0B), 0x76);
                    EXPECT_EQ(rig.Chip.Latch(0x03), 0xA0);
                    EXPECT_FALSE(rig.Chip.PulseOn());
                }
                for (const ProgrammingPulse& pulse : rig.Chip.Pulses())
                    EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
                EXPECT_THAT(rig.Chip.Violations(), IsEmpty());

                // No cell is judged on a read that never came: the buffer
                // holds only what the chip holds, the lists only true faults.
                for (size_t cell = 0; cell < 0x20; ++cell)
                    EXPECT_TRUE(rig.S.DataBuffer[cell] == buffer[cell] ||
                                rig.S.DataBuffer[cell] == rig.Chip.Fuses[cell])
                        << "cell " << cell;
                for (const std::string& line : rig.Console.Results) {
                    if (line.starts_with("Port error") || line.starts_with("Diagnosis: "))
                        continue;
                    const auto cell = static_cast<size_t>(std::stoi(line.substr(0, 4), nullptr, 16));
                    const int found = std::stoi(line.substr(line.size() - 2), nullptr, 16);
                    EXPECT_EQ(found, rig.Chip.Fuses[cell]) << line;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Operations, PortFaultTest,
                         ::testing::Values(OperationCase{"Blank", &DeviceOperations::Blank_ChkClick},
                                           OperationCase{"Verify", &DeviceOperations::Verify_EpromClick},
                                           OperationCase{"Move", &DeviceOperations::Move_EpromClick},
                                           OperationCase{"Compare", &DeviceOperations::CompareClick},
                                           OperationCase{"Program", &DeviceOperations::Program_EpromClick}),
                         [](const auto& info) { return std::string(info.param.Name); });

// After the refusal the port is given back; a new search claims it afresh
// and the programmer is found again, on a port that answers once more.
TEST(PortFault, ASearchAfterTheRefusalFindsTheProgrammerAgain) {
    PortFaultRig rig;
    rig.Kernel.Refuse = FakeLinuxSystem::Refusal{PPRSTATUS, 3, ENODEV, false, {}};
    rig.Core.Operations.Blank_ChkClick();
    ASSERT_EQ(rig.S.ProgrammerModel, 0);

    rig.Core.Detection.FindProgrammer();
    EXPECT_EQ(rig.S.ProgrammerModel, 2);
    EXPECT_TRUE(rig.S.PortFault.empty());
    rig.Core.Operations.Blank_ChkClick();
    EXPECT_EQ(rig.Console.Status, "Device is NOT Erased....") << "the chip has bits";
}

// The search through the driver: a port whose driver refuses a read is
// rejected with a line that says so, and nothing more reaches it.
TEST(PortFault, TheSearchRejectsAPortThatRefusesAnAccess) {
    FakeLinuxSystem kernel;
    SimulatedProgrammer chip;
    kernel.AddPort(0, Base);
    kernel.Programmer = &chip;
    kernel.Refuse = FakeLinuxSystem::Refusal{PPRSTATUS, 1, EIO, false, {}};
    PpdevPort port(kernel);
    FakeConsole console;
    QuennelCore core(port, console);
    core.Detection.FindProgrammer();

    EXPECT_EQ(core.State.ProgrammerModel, 0);
    EXPECT_THAT(console.Results,
                Contains("Port Address - 0378 Refused - parport0: status read failed: Input/output error"));
    ASSERT_EQ(console.Boxes.size(), 1U) << "the not-found box";
    auto refused =
        std::ranges::find_if(kernel.Calls, [](const std::string& c) { return c.ends_with(" refused"); });
    ASSERT_NE(refused, kernel.Calls.end());
    EXPECT_TRUE(std::none_of(refused + 1, kernel.Calls.end(), IsRegisterCall));
    EXPECT_THAT(kernel.OpenDescriptors, IsEmpty());
}

} // namespace
} // namespace quennel::test
