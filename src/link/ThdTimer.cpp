#include "link/ThdTimer.h"

#include "link/ThreadScheduling.h"

#include <array>
#include <thread>
#include <utility>

namespace quennel {

namespace {

constexpr std::array<std::pair<TThreadPriority, int>, 7> PriorityTable{{
    {TThreadPriority::tpIdle, -15},
    {TThreadPriority::tpLowest, -2},
    {TThreadPriority::tpLower, -1},
    {TThreadPriority::tpNormal, 0},
    {TThreadPriority::tpHigher, 1},
    {TThreadPriority::tpHighest, 2},
    {TThreadPriority::tpTimeCritical, 15},
}};

// How often a destructor on the message thread pumps while the worker ends.
constexpr std::chrono::milliseconds EndPollInterval{1};

} // namespace

int PlatformPriority(TThreadPriority priority) {
    for (const auto& [step, platform] : PriorityTable)
        if (step == priority)
            return platform;
    return 0;
}

TThreadPriority ThreadPriorityFromPlatform(int platformPriority) {
    for (const auto& [step, platform] : PriorityTable)
        if (platform == platformPriority)
            return step;
    return TThreadPriority::tpNormal;
}

// ---- TTimerThread ----

TTimerThread::TTimerThread(TThreadedTimer& parent, OperatorConsole& console)
    : ParentTimer(parent), Console(console), MessageThreadId(CurrentThreadId()) {
    Worker = std::thread([this] {
        {
            std::lock_guard guard(Lock);
            NativeId = CurrentThreadId();
        }
        Changed.notify_all();
        UseFinestTimerSlack();
        Execute();
        {
            std::lock_guard guard(Lock);
            Ended = true;
        }
        Changed.notify_all();
    });
    // The priority is set on the kernel's thread id, so it must be known first.
    std::unique_lock guard(Lock);
    Changed.wait(guard, [this] { return NativeId != 0; });
}

TTimerThread::~TTimerThread() {
    Terminate();
    WakeEvent.Set();
    Resume();
    Worker.join();
}

void TTimerThread::Execute() {
    uint64_t timedRun = 0;
    TimerClock::time_point due{};
    for (;;) {
        const RunStart run = WaitWhileSuspended();
        if (run.Number != timedRun) {
            timedRun = run.Number;
            due = run.At + std::chrono::milliseconds(IntervalMs.load());
        }
        // Only a time-out is a tick: the event means "start over" or "end".
        if (WakeEvent.WaitUntil(due - TickHandOverLead) == AutoResetEvent::WaitResult::TimedOut) {
            HandOverTick(run.Number, due);
            due = TimerClock::now() + std::chrono::milliseconds(IntervalMs.load());
        }
        if (Terminated())
            break;
    }
}

TTimerThread::RunStart TTimerThread::WaitWhileSuspended() {
    std::unique_lock guard(Lock);
    Changed.wait(guard, [this] { return !IsSuspended || IsTerminated; });
    return {Run, RunStartedAt};
}

// The raised priority is for the timed wait. The hand-over runs at normal
// priority: a raised worker woken when the tick has run would take the
// processor from the message thread just as it goes on with the caller's work
// (ending a pulse), and under load the message thread may then wait for
// another process's time slice. A message thread that runs real-time (above
// the worker) cannot lose the processor to it: then the worker keeps its
// priority: changing a real-time thread's policy at every tick can set the
// scheduler balancing both processors just as the pulse is to end, and
// measured costlier.
//
// A tick that disables the timer (the end of every wait) does not wake the
// worker when it has run: the worker sleeps on until the next enable or the
// end, which wake it anyway. Waking it at once would cost the message thread
// just as it ends a pulse: a real-time worker below a real-time message
// thread is woken on the other processor, and that wake-up measured some
// 20 microseconds on a virtual machine.
void TTimerThread::HandOverTick(uint64_t run, TimerClock::time_point due) {
    std::unique_lock guard(Lock);
    InHandOver.store(true);
    bool lowered = false;
    if (WaitStep > 0 &&
        ReadThreadPriorityStep(MessageThreadId) != PlatformPriority(TThreadPriority::tpTimeCritical)) {
        ApplyThreadPriorityStep(NativeId, 0);
        lowered = true;
    }
    TickQueued.store(true);
    guard.unlock();
    Console.PostToMessageThread([this, run, due] {
        DeliverTick(run, due);
        bool wake = false;
        {
            std::lock_guard taken(Lock);
            TickQueued.store(false);
            wake = !IsSuspended || IsTerminated;
        }
        if (wake)
            Changed.notify_all();
    });
    guard.lock();
    Changed.wait(guard, [this] { return !TickQueued.load(); });
    if (lowered)
        ApplyThreadPriorityStep(NativeId, WaitStep);
    InHandOver.store(false);
}

bool TTimerThread::RunIsCurrent(uint64_t run) const {
    std::lock_guard guard(Lock);
    return !IsSuspended && !IsTerminated && run == Run;
}

void TTimerThread::DeliverTick(uint64_t run, TimerClock::time_point due) {
    // A tick timed before a suspend, or during the end, would come late.
    if (!RunIsCurrent(run))
        return;
    // Sleeping gives the processor back, and a thread that sleeps is let on
    // again soonest; the last stretch is spun on the clock, short enough
    // that no other process's turn comes in between.
    if (TimerClock::now() < due - TickFinishOnClock)
        std::this_thread::sleep_until(due - TickFinishOnClock);
    while (TimerClock::now() < due) {
    }
    if (RunIsCurrent(run))
        ParentTimer.FireOnTimer();
}

void TTimerThread::Suspend() {
    std::lock_guard guard(Lock);
    IsSuspended = true;
}

void TTimerThread::Resume() {
    {
        std::lock_guard guard(Lock);
        if (!IsSuspended)
            return;
        IsSuspended = false;
        ++Run;
        RunStartedAt = TimerClock::now();
    }
    Changed.notify_all();
}

bool TTimerThread::Suspended() const {
    std::lock_guard guard(Lock);
    return IsSuspended;
}

void TTimerThread::Terminate() {
    {
        std::lock_guard guard(Lock);
        IsTerminated = true;
    }
    Changed.notify_all();
}

bool TTimerThread::Terminated() const {
    std::lock_guard guard(Lock);
    return IsTerminated;
}

bool TTimerThread::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock guard(Lock);
    return Changed.wait_for(guard, limit, [this] { return Ended; });
}

