#pragma once
// What the command line asked for, as parsed, and the exit statuses it ends with.

#include <string>
#include <vector>

namespace quennel::cli {

struct CliOptions {
    std::string Command; // devices, detect, read, blank, verify, compare, program, checksum, convert,
                         // identify
    std::string File;    // FILE, or IN of convert; identify's may be empty: the part is read
    std::string Output;  // OUT of convert
    std::string Device;  // a Device caption, any case
    std::string Type;    // bin, intel, motorola, ascii; empty: by name or first record
    std::string Port;    // sim, a base (0x378, 0xD010) or /dev/parportN; empty: search every real port
    std::string SimChip;
    std::string SimModel = "2";
    std::vector<std::string> SimFaults; // faults of the simulated bench, each as a fault name takes it
    std::string Trace;
    std::string Library;  // identify's collection of dumps
    std::string Identify; // read's collection of dumps, searched after the read
    bool Quiet = false;
    bool IgnoreChecksums = false; // load records whose checksum does not match
    bool NoCompare = false;       // program without the program-over compare first
};

enum ExitStatus : int {
    ExitOk = 0,
    ExitDeviceFailed = 1, // not blank, did not verify or program, cannot be programmed over, no programmer,
                          // no dump identical
    ExitBadUsage = 2,     // also a file that cannot be read, loaded or written
    ExitPortFailed = 2,   // the port's driver refused a register access
};

// A run stopped by a signal (Ctrl-C, SIGTERM, SIGHUP) ends as the shell
// would report the signal itself, after cleaning up.
inline int ExitForSignal(int signal) {
    return 128 + signal;
}

} // namespace quennel::cli
