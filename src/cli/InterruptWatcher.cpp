#include "cli/InterruptWatcher.h"

#include <chrono>
#include <csignal>

namespace quennel::cli {

namespace {

std::atomic<bool> InterruptRaised{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

extern "C" void RaiseInterrupt(int) {
    InterruptRaised.store(true);
}

// Short enough that Ctrl-C feels immediate, long enough to cost nothing.
constexpr auto PollEvery = std::chrono::milliseconds(20);

} // namespace

InterruptWatcher::InterruptWatcher(MessageQueue& queue, std::function<void()> onInterrupt)
    : Queue(queue), OnInterrupt(std::move(onInterrupt)) {
    InterruptRaised.store(false);
    struct sigaction action {};
    action.sa_handler = RaiseInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    Watcher = std::thread([this] { Watch(); });
}

InterruptWatcher::~InterruptWatcher() {
    Stopping.store(true);
    Watcher.join();
    std::signal(SIGINT, SIG_DFL);
}

void InterruptWatcher::Watch() {
    while (!Stopping.load()) {
        if (InterruptRaised.exchange(false))
            Queue.Post(OnInterrupt);
        std::this_thread::sleep_for(PollEvery);
    }
}

} // namespace quennel::cli
