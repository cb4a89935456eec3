#pragma once
// Ctrl-C, SIGTERM and SIGHUP for the command line, each time alike: the
// running operation is asked to stop at its next cell, so that a pulse in
// flight runs its full time, the programmer is left idle, the port given
// back and the simulated chip saved before the program ends. The handler
// only notes the signal and wakes a watcher thread, which posts onStop to
// the message queue; the operation runs it at its next message pump.

#include "core/MessageQueue.h"

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

namespace quennel::cli {

class StopSignals {
public:
    StopSignals(MessageQueue& queue, std::function<void()> onStop);
    ~StopSignals(); // puts back the handling found, then stops the watcher
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first signal that came, or 0.
    int Raised() const;

private:
    void Watch();

    MessageQueue& Queue;
    std::function<void()> OnStop;
    struct sigaction Previous[3]{};
    std::thread Watcher;
};

} // namespace quennel::cli
