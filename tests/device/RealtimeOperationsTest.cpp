// Every device operation holds the real-time waits for its whole length and
// gives them back however it ends: at its end, after a stop, after a port
// error. Where the rights are refused it runs as it always did.

#include "DeviceCycleRig.h"
#include "device/Quennel.h"
#include "link/PpdevPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"
#include "support/FakeLinuxSystem.h"
#include "support/FakeRealtimeHost.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <ostream>
#include <string>
#include <sys/ioctl.h>

namespace quennel {
namespace {

using test::FakeRealtimeHost;
using ::testing::Contains;
using ::testing::HasSubstr;

struct OperationCase {
    const char* Name;
    void (DeviceOperations::*Operation)();
    const char* PassedCaption;
};

void PrintTo(const OperationCase& c, std::ostream* out) {
    *out << c.Name;
}

const OperationCase Operations[] = {
    {"BlankCheck", &DeviceOperations::Blank_ChkClick, "Device is NOT Erased...."},
    {"Verify", &DeviceOperations::Verify_EpromClick, "Device Did NOT Verify to Buffer...."},
    {"Move", &DeviceOperations::Move_EpromClick, "Device Has Been Moved to Buffer...."},
    {"Compare", &DeviceOperations::CompareClick, "Device Can be Reprogrammed...."},
    {"Program", &DeviceOperations::Program_EpromClick, "Device is Programmed...."},
};

// An 82S123 on the simulated programmer at 0x378, found, holding a few
// bits that the buffer holds too.
class RealtimeOperationsTest : public ::testing::TestWithParam<OperationCase> {
protected:
    RealtimeOperationsTest() {
        Bus.Attach(0x378, Programmer);
        test::TakeProgrammerAsFound(Core);
        Core.SelectDevice(*FindDeviceByCaption("82S123"));
        S.DataBuffer.fill(0);
        for (size_t cell = 0; cell < 0x20; cell += 3) {
            Programmer.Fuses[cell] = 0x01;
            S.DataBuffer[cell] = 0x81;
        }
        Core.Realtime.OnRefused = [this](const std::string& line) { Notices.push_back(line); };
        // Looked at in every pump of the operation, from its first lock on.
        Console.DuringMessages = [this] {
            ++Pumps;
            if (Host.OpenRequests != 1 || !Host.ThreadIsRealtime())
                ++PumpsWithout;
            if (StopAtPump == Pumps)
                Core.StopOperation();
        };
    }

    void Run() {
        Pumps = PumpsWithout = 0;
        (Core.Operations.*GetParam().Operation)();
    }

    void ExpectGivenBack() const {
        EXPECT_EQ(Host.OpenRequests, 0);
        EXPECT_FALSE(Host.ThreadIsRealtime());
        EXPECT_FALSE(Host.MemoryLocked);
        EXPECT_FALSE(Core.Realtime.Held());
    }

    FakeRealtimeHost Host;
    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    test::FakeConsole Console;
    QuennelCore Core{Bus, Console, nullptr, Host};
    SharedState& S = Core.State;
    int Pumps = 0;
    int PumpsWithout = 0;
    int StopAtPump = -1;
    std::vector<std::string> Notices;
};

TEST_P(RealtimeOperationsTest, HeldFromTheFirstLockToTheEndAndGivenBackAfter) {
    for (int run = 0; run < 2; ++run) {
        Run();
        EXPECT_EQ(Console.Status, GetParam().PassedCaption);
        EXPECT_GT(Pumps, 2);
        EXPECT_EQ(PumpsWithout, 0);
        ExpectGivenBack();
    }
    EXPECT_TRUE(Notices.empty());
}

TEST_P(RealtimeOperationsTest, GivenBackAfterAStop) {
    StopAtPump = 3;
    Run();
    EXPECT_TRUE(Core.Operations.WasStopped());
    EXPECT_EQ(Console.Status, StoppedCaption);
    ExpectGivenBack();
}

TEST_P(RealtimeOperationsTest, RefusedRightsAreSaidOnceAndTheOperationRunsAsBefore) {
    Host.RefuseAsAnOrdinaryUser();
    Run();
    Run();
    EXPECT_EQ(Console.Status, GetParam().PassedCaption);
    ASSERT_EQ(Notices.size(), 1U);
    EXPECT_THAT(Notices[0], HasSubstr("no write access to /dev/cpu_dma_latency, no real-time priority"));
    EXPECT_EQ(Host.OpenRequests, 0);
    EXPECT_FALSE(Host.ThreadIsRealtime());
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, RealtimeOperationsTest, ::testing::ValuesIn(Operations),
                         [](const auto& info) { return std::string(info.param.Name); });

// A refused register access through the kernel's driver ends the pass; the
// waits are given back with it.
TEST(RealtimeAfterAPortError, TheWaitsAreGivenBack) {
    test::FakeLinuxSystem kernel;
    SimulatedProgrammer chip;
    kernel.AddPort(0, 0x378);
    kernel.Programmer = &chip;
    PpdevPort port{kernel};
    test::FakeConsole console;
    FakeRealtimeHost host;
    QuennelCore core{port, console, nullptr, host};
    core.SelectDevice(*FindDeviceByCaption("82S123"));
    test::TakeProgrammerAsFound(core);
    core.State.DataBuffer.fill(0xFF);
    kernel.Refuse = test::FakeLinuxSystem::Refusal{static_cast<unsigned long>(PPWDATA), 40, EIO, false, {}};
    core.Operations.Program_EpromClick();
    EXPECT_THAT(console.StatusHistory, Contains(HasSubstr("Port Error")));
    EXPECT_EQ(host.OpenRequests, 0);
    EXPECT_FALSE(host.ThreadIsRealtime());
}

// The end of the program drops a hold still open (a close inside an operation).
TEST(RealtimeAtShutdown, AHoldStillOpenIsDropped) {
    SimulatedBus bus;
    test::FakeConsole console;
    FakeRealtimeHost host;
    QuennelCore core{bus, console, nullptr, host};
    core.Realtime.Hold();
    ASSERT_EQ(host.OpenRequests, 1);
    core.ShutDown();
    EXPECT_EQ(host.OpenRequests, 0);
    EXPECT_FALSE(host.ThreadIsRealtime());
}

} // namespace
} // namespace quennel
