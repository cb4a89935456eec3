#pragma once
// A kernel for the real-time waits: grants or refuses each call as the test
// says, keeps the state a real one would (the latency request open or not,
// each thread's scheduling), and records every call in order.

#include "link/RealtimeHost.h"

#include <cerrno>
#include <map>
#include <sched.h>
#include <string>
#include <vector>

namespace quennel::test {

class FakeRealtimeHost : public RealtimeHost {
public:
    // What is refused, as the errno the call fails with (0: granted).
    int LatencyRefusal = 0;
    int LimitRefusal = 0;
    int RealtimeRefusal = 0;
    int LockRefusal = 0;
    pid_t Thread = 4242;

    std::vector<std::string> Calls;
    int OpenRequests = 0; // latency requests open now
    std::map<pid_t, SchedulingPolicy> Scheduling;
    bool MemoryLocked = false;
    bool LimitSet = false;

    bool ThreadIsRealtime() const { return Of(Thread).Policy == SCHED_FIFO; }

    int OpenLatencyRequest() override {
        Calls.push_back("open latency");
        if (LatencyRefusal != 0)
            return -LatencyRefusal;
        ++OpenRequests;
        return 70 + OpenRequests;
    }
    void CloseLatencyRequest(int descriptor) override {
        Calls.push_back("close latency " + std::to_string(descriptor));
        --OpenRequests;
    }
    int LimitRealtimeRunning(uint64_t softUs, uint64_t hardUs) override {
        Calls.push_back("limit " + std::to_string(softUs) + " " + std::to_string(hardUs));
        if (LimitRefusal != 0)
            return -LimitRefusal;
        LimitSet = true;
        return 0;
    }
    pid_t CurrentThread() override { return Thread; }
    int ReadScheduling(pid_t thread, SchedulingPolicy& scheduling) override {
        scheduling = Of(thread);
        return 0;
    }
    int SetScheduling(pid_t thread, const SchedulingPolicy& scheduling) override {
        Calls.push_back("schedule " + std::to_string(scheduling.Policy) + "/" + std::to_string(scheduling.Priority));
        if (scheduling.Policy == SCHED_FIFO && RealtimeRefusal != 0)
            return -RealtimeRefusal;
        Scheduling[thread] = scheduling;
        return 0;
    }
    int LockMemory() override {
        Calls.push_back("lock memory");
        if (LockRefusal != 0)
            return -LockRefusal;
        MemoryLocked = true;
        return 0;
    }
    void UnlockMemory() override {
        Calls.push_back("unlock memory");
        MemoryLocked = false;
    }

    // Refuses everything an ordinary user without the rights is refused.
    void RefuseAsAnOrdinaryUser() {
        LatencyRefusal = EACCES;
        RealtimeRefusal = EPERM;
        LockRefusal = ENOMEM;
    }

private:
    SchedulingPolicy Of(pid_t thread) const {
        const auto found = Scheduling.find(thread);
        return found == Scheduling.end() ? SchedulingPolicy{SCHED_OTHER, 0} : found->second;
    }
};

} // namespace quennel::test
