#include "SideBySide.h"

#include "ProcessStart.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quennel::bench {

namespace {

struct Run {
    bool Succeeded = false;
    std::string Failure; // how it ended, when it failed
    // The report's "<name> <value> <unit>" lines.
    std::map<std::string, double> Figures;
};

// argv without --side-by-side, and with --no-realtime for the run without.
std::vector<char*> ArgumentsOf(char** argv, bool realtime) {
    static char noRealtime[] = "--no-realtime";
    std::vector<char*> arguments;
    for (char** argument = argv; *argument != nullptr; ++argument)
        if (std::strcmp(*argument, "--side-by-side") != 0)
            arguments.push_back(*argument);
    if (!realtime)
        arguments.push_back(noRealtime);
    arguments.push_back(nullptr);
    return arguments;
}

std::map<std::string, double> FiguresOf(const std::string& text) {
    std::map<std::string, double> figures;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, unit, more;
        double value = 0;
        if (fields >> name >> value >> unit && !(fields >> more))
            figures[name] = value;
    }
    return figures;
}

std::string FailureOf(int status) {
    if (WIFEXITED(status))
        return "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return "killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) +
               ")";
    return "ended with wait status " + std::to_string(status);
}

// The child's standard output comes through a pipe, copied to out as it
// comes and kept for its figures; its standard error is the bench's own.
Run RunChild(std::vector<char*> arguments, std::FILE* out) {
    Run run;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        run.Failure = std::string("no pipe: ") + std::strerror(errno);
        return run;
    }
    std::fflush(out);
    std::fflush(stderr);
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child == 0) {
        // The run dies with the bench, and its busy processes with it.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
            _exit(127);
        if (dup2(ends[1], STDOUT_FILENO) < 0)
            _exit(127);
        ExecTimingStartUp(arguments.data());
        std::fprintf(stderr, "cannot run the benchmark again: %s\n", std::strerror(errno));
        _exit(127);
    }
    close(ends[1]);
    if (child < 0) {
        run.Failure = std::string("no child: ") + std::strerror(errno);
        close(ends[0]);
        return run;
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(ends[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        std::fwrite(buffer, 1, static_cast<size_t>(got), out);
        text.append(buffer, static_cast<size_t>(got));
    }
    close(ends[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.Succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.Succeeded)
        run.Failure = FailureOf(status);
    run.Figures = FiguresOf(text);
    return run;
}

// "<with> vs <without>" to digits, "-" for a run that lacks the figure.
std::string Pair(const Run& with, const Run& without, const std::string& name, int digits) {
    const auto figure = [&](const Run& run) {
        const auto found = run.Figures.find(name);
        if (found == run.Figures.end())
            return std::string("-");
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", digits, found->second);
        return std::string(text);
    };
    return figure(with) + " vs " + figure(without);
}

} // namespace

int RunSideBySide(char** argv, const ProgramBenchOptions& options, std::FILE* out) {
    if (!options.Realtime) {
        std::fprintf(stderr, "--side-by-side runs without the real-time waits itself: no --no-realtime\n");
        return 2;
    }
    if (!options.TracePath.empty()) {
        std::fprintf(stderr, "--side-by-side takes no --trace: both runs would write the one file\n");
        return 2;
    }
    struct Leg {
        const char* Name;
        bool Realtime;
    };
    const Leg legs[] = {{"realtime", true}, {"no-realtime", false}};
    std::vector<Run> runs;
    for (const Leg& leg : legs) {
        std::fprintf(out, "run %s\n", leg.Name);
        runs.push_back(RunChild(ArgumentsOf(argv, leg.Realtime), out));
        if (!runs.back().Succeeded)
            std::fprintf(out, "run %s failed: %s\n", leg.Name, runs.back().Failure.c_str());
        std::fprintf(out, "\n");
    }
    const Run& with = runs[0];
    const Run& without = runs[1];
    std::fprintf(out, "With vs without the real-time waits, load %d:\n", options.Load);
    std::fprintf(out, "  program ratio %s\n", Pair(with, without, "program_ratio", 4).c_str());
    std::fprintf(out, "  pulses p99 %s ms, max %s ms, over %.1f ms %s\n",
                 Pair(with, without, "pulse_p99", 3).c_str(), Pair(with, without, "pulse_max", 3).c_str(),
                 LongPulseMs, Pair(with, without, "pulse_long", 0).c_str());
    return with.Succeeded && without.Succeeded ? 0 : 1;
}

} // namespace quennel::bench
