#pragma once
// Programming, verifying and reading a part on the simulated programmer
// through the core's real threaded timer, driven through a BenchDrive, with
// what the operator waits for measured against what the physics needs.

#include "BenchDrive.h"
#include "link/RealtimeWaits.h"

#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace quennel::bench {

struct ProgramBenchOptions {
    std::string Device = "82S181"; // the part, by its caption
    int Bytes = -1;                // bytes of 0xFF from address 0, the rest 0x00; -1: the whole part
    bool ReadPass = true;          // also time a read of a whole 1k x 8 part into the buffer
    std::string TracePath;         // non-empty: the bus trace streams to this file
    std::chrono::milliseconds EventEvery{5};
    int Load = 0;            // busy processes spinning for the length of the run
    bool Realtime = true;    // the core's real-time waits wanted
    bool SideBySide = false; // run with them and without, one after the other (SideBySide.h)
};

// Minimum, median, 99th percentile, maximum and mean of a set of figures.
struct Spread {
    double Min = 0, Median = 0, P99 = 0, Max = 0, Mean = 0;
    size_t Count = 0;
};
Spread SpreadOf(std::vector<double> values);

// The longest pulse the quiet machine's goal allows: a count above it tells
// one stall from a tail.
inline constexpr double LongPulseMs = 10.5;

struct ProgramBenchReport {
    std::string Drive;
    std::string Device;
    int Cells = 0;               // cells of the part
    int Bytes = 0;               // of them programmed with 0xFF
    int FusesToBlow = 0;         // 1-bits programmed: one pulse each
    std::string StartUpName;     // what StartupMs covers: "core", "window"
    double StartupMs = 0;        // the drive's start-up: built, ready, the programmer found
    double ProcessStartupMs = 0; // the same moment, from the process's start
    double ProgramMs = 0;        // the program command: set-up, pass, pause, verify
    double ProgramFloorMs = 0;
    bool Programmed = false; // verified without a fault and the chip holds the image
    size_t Violations = 0;   // what the simulated programmer would have suffered
    Spread PulseMs;          // as the simulated programmer measured them on the wire
    size_t LongPulses = 0;   // of them longer than LongPulseMs
    bool ReadDone = false;
    int ReadCells = 0;
    double ReadMs = 0;
    double ReadSettleMs = 0;
    bool ReadMatches = false;
    Spread EventLateMs; // events posted every EventEvery while programming
    double PeakMemoryMB = 0;
    std::string TracePath;
    int Load = 0;
    bool RealtimeWanted = true;
    RealtimeGrant Realtime; // what the program run's hold got

    double ProgramRatio() const { return ProgramMs / ProgramFloorMs; }
    double ReadOverheadMs() const { return ReadMs - ReadSettleMs; }
};

// Reads the option at argv[i] (--quick, --device NAME, --bytes N, --trace
// FILE, --no-read, --load N, --no-realtime, --side-by-side) into options
// and moves i past its value; false when it is none of these or its value
// is missing or bad.
bool ReadProgramBenchOption(int argc, char** argv, int& i, ProgramBenchOptions& options);
inline constexpr const char* ProgramBenchOptionsUsage =
    "[--quick | --device NAME] [--bytes N] [--trace FILE] [--no-read]\n"
    "       [--load N] [--no-realtime | --side-by-side]";

// Runs on the calling thread, which must be the drive's message thread.
ProgramBenchReport RunProgramBench(BenchDrive& drive, const ProgramBenchOptions& options);

// The readable report, then one "<name> <value> <unit>" line per figure.
void PrintReport(const ProgramBenchReport& report, std::FILE* out);

// The process's peak resident set so far.
double PeakResidentMB();

} // namespace quennel::bench
