#pragma once
// A timer whose ticks come from a worker thread of its own: the worker waits
// on an event with a time-out and hands each tick to the message thread,
// where OnTimer runs.
//
// A tick is due a full interval after the enable (or after the tick before
// it) on the steady clock. The worker's wait ends a little before that, so
// that the message thread is awake in time whatever its wake-up costs, and
// the message thread holds the tick until it is due: OnTimer never runs
// early, and runs within microseconds of its time when the message thread
// was waiting for messages.
//
// Linux threads cannot be suspended from outside, so a suspended worker
// halts at the top of its loop instead, and a tick timed before a suspend is
// dropped when it reaches the message thread. Hence no tick arrives while
// the timer is disabled, enabling always starts a full interval, and a
// handler that disables the timer ends the ticking until the next enable.

#include "core/OperatorConsole.h"
#include "link/AutoResetEvent.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>

namespace quennel {

enum class TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The platform priority of each step (-15, -2, -1, 0, 1, 2, 15), and back;
// a platform priority outside the table reads as tpNormal.
int PlatformPriority(TThreadPriority priority);
TThreadPriority ThreadPriorityFromPlatform(int platformPriority);

using TimerClock = std::chrono::steady_clock;

// How long before its due time the worker hands a tick over: enough for the
// message thread to wake up even on a busy machine. The message thread holds
// the tick for the rest of that time, without processing messages, sleeping
// but for the last stretch, which it spins on the clock.
inline constexpr std::chrono::microseconds TickHandOverLead{2000};
inline constexpr std::chrono::microseconds TickFinishOnClock{250};

class TThreadedTimer;
using TNotifyEvent = std::function<void(TThreadedTimer& sender)>;

class TTimerThread {
public:
    // The worker starts suspended: it runs its loop from the first Resume on.
    TTimerThread(TThreadedTimer& parent, OperatorConsole& console);
    // Terminates, wakes and resumes the worker, then waits for it to end.
    ~TTimerThread();
    TTimerThread(const TTimerThread&) = delete;
    TTimerThread& operator=(const TTimerThread&) = delete;

    TThreadedTimer& ParentTimer;
    // Written only while the worker is suspended; read before each wait.
    std::atomic<uint16_t> IntervalMs{1000};
    AutoResetEvent WakeEvent;

    void Suspend();
    void Resume();
    bool Suspended() const;
    void Terminate();
    bool Terminated() const;
    // Waits at most limit for the worker to end; true once it has ended.
    bool WaitFor(std::chrono::milliseconds limit);
    // True while a tick waits for the message thread to take it.
    bool HandingOverTick() const { return TickQueued.load(); }

    void SetPriority(TThreadPriority priority);
    TThreadPriority Priority() const;

private:
    struct RunStart {
        uint64_t Number;
        TimerClock::time_point At;
    };

    void Execute();
    // Returns the run the worker may now time a tick for, and when it began.
    RunStart WaitWhileSuspended();
    // Queues the tick for the message thread and blocks until it has run.
    void HandOverTick(uint64_t run, TimerClock::time_point due);
    // On the message thread: holds the tick until due, then fires it unless
    // its run has ended meanwhile.
    void DeliverTick(uint64_t run, TimerClock::time_point due);
    bool RunIsCurrent(uint64_t run) const;

    OperatorConsole& Console;
    const pid_t MessageThreadId; // the constructing thread's kernel id
    mutable std::mutex Lock;
    std::condition_variable Changed;
    bool IsSuspended = true;
    bool IsTerminated = false;
    bool Ended = false;
    uint64_t Run = 0; // counts the resumes; a tick is delivered only in the run it was timed in
    TimerClock::time_point RunStartedAt{}; // the resume that began Run
    pid_t NativeId = 0;
    int WaitStep = 0;               // the platform step asked for the worker's waits
    std::optional<int> GrantedStep; // what the platform gave for them
    std::atomic<bool> InHandOver{false}; // the worker is in a hand-over
    std::atomic<bool> TickQueued{false};    // its tick has not run yet
    std::thread Worker; // last: started once everything above exists
};

class TThreadedTimer {
public:
    // Ticks run on console's message thread, taken to be the constructing one.
    explicit TThreadedTimer(OperatorConsole& console);
    // Ends the worker promptly; a tick still on its way is dropped.
    ~TThreadedTimer();
    TThreadedTimer(const TThreadedTimer&) = delete;
    TThreadedTimer& operator=(const TThreadedTimer&) = delete;

    bool Enabled() const { return EnabledFlag; }
    void SetEnabled(bool value);
    uint16_t Interval() const;
    // A changed interval always leaves the timer disabled.
    void SetInterval(uint16_t value);
    const TNotifyEvent& OnTimer() const { return OnTimerHandler; }
    void SetOnTimer(TNotifyEvent handler) { OnTimerHandler = std::move(handler); }
    // What the worker really has; where the platform refused a setting this
    // differs from what was asked.
    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority priority);

    // Calls OnTimer with this timer as sender; on the message thread only.
    void FireOnTimer();

private:
    OperatorConsole& Console;
    const std::thread::id MessageThread;
    bool EnabledFlag = false;
    TNotifyEvent OnTimerHandler;
    std::unique_ptr<TTimerThread> Thread;
};

} // namespace quennel
