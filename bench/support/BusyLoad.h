#pragma once
// Processes that spin on the processor at normal priority for the length of
// a run: the figures of a machine that has other work to do. They end with
// the run, and with the benchmark when it dies first.

#include <sys/types.h>
#include <vector>

namespace quennel::bench {

// More would be a typo, and would fill a shared machine's process table.
inline constexpr int MostBusyProcesses = 64;

class BusyLoad {
public:
    // Starts count processes; throws when one cannot be started, the ones
    // already started ended first. The kernel kills them when the calling
    // thread ends, so it is one that lives as long as the run.
    explicit BusyLoad(int count);
    ~BusyLoad() { End(); }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

    // Kills and reaps them; once ended, nothing.
    void End();

private:
    std::vector<pid_t> Children;
};

} // namespace quennel::bench
