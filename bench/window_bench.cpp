// The programming benchmark on the window's own code path, headless: the
// window on Qt's offscreen platform with its own core and threaded timer,
// started by its first activation, its device chosen in its list, its
// commands run by its buttons inside Qt's event loop, its dialogs answered
// as an operator would (OK, No, no file), over the simulated programmer at
// 0x378. Reports what program_bench reports, and the start-up from the
// process's start to a window ready for commands with the programmer found.
//
// Usage: window_bench [--quick | --device NAME] [--bytes N] [--trace FILE] [--no-read]
//                     [--load N] [--no-realtime | --side-by-side]
//   --quick        a 32 x 8 part (82S123) instead of the 1k x 8 82S181
//   --bytes N      only the first N bytes are 0xFF, the rest 0x00
//   --trace FILE   the bus trace on, streaming to FILE
//   --load N       N processes spin on the processor for the length of the run
//   --no-realtime  the core's real-time waits off, from the end of the start-up
//                  (whose probe still holds them once)
//   --side-by-side the run with the real-time waits and the run without, one
//                  after the other, each reported, then compared

#include "support/ProcessStart.h"
#include "support/ProgramBench.h"
#include "support/SideBySide.h"
#include "window/WindowDrive.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <filesystem>

using namespace quennel;
using namespace quennel::bench;

int main(int argc, char** argv) {
    RestartToTimeStartUp(argv);
    ProgramBenchOptions options;
    for (int i = 1; i < argc; ++i) {
        if (!ReadProgramBenchOption(argc, argv, i, options)) {
            std::fprintf(stderr, "usage: window_bench %s\n", ProgramBenchOptionsUsage);
            return 2;
        }
    }
    // Before Qt starts its threads: the runs are this program again.
    if (options.SideBySide)
        return RunSideBySide(argv, options, stdout);
    // The drive works in a scratch folder: a trace named from here goes here.
    if (!options.TracePath.empty())
        options.TracePath = std::filesystem::absolute(options.TracePath).string();

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");

    int status = 2;
    QTimer::singleShot(0, [&] {
        try {
            WindowDrive drive;
            const ProgramBenchReport report = RunProgramBench(drive, options);
            PrintReport(report, stdout);
            for (const std::string& error : drive.Answers().Errors)
                std::fprintf(stderr, "window_bench: the window reported an error: %s\n", error.c_str());
            status = report.Programmed && report.Violations == 0 && drive.Answers().Errors.empty() ? 0 : 1;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "window_bench: %s\n", error.what());
        }
        QCoreApplication::quit();
    });
    QApplication::exec();
    return status;
}
