// Stopping quennel-cli in the middle of programming, by Ctrl-C (once or
// twice), SIGTERM or SIGHUP: the pass ends at the next cell, the pulse in
// flight runs its full 10 ms, the programmer is left idle, the port given
// back, the simulated chip saved, and the run ends with 128 + the signal.
#include "CliRunner.h"
#include "TraceReading.h"

#include <atomic>
#include <bit>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* StopNotice = "quennel-cli: stopping after the cell or the pulse in hand\n";

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

int BlownFuses(const std::string& chip) {
    int count = 0;
    for (char cell : chip)
        count += std::popcount(static_cast<unsigned char>(cell));
    return count;
}

// What every stop must leave behind, read from the run, the trace and the chip.
void ExpectTidyStop(const CliResult& run, int signal, const std::string& trace, const std::string& chip) {
    EXPECT_FALSE(run.Signaled) << "the signal ended the program before it could tidy up";
    EXPECT_EQ(run.Status, 128 + signal) << run.Out << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Programming Device from Buffer....\nOperation Stopped....\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Verifying")));
    EXPECT_THAT(run.Err, HasSubstr(StopNotice));

    // Every pulse, the last one too, ran its full time and blew its fuse,
    // and the chip file kept every one of them.
    const std::vector<TracedPulse> pulses = PulsesInTrace(trace);
    ASSERT_FALSE(pulses.empty());
    for (const TracedPulse& pulse : pulses) {
        ASSERT_GE(pulse.OffMicroseconds, 0) << "a pulse was left on";
        EXPECT_GE(pulse.Width(), 10'000) << "pulse at " << pulse.OnMicroseconds << " us";
    }
    ASSERT_EQ(chip.size(), 1024u);
    EXPECT_EQ(BlownFuses(chip), static_cast<int>(pulses.size()));
    EXPECT_EQ(chip[0], '\xFF');
    EXPECT_EQ(chip[0x3FF], '\x00');

    // The idle state (latch 01 E4, then latch 03 A0) after the last pulse,
    // and the port given back last: nothing touches it afterwards.
    const size_t release = trace.rfind("# DisablePorts 0378 037A");
    ASSERT_NE(release, std::string::npos);
    EXPECT_THAT(trace.substr(release), Not(HasSubstr(" W 037")));
    EXPECT_THAT(trace.substr(release), Not(HasSubstr(" R 037")));
    const std::vector<LatchedByte> latched = LatchedBytes(trace.substr(0, release));
    size_t idle01 = 0, idle03 = 0, lastPulseOff = 0;
    for (size_t i = 0; i < latched.size(); ++i) {
        if (latched[i].Microseconds <= pulses.back().OffMicroseconds)
            lastPulseOff = i;
        if (latched[i].Select == 0x01 && latched[i].Value == 0xE4)
            idle01 = i;
        if (latched[i].Select == 0x03 && latched[i].Value == 0xA0)
            idle03 = i;
    }
    EXPECT_GT(idle01, lastPulseOff);
    EXPECT_GT(idle03, idle01);
}

class CliStopSignalTest : public ::testing::TestWithParam<int> {};

TEST_P(CliStopSignalTest, StopsProgrammingTidily) {
    const int signal = GetParam();
    CliRunner cli;
    WriteFile(cli.PathOf("full.bin"), std::string(1024, '\xFF')); // 8192 pulses: far longer than the test
    cli.Start(SimArguments({"-d", "82S181", "--trace", "bus.trace", "program", "full.bin"}));
    ASSERT_TRUE(WaitUntil([&] { return cli.OutputSoFar().find("Programming Device") != std::string::npos; }));
    // A few pulses in, at whatever point of a pulse the signal lands.
    ASSERT_TRUE(WaitUntil([&] { return PulsesInTrace(ReadFile(cli.PathOf("bus.trace"))).size() >= 4; }));
    cli.Signal(signal);
    const CliResult run = cli.Wait();
    ExpectTidyStop(run, signal, ReadFile(cli.PathOf("bus.trace")), ReadFile(cli.PathOf("chip.bin")));
}

INSTANTIATE_TEST_SUITE_P(Cli, CliStopSignalTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

// A second Ctrl-C is handled like the first. The trace goes through a FIFO
// that the test stops reading, so the program is held in the middle of its
// pass while both signals arrive; only then is it let go.
TEST(CliStop, SecondCtrlCIsHandledLikeTheFirst) {
    CliRunner cli;
    WriteFile(cli.PathOf("full.bin"), std::string(1024, '\xFF'));
    const std::string fifo = cli.PathOf("bus.trace").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    std::mutex lock;
    std::string trace;
    std::atomic<bool> paused{false};
    std::atomic<bool> finished{false};
    std::atomic<int> descriptor{-1};
    std::thread reader([&] {
        descriptor = ::open(fifo.c_str(), O_RDONLY);
        char block[4096];
        while (descriptor >= 0) {
            if (paused) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const ssize_t count = ::read(descriptor, block, sizeof block);
            if (count <= 0)
                break;
            std::lock_guard guard(lock);
            trace.append(block, static_cast<size_t>(count));
        }
        finished = true;
    });
    auto traceSoFar = [&] {
        std::lock_guard guard(lock);
        return trace;
    };

    cli.Start(SimArguments({"-d", "82S181", "--trace", "bus.trace", "program", "full.bin"}));
    EXPECT_TRUE(WaitUntil([&] { return PulsesInTrace(traceSoFar()).size() >= 4; }));
    paused = true;
    // Held: the pipe is full and the program waits to write its trace. The
    // pipe counts its room in pages, so a full pipe may hold up to a page
    // less than its size when the trace arrives in large blocks.
    const long page = ::sysconf(_SC_PAGESIZE);
    EXPECT_TRUE(WaitUntil([&] {
        int held = 0;
        return descriptor >= 0 && ::ioctl(descriptor, FIONREAD, &held) == 0 &&
               held > ::fcntl(descriptor, F_GETPIPE_SZ) - page;
    }));
    cli.Signal(SIGINT);
    EXPECT_TRUE(WaitUntil([&] { return Count(cli.ErrorSoFar(), StopNotice) == 1; }));
    cli.Signal(SIGINT);
    EXPECT_TRUE(WaitUntil([&] { return Count(cli.ErrorSoFar(), StopNotice) == 2; }));
    paused = false;

    const CliResult run = cli.Wait();
    // Should the program have ended without opening the trace, a writer of our own lets the reader go.
    WaitUntil(
        [&] {
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
            return finished.load();
        },
        std::chrono::seconds(30));
    reader.join();
    if (descriptor >= 0)
        ::close(descriptor);
    ExpectTidyStop(run, SIGINT, traceSoFar(), ReadFile(cli.PathOf("chip.bin")));
}

// After a search the programmer is left idle before its port is given back.
TEST(CliStop, DetectLeavesTheProgrammerIdleBeforeGivingThePortBack) {
    CliRunner cli;
    const CliResult run = cli.Run({"--port", "sim", "--trace", "bus.trace", "detect"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    const std::string trace = ReadFile(cli.PathOf("bus.trace"));
    const size_t release = trace.rfind("# DisablePorts 0378 037A");
    ASSERT_NE(release, std::string::npos);
    const size_t lastRead = trace.rfind(" R 0379 ", release);
    ASSERT_NE(lastRead, std::string::npos);
    std::vector<std::string> latched;
    for (const LatchedByte& byte : LatchedBytes(trace.substr(lastRead, release - lastRead))) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X=%02X", byte.Select, byte.Value);
        latched.push_back(text);
    }
    // The idle state, then the closing's own latch 03 clear (parking is no latch).
    EXPECT_THAT(latched, ::testing::ElementsAre("03=00", "02=3B", "01=E4", "0B=76", "09=00", "08=00", "03=A0",
                                                "03=00", "08=00"));
}

} // namespace
} // namespace quennel::test
