#include "link/RealtimeWaits.h"

#include "link/RealtimeRunLimit.h"

#include <cerrno>
#include <sched.h>

namespace quennel {

namespace {

bool IsRealtime(const SchedulingPolicy& scheduling) {
    return scheduling.Policy == SCHED_FIFO || scheduling.Policy == SCHED_RR;
}

} // namespace

std::string RealtimeRefusalLine(const RealtimeGrant& grant) {
    std::string missing;
    if (!grant.LatencyHeld)
        missing = grant.LatencyError == ENOENT ? "no /dev/cpu_dma_latency"
                                               : "no write access to /dev/cpu_dma_latency";
    if (!grant.PriorityRaised)
        missing += std::string(missing.empty() ? "" : ", ") + "no real-time priority";
    if (missing.empty())
        return {};
    return "Real-time waits not granted: " + missing +
           "; pulses may run long on a busy machine. To grant them: install Quennel (its udev rule "
           "and limits.d entry give group lp both), join group lp (sudo usermod -aG lp $USER) and "
           "log in again";
}

RealtimeWaits::RealtimeWaits(RealtimeHost& host) : Host(host) {}

RealtimeWaits::~RealtimeWaits() {
    DropAll();
}

void RealtimeWaits::Hold() {
    if (Depth++ == 0)
        Take();
}

void RealtimeWaits::Drop() {
    if (Depth > 0 && --Depth == 0)
        Give();
}

void RealtimeWaits::DropAll() {
    if (Depth > 0) {
        Depth = 0;
        Give();
    }
}

void RealtimeWaits::Probe() {
    Hold();
    Drop();
}

// The run limit comes before the priority: without it no real-time
// priority is taken at all.
void RealtimeWaits::Take() {
    Grant = {};
    RaisedThread = 0;
    if (!Wanted)
        return;

    const int latency = Host.OpenLatencyRequest();
    if (latency >= 0) {
        LatencyDescriptor = latency;
        Grant.LatencyHeld = true;
    } else {
        Grant.LatencyError = -latency;
    }

    // Set again at every hold: after an overrun the kernel has moved the
    // soft limit on by a second.
    const int limited = Host.LimitRealtimeRunning(RealtimeRunSoftUs, RealtimeRunHardUs);
    if (limited != 0)
        Grant.PriorityError = -limited;
    const pid_t thread = Host.CurrentThread();
    if (limited == 0 && Host.ReadScheduling(thread, Before) == 0) {
        if (IsRealtime(Before) && Before.Priority >= MessageThreadFifoPriority) {
            Grant.PriorityRaised = true; // real-time already: left as it is
        } else if (const int raised = Host.SetScheduling(thread, {SCHED_FIFO, MessageThreadFifoPriority});
                   raised == 0) {
            Grant.PriorityRaised = true;
            RaisedThread = thread;
        } else {
            Grant.PriorityError = -raised;
            if (AskBroker && AskBroker(thread, MessageThreadFifoPriority)) {
                Grant.PriorityRaised = true;
                RaisedThread = thread;
            }
        }
    }

    Grant.MemoryLocked = MemoryLocked = Host.LockMemory() == 0;

    if (!RefusalSaid && (!Grant.LatencyHeld || !Grant.PriorityRaised)) {
        RefusalSaid = true;
        if (OnRefused)
            OnRefused(RealtimeRefusalLine(Grant));
    }
}

void RealtimeWaits::Give() {
    if (MemoryLocked)
        Host.UnlockMemory();
    if (RaisedThread != 0)
        Host.SetScheduling(RaisedThread, Before);
    if (LatencyDescriptor >= 0)
        Host.CloseLatencyRequest(LatencyDescriptor);
    LatencyDescriptor = -1;
    RaisedThread = 0;
    MemoryLocked = false;
}

} // namespace quennel
