#include "ProcessStart.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>

namespace quennel::bench {

namespace {

constexpr const char* ExecAtVariable = "QUENNEL_BENCH_EXEC_AT_NS";

long long NowNs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The 22nd field of /proc/self/stat: clock ticks from boot to the start.
// The command name before it may hold spaces and parentheses, so the fields
// are counted from the last ')'.
double KernelMsSinceStart() {
    std::ifstream stat("/proc/self/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
    }
    const double ticks = std::strtod(field.c_str(), nullptr);
    const double startMs = ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
    return static_cast<double>(NowNs(CLOCK_BOOTTIME)) / 1e6 - startMs;
}

} // namespace

void RestartToTimeStartUp(char** argv) {
    if (std::getenv(ExecAtVariable) != nullptr)
        return;
    ExecTimingStartUp(argv);
    std::fprintf(stderr, "cannot run the program again (%d); start-up timed by the kernel's clock\n", errno);
    unsetenv(ExecAtVariable);
}

void ExecTimingStartUp(char** argv) {
    const std::string execAt = std::to_string(NowNs(CLOCK_MONOTONIC));
    setenv(ExecAtVariable, execAt.c_str(), 1);
    execv("/proc/self/exe", argv);
}

double MsSinceProcessStart() {
    const char* execAt = std::getenv(ExecAtVariable);
    if (execAt == nullptr)
        return KernelMsSinceStart();
    return static_cast<double>(NowNs(CLOCK_MONOTONIC) - std::atoll(execAt)) / 1e6;
}

} // namespace quennel::bench
