// How long WaitDelay of 10 ms really takes, against bare timed waits of the
// standard library, interleaved in one run so that all see the same machine.
// Usage: wait_delay_bench [waits]   (default 500)

#include "core/QueueConsole.h"
#include "link/DelayTimer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace quennel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int DelayMs = 10;
constexpr double AskedUs = DelayMs * 1000.0;

template <typename Wait> double TimeUs(Wait wait) {
    const auto start = Clock::now();
    wait();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

struct Summary {
    double Min, Median, P99, Max;
    int Short; // waits that ended before the time asked
};

Summary Summarise(std::vector<double> us) {
    std::sort(us.begin(), us.end());
    const auto at = [&](double q) { return us[static_cast<size_t>(q * static_cast<double>(us.size() - 1))]; };
    const int shortWaits =
        static_cast<int>(std::count_if(us.begin(), us.end(), [](double v) { return v < AskedUs; }));
    return {us.front(), at(0.5), at(0.99), us.back(), shortWaits};
}

void Print(const char* name, const Summary& s) {
    std::printf("%-26s %9.3f %9.3f %9.3f %9.3f %6d\n", name, s.Min / 1000, s.Median / 1000, s.P99 / 1000,
                s.Max / 1000, s.Short);
}

} // namespace

int main(int argc, char** argv) {
    const int waits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;

    SharedState state;
    QueueConsole console;
    DelayTimer timer(state, console);
    std::mutex lock;
    std::condition_variable never;

    std::vector<double> delay, sleep, condition;
    for (int i = 0; i < waits; ++i) {
        delay.push_back(TimeUs([&] {
            state.DelayMs = DelayMs;
            timer.WaitDelay();
        }));
        sleep.push_back(TimeUs([] { std::this_thread::sleep_for(std::chrono::milliseconds(DelayMs)); }));
        condition.push_back(TimeUs([&] {
            std::unique_lock guard(lock);
            never.wait_for(guard, std::chrono::milliseconds(DelayMs), [] { return false; });
        }));
    }

    const Summary d = Summarise(delay), s = Summarise(sleep), c = Summarise(condition);
    std::printf("%d waits of %d ms each, times in ms\n", waits, DelayMs);
    std::printf("%-26s %9s %9s %9s %9s %6s\n", "", "min", "median", "p99", "max", "short");
    Print("WaitDelay", d);
    Print("sleep_for", s);
    Print("condition_variable", c);
    std::printf("ratio of medians WaitDelay/sleep_for %.4f, WaitDelay/condition_variable %.4f\n",
                d.Median / s.Median, d.Median / c.Median);
    const double overshoot = d.Median - AskedUs;
    std::printf(
        "median overshoot of WaitDelay: %.3f ms (goal <= 0.05 ms: %s); of the bare waits: %.3f and %.3f ms\n",
        overshoot / 1000, overshoot <= 50 ? "met" : "missed", (s.Median - AskedUs) / 1000,
        (c.Median - AskedUs) / 1000);
    std::printf("waits shorter than asked: %d (goal 0: %s)\n", d.Short + s.Short + c.Short,
                d.Short == 0 ? "met for WaitDelay" : "MISSED for WaitDelay");
    return d.Short == 0 ? 0 : 1;
}
