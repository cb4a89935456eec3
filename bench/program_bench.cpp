// Programs and verifies a part full of 0xFF on the simulated programmer
// through the core's real threaded timer, reads it back, and reports the
// time against the floor the physics sets, the pulse widths on the wire,
// how late posted events ran meanwhile, the peak memory, and what the
// core's real-time waits got for the program run (the message thread's
// priority, the processor's wake-up latency held at 0).
//
// Usage: program_bench [--quick | --device NAME] [--bytes N] [--trace FILE]
//                      [--no-read] [--load N] [--no-realtime | --side-by-side]
//                      [--drive queue|cli]
//   --quick        a 32 x 8 part (82S123) instead of the 1k x 8 82S181
//   --bytes N      only the first N bytes are 0xFF, the rest 0x00
//   --trace FILE   the bus trace on, streaming to FILE
//   --load N       N processes spin on the processor for the length of the run
//   --no-realtime  the core's real-time waits off
//   --side-by-side the run with the real-time waits and the run without, one
//                  after the other, each reported, then compared
//   --drive cli    through the command line's console instead of the bare queue

#include "cli/CliConsole.h"
#include "support/ProcessStart.h"
#include "support/ProgramBench.h"
#include "support/QueueDrive.h"
#include "support/SideBySide.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <sstream>
#include <string>

using namespace quennel;
using namespace quennel::bench;

namespace {

// The command line's console and its queue, printing to nowhere.
class CliDrive : public CoreDrive {
public:
    ~CliDrive() override { EndCore(); }
    std::string Name() const override { return "cli"; }
    OperatorConsole& Console() override { return Cli; }
    void Post(std::function<void()> call) override { Cli.Queue.Post(std::move(call)); }

private:
    std::ostringstream Out, Err;
    cli::CliConsole Cli{Out, Err, false};
};

int Usage() {
    std::fprintf(stderr, "usage: program_bench %s [--drive queue|cli]\n", ProgramBenchOptionsUsage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    RestartToTimeStartUp(argv);
    ProgramBenchOptions options;
    std::string driveName = "queue";
    for (int i = 1; i < argc; ++i) {
        if (ReadProgramBenchOption(argc, argv, i, options))
            continue;
        if (std::string(argv[i]) == "--drive" && i + 1 < argc)
            driveName = argv[++i];
        else
            return Usage();
    }

    if (driveName != "queue" && driveName != "cli")
        return Usage();
    if (options.SideBySide)
        return RunSideBySide(argv, options, stdout);

    std::unique_ptr<BenchDrive> drive;
    if (driveName == "queue")
        drive = std::make_unique<QueueDrive>();
    else
        drive = std::make_unique<CliDrive>();

    try {
        const ProgramBenchReport report = RunProgramBench(*drive, options);
        PrintReport(report, stdout);
        return report.Programmed && report.Violations == 0 ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "program_bench: %s\n", error.what());
        return 2;
    }
}
