#include "link/CrashIdle.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

namespace quennel {

namespace {

constexpr size_t MostWrites = 64;
constexpr std::array<int, 5> CrashSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Written before the port is armed, read only by the handler after.
std::array<RegisterWrite, MostWrites> IdleWrites{};
size_t IdleWriteCount = 0;
std::atomic<LinuxSystem::SignalSafeIoctl> ArmedIoctl{nullptr};
std::atomic<int> ArmedDescriptor{-1};
std::atomic<bool> Installed{false};

// The handler runs once (SA_RESETHAND puts the default action back as it
// is entered); the signal raised again ends the program when it returns.
void OnCrash(int signal) {
    WriteCrashIdle();
    std::raise(signal);
}

void InstallHandlers() {
    if (Installed.exchange(true))
        return;
    struct sigaction action {};
    action.sa_handler = OnCrash;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : CrashSignals)
        sigaction(signal, &action, nullptr);
}

} // namespace

void SetCrashIdleWrites(std::span<const RegisterWrite> writes) {
    IdleWriteCount = std::min(writes.size(), MostWrites);
    std::copy_n(writes.begin(), IdleWriteCount, IdleWrites.begin());
}

void ArmCrashIdle(int descriptor, LinuxSystem::SignalSafeIoctl ioctl) {
    ArmedIoctl.store(ioctl);
    ArmedDescriptor.store(descriptor);
    InstallHandlers();
}

void DisarmCrashIdle(int descriptor) {
    int armed = descriptor;
    ArmedDescriptor.compare_exchange_strong(armed, -1);
}

// A write the port refuses ends the writes, as it ends any pass: a latch
// clocked after a lost data write would take whatever the lines held.
void WriteCrashIdle() {
    const int descriptor = ArmedDescriptor.exchange(-1);
    const LinuxSystem::SignalSafeIoctl ioctl = ArmedIoctl.load();
    if (descriptor < 0 || ioctl == nullptr)
        return;
    for (size_t i = 0; i < IdleWriteCount; ++i) {
        unsigned char value = IdleWrites[i].Value;
        if (ioctl(descriptor, IdleWrites[i].Offset == 0 ? PPWDATA : PPWCONTROL, &value) != 0)
            break;
    }
    ioctl(descriptor, PPRELEASE, nullptr);
}

} // namespace quennel
