// A crash while a real port is claimed: the handler writes the idle state
// straight to the port through the driver's ioctl and gives the port back,
// then the signal ends the program. Through a fake kernel whose ioctl for
// signal handlers writes each call to a pipe, once called directly and once
// in a child process that crashes in the middle of a programming pulse.

#include "link/CrashIdle.h"

#include "device/Quennel.h"
#include "link/PpdevPort.h"
#include "support/FakeConsole.h"
#include "support/FakeLinuxSystem.h"

#include <csignal>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quennel::test {
namespace {

using SignalCall = FakeLinuxSystem::SignalCall;

constexpr int Marker = -2; // the child's own record: what the part saw as the crash came

// The idle state as the driver must see it, from the programmer's side:
// each latch is its byte on the data lines, then its select code with the
// clock raised three times; the park step is control 08 then 0C. Then the
// port is given back.
std::vector<std::pair<unsigned long, int>> IdleThenRelease() {
    std::vector<std::pair<unsigned long, int>> calls;
    auto latch = [&](int select, int value) {
        calls.emplace_back(PPWDATA, value);
        for (int control : {select, select | 4, select | 4, select | 4, select, 0})
            calls.emplace_back(PPWCONTROL, control);
    };
    latch(0x03, 0x00);
    latch(0x02, 0x3B);
    latch(0x01, 0xE4);
    latch(0x0B, 0x76);
    latch(0x09, 0x00);
    calls.emplace_back(PPWCONTROL, 0x08);
    calls.emplace_back(PPWCONTROL, 0x0C);
    latch(0x03, 0xA0);
    calls.emplace_back(PPRELEASE, -1);
    return calls;
}

std::vector<std::pair<unsigned long, int>> RequestsAndValues(const std::vector<SignalCall>& calls) {
    std::vector<std::pair<unsigned long, int>> pairs;
    for (const SignalCall& call : calls)
        pairs.emplace_back(call.Request, call.Value);
    return pairs;
}

class Pipe {
public:
    Pipe() {
        EXPECT_EQ(::pipe(Ends), 0);
        FakeLinuxSystem::SignalLog = Ends[1];
    }
    ~Pipe() {
        FakeLinuxSystem::SignalLog = -1;
        CloseWritingEnd();
        ::close(Ends[0]);
    }
    void CloseWritingEnd() {
        if (Ends[1] >= 0)
            ::close(Ends[1]);
        Ends[1] = -1;
    }
    std::vector<SignalCall> Calls() {
        CloseWritingEnd();
        return FakeLinuxSystem::ReadSignalCalls(Ends[0]);
    }

private:
    int Ends[2] = {-1, -1};
};

// The core prepares the writes; the claim arms them on its descriptor.
TEST(CrashIdle, WritesTheIdleStateAndReleasesOnlyThePortStillClaimed) {
    Pipe log;
    FakeLinuxSystem kernel;
    kernel.AddPort(0, 0x378);
    PpdevPort port(kernel);
    FakeConsole console;
    QuennelCore core(port, console);

    WriteCrashIdle();
    std::string failure;
    ASSERT_TRUE(port.OpenRange(0x378, 0x37A, failure));
    const int claimed = *kernel.ClaimedDescriptors.begin();
    for (int signal : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        EXPECT_NE(action.sa_handler, SIG_DFL) << signal;
        EXPECT_TRUE(action.sa_flags & SA_RESETHAND) << "the default action follows the handler";
    }
    WriteCrashIdle();
    WriteCrashIdle(); // a handler runs once: the port is no longer armed

    port.CloseRange(0x378, 0x37A);
    ASSERT_TRUE(port.OpenRange(0x378, 0x37A, failure));
    port.CloseRange(0x378, 0x37A);
    WriteCrashIdle(); // given back: nothing to write to

    const std::vector<SignalCall> calls = log.Calls();
    EXPECT_EQ(RequestsAndValues(calls), IdleThenRelease());
    for (const SignalCall& call : calls)
        EXPECT_EQ(call.Descriptor, claimed);
}

// A real crash: the child programs an 82S123 through the fake kernel and a
// simulated programmer, and crashes while a pulse is on. The handler's
// writes, replayed on a programmer with a pulse on, switch it off and leave
// it idle; the child dies of the signal itself.
class CrashInAPulseTest : public ::testing::TestWithParam<int> {};

TEST_P(CrashInAPulseTest, LeavesTheProgrammerIdleAndDiesOfTheSignal) {
    const int crash = GetParam();
    Pipe log;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FakeLinuxSystem kernel;
        SimulatedProgrammer chip;
        kernel.AddPort(0, 0x378);
        kernel.Programmer = &chip;
        PpdevPort port(kernel);
        FakeConsole console;
        QuennelCore core(port, console);
        core.Detection.FindProgrammer();
        core.SelectDevice(*FindDeviceByCaption("82S123"));
        core.State.DataBuffer[0x04] = 0x30;
        console.DuringMessages = [&] {
            if (!chip.PulseOn() || chip.Pulses().size() < 1)
                return;
            const SignalCall seen{Marker, chip.Latch(0x01),
                                  static_cast<int>(*kernel.ClaimedDescriptors.begin())};
            if (::write(FakeLinuxSystem::SignalLog, &seen, sizeof seen) != sizeof seen)
                ::_exit(4);
            if (crash == SIGABRT)
                std::abort();
            std::raise(crash);
        };
        core.Operations.Program_EpromClick();
        ::_exit(3); // no crash came
    }
    const std::vector<SignalCall> calls = log.Calls();
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), crash);

    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().Descriptor, Marker);
    EXPECT_EQ(calls.front().Request, 0xE1UL) << "the pulse was on: latch 01 at E1";
    const int claimed = calls.front().Value;
    const std::vector<SignalCall> handler(calls.begin() + 1, calls.end());
    EXPECT_EQ(RequestsAndValues(handler), IdleThenRelease());
    for (const SignalCall& call : handler)
        EXPECT_EQ(call.Descriptor, claimed);

    // What those writes do to a programmer in the middle of a pulse.
    SimulatedProgrammer part;
    auto strobe = [&](int select, uint8_t value) {
        part.WriteRegister(0, value);
        for (int control : {select, select | 4, select | 4, select | 4, select, 0})
            part.WriteRegister(2, static_cast<uint8_t>(control));
    };
    for (auto [select, value] : std::vector<std::pair<uint8_t, uint8_t>>{{0x0B, 0x62},
                                                                         {0x01, 0xE5},
                                                                         {0x02, 0x1A},
                                                                         {0x09, 0x04},
                                                                         {0x01, 0x65},
                                                                         {0x02, 0x12},
                                                                         {0x0B, 0x66},
                                                                         {0x0A, 0x04},
                                                                         {0x01, 0x61},
                                                                         {0x01, 0xE1}})
        strobe(select, value);
    ASSERT_TRUE(part.PulseOn());
    for (const SignalCall& call : handler)
        if (call.Request == PPWDATA || call.Request == PPWCONTROL)
            part.WriteRegister(call.Request == PPWDATA ? 0 : 2, static_cast<uint8_t>(call.Value));
    EXPECT_FALSE(part.PulseOn());
    EXPECT_EQ(part.Latch(0x01), 0xE4);
    EXPECT_EQ(part.Latch(0x02), 0x3B);
    EXPECT_EQ(part.Latch(0x0B), 0x76);
    EXPECT_EQ(part.Latch(0x03), 0xA0);
}

INSTANTIATE_TEST_SUITE_P(Signals, CrashInAPulseTest,
                         ::testing::Values(SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT));

} // namespace
} // namespace quennel::test
