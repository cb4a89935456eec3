#pragma once
// The drive of the core's own benchmark: the screenless queue console, with
// the calling thread as the message thread.

#include "CoreDrive.h"
#include "core/QueueConsole.h"

namespace quennel::bench {

class QueueDrive : public CoreDrive {
public:
    ~QueueDrive() override { EndCore(); }
    std::string Name() const override { return "queue"; }
    OperatorConsole& Console() override { return Screenless; }
    void Post(std::function<void()> call) override { Screenless.PostToMessageThread(std::move(call)); }

private:
    QueueConsole Screenless;
};

} // namespace quennel::bench
