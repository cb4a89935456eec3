#pragma once
// What a benchmark drives the core through: a console and the message loop
// behind it. The core's own benchmark drives it through a screenless console
// and its queue; a front end's benchmark brings its own console and loop.

#include "core/OperatorConsole.h"

#include <functional>
#include <string>

namespace quennel::bench {

class BenchDrive {
public:
    virtual ~BenchDrive() = default;

    // Named in the report: "queue", "cli", ...
    virtual std::string Name() const = 0;
    // The console the core is built with; its message thread is the one
    // that calls Run.
    virtual OperatorConsole& Console() = 0;
    // Queues call for the message thread; returns at once, from any thread.
    virtual void Post(std::function<void()> call) = 0;
    // Runs command on the message thread as a command handler runs there,
    // and returns when it has ended.
    virtual void Run(const std::function<void()>& command) = 0;
};

} // namespace quennel::bench
