#pragma once
// A programming pulse ends when the message thread wakes up and writes the
// closing latches; it runs long when the processor wakes late from a deep
// idle state or the thread waits behind other processes. For the length of
// each device operation the waits are therefore made real-time: a PM QoS
// request holds the processor's wake-up latency at 0, the calling (message)
// thread runs SCHED_FIFO above the timer's worker, and the process's memory
// is locked where allowed. Each is dropped when the operation ends, however
// it ends. What the system refuses is done without, and said once.

#include "link/RealtimeHost.h"

#include <functional>
#include <string>

namespace quennel {

// Above the timer's worker (FIFO 1), so that the worker never takes the
// processor from the thread whose wake-up ends a pulse; low among the
// real-time levels, so that the system's own real-time threads come first.
inline constexpr int MessageThreadFifoPriority = 10;

// What the last hold got (kept after it is dropped).
struct RealtimeGrant {
    bool LatencyHeld = false;    // the PM QoS request is open
    bool PriorityRaised = false; // the message thread is real-time
    bool MemoryLocked = false;
    int LatencyError = 0;  // errno of a refused request
    int PriorityError = 0; // errno of a refused priority (the broker's answer aside)
};

class RealtimeWaits {
public:
    explicit RealtimeWaits(RealtimeHost& host = HostRealtime());
    // Drops what is still held.
    ~RealtimeWaits();
    RealtimeWaits(const RealtimeWaits&) = delete;
    RealtimeWaits& operator=(const RealtimeWaits&) = delete;

    // Takes everything on the calling thread, unless already held: holds nest,
    // and only the outermost takes and drops.
    void Hold();
    void Drop();
    // Drops whatever is held, however deep (shutdown).
    void DropAll();
    // A hold dropped at once: what is refused is said now, before the first
    // operation (the window's start-up).
    void Probe();
    bool Held() const { return Depth > 0; }

    // Holds for a scope: a device operation from its first lock to its end.
    class Scope {
    public:
        explicit Scope(RealtimeWaits& waits) : Waits(waits) { Waits.Hold(); }
        ~Scope() { Waits.Drop(); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        RealtimeWaits& Waits;
    };

    const RealtimeGrant& LastGrant() const { return Grant; }

    // Off: holds take nothing (a benchmark's figures without the remedies).
    bool Wanted = true;

    // Asked for the real-time priority when the direct call is refused (the
    // window asks the desktop's broker): true when the thread got it.
    std::function<bool(pid_t thread, int priority)> AskBroker;

    // Called once in the program's life, at the first hold that was refused
    // the latency request or the priority, with the one line that says what
    // is missing and how to grant it.
    std::function<void(const std::string& line)> OnRefused;

private:
    void Take();
    void Give();

    RealtimeHost& Host;
    int Depth = 0;
    RealtimeGrant Grant;
    int LatencyDescriptor = -1;
    pid_t RaisedThread = 0;
    bool MemoryLocked = false;
    SchedulingPolicy Before;
    bool RefusalSaid = false;
};

// The notice for a hold that got less than everything; empty when nothing
// that matters was refused.
std::string RealtimeRefusalLine(const RealtimeGrant& grant);

} // namespace quennel
