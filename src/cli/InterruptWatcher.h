#pragma once
// Ctrl-C for the command line. The signal handler only raises a flag; a
// watcher thread sees it and posts onInterrupt to the message queue, where
// the running operation picks it up at its next message pump. A second
// Ctrl-C ends the program at once, as it would without the watcher.

#include "core/MessageQueue.h"

#include <atomic>
#include <functional>
#include <thread>

namespace quennel::cli {

class InterruptWatcher {
public:
    InterruptWatcher(MessageQueue& queue, std::function<void()> onInterrupt);
    ~InterruptWatcher(); // stops the watcher and restores the default handling
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

private:
    void Watch();

    MessageQueue& Queue;
    std::function<void()> OnInterrupt;
    std::atomic<bool> Stopping{false};
    std::thread Watcher;
};

} // namespace quennel::cli
