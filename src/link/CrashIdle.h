#pragma once
// A crash in the middle of a programming pulse must not leave it switched
// on. Once a real port is claimed, a handler for SIGSEGV, SIGBUS, SIGILL,
// SIGFPE and SIGABRT writes the programmer's idle state straight to it,
// gives the port back and lets the signal end the program as it would have.
// Everything the handler needs is prepared beforehand (the register writes,
// the port's descriptor, the ioctl to make them with); in the handler only
// calls that are safe there are made: that ioctl, sigaction and raise.

#include "link/LinuxSystem.h"

#include <cstdint>
#include <span>

namespace quennel {

// One byte for a register of the claimed port.
struct RegisterWrite {
    uint8_t Offset; // 0 data, 2 control
    uint8_t Value;
};

// The writes that leave the programmer idle, kept for the handler (the
// program's idle state, set once by the core).
void SetCrashIdleWrites(std::span<const RegisterWrite> writes);

// From now on a crash writes to the port claimed as descriptor through
// ioctl; the handlers are installed the first time.
void ArmCrashIdle(int descriptor, LinuxSystem::SignalSafeIoctl ioctl);
// The port is given back: a crash writes nowhere.
void DisarmCrashIdle(int descriptor);

// What the handler does before the signal goes on: the idle writes, then
// the release, on the port armed now (nothing when none is).
void WriteCrashIdle();

} // namespace quennel