void TTimerThread::SetPriority(TThreadPriority priority) {
    std::lock_guard guard(Lock);
    WaitStep = PlatformPriority(priority);
    ApplyThreadPriorityStep(NativeId, WaitStep);
    GrantedStep = ReadThreadPriorityStep(NativeId);
}

// Outside a hand-over the worker's scheduling is read as it is; during one,
// as what the worker has for its waits.
TThreadPriority TTimerThread::Priority() const {
    std::lock_guard guard(Lock);
    const auto step = InHandOver.load() ? GrantedStep : ReadThreadPriorityStep(NativeId);
    return step ? ThreadPriorityFromPlatform(*step) : TThreadPriority::tpNormal;
}

// ---- TThreadedTimer ----

TThreadedTimer::TThreadedTimer(OperatorConsole& console)
    : Console(console), MessageThread(std::this_thread::get_id()),
      Thread(std::make_unique<TTimerThread>(*this, console)) {
    Thread->SetPriority(TThreadPriority::tpNormal);
}

TThreadedTimer::~TThreadedTimer() {
    Thread->Terminate();
    Thread->WakeEvent.Set();
    if (Thread->Suspended())
        Thread->Resume();
    // The worker may be blocked handing a tick to this very thread: pump so
    // that it gets through (the tick is dropped) and can end. Only then, so
    // that a destructor does not run other messages needlessly.
    const bool onMessageThread = std::this_thread::get_id() == MessageThread;
    while (!Thread->WaitFor(EndPollInterval))
        if (onMessageThread && Thread->HandingOverTick())
            Console.ProcessMessages();
    Thread.reset();
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == EnabledFlag)
        return;
    EnabledFlag = value;
    if (!value) {
        Thread->Suspend();
        return;
    }
    if (Thread->IntervalMs.load() > 0) {
        // Set before resuming: a wait still running from before the suspend
        // ends at once without a tick, so the first tick is a full interval away.
        Thread->WakeEvent.Set();
        Thread->Resume();
    }
}

uint16_t TThreadedTimer::Interval() const {
    return Thread->IntervalMs.load();
}

void TThreadedTimer::SetInterval(uint16_t value) {
    if (value == Thread->IntervalMs.load())
        return;
    SetEnabled(false);
    Thread->IntervalMs.store(value);
}

TThreadPriority TThreadedTimer::ThreadPriority() const {
    return Thread->Priority();
}

void TThreadedTimer::SetThreadPriority(TThreadPriority priority) {
    Thread->SetPriority(priority);
}

void TThreadedTimer::FireOnTimer() {
    if (OnTimerHandler)
        OnTimerHandler(*this);
}

} // namespace quennel
