// The program object's own duties: giving the port back in good order.
#include "DeviceCycleRig.h"
#include "device/Quennel.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class QuennelCoreTest : public ::testing::Test {
protected:
    QuennelCoreTest() { Bus.Attach(0x378, Programmer); }

    // The trace lines from event from on, without their times.
    std::vector<std::string> TraceFrom(size_t from) const {
        std::vector<std::string> lines;
        for (size_t i = from; i < Trace.Events().size(); ++i) {
            const std::string line = BusTrace::Format(Trace.Events()[i]);
            lines.push_back(line.substr(line.find(' ') + 1));
        }
        return lines;
    }

    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    test::FakeConsole Console;
    QuennelCore Core{Bus, Console, &Trace};
};

// After a search the programmer is left idle before its port is given back,
// and nothing touches the port after that.
TEST_F(QuennelCoreTest, ReleaseAfterDetectionLeavesTheProgrammerIdleFirst) {
    Core.Detection.FindProgrammer();
    ASSERT_EQ(Core.State.ProgrammerModel, 2);
    const size_t released = Trace.Events().size();
    Core.ReleasePort();
    // The idle state, then the port's own closing (latch 03 cleared, the
    // control lines parked), and the ECR put back outside the range.
    EXPECT_THAT(test::StepTexts(test::DecodeSteps(Trace.Events(), released)),
                ElementsAre("03=00", "02=3B", "01=E4", "0B=76", "09=00", "park", "03=A0", "03=00", "park",
                            EndsWith(" W 077A 35")));
    const std::vector<std::string> lines = TraceFrom(released);
    const auto disable = std::ranges::find(lines, "# DisablePorts 378 37A");
    ASSERT_NE(disable, lines.end());
    for (auto line = disable; line != lines.end(); ++line)
        EXPECT_THAT(*line, Not(StartsWith("W 037"))) << "the port was touched after it was given back";
    EXPECT_FALSE(Core.State.PortOpen);
    EXPECT_EQ(Programmer.Latch(0x01), 0xE4);
    EXPECT_EQ(Programmer.Latch(0x0B), 0x76);
    EXPECT_THAT(Bus.Violations(), IsEmpty());
}

TEST_F(QuennelCoreTest, ReleaseWithoutAProgrammerTouchesNothing) {
    Bus.Detach(0x378);
    Core.Detection.FindProgrammer();
    ASSERT_EQ(Core.State.ProgrammerModel, 0);
    const size_t released = Trace.Events().size();
    Core.ReleasePort();
    EXPECT_THAT(TraceFrom(released), IsEmpty());
}

} // namespace
} // namespace quennel
