#pragma once
// The file that keeps a simulated chip's fuses across runs: exactly 1024
// bytes, one per cell. While a program holds it open, the file is locked:
// a second program that wants the same chip is turned away at once, so the
// fuses one run blows are never lost to another run's save. Everything that
// could stop the chip from being saved (a read-only file, a missing or
// unwritable folder) is found when the file is opened, before any pass.

#include "sim/SimulatedProgrammer.h"

#include <array>
#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace quennel {

class SimulatedChipFile {
public:
    using Image = std::array<uint8_t, SimulatedChipSize>;

    SimulatedChipFile() = default;
    ~SimulatedChipFile(); // releases the file
    SimulatedChipFile(const SimulatedChipFile&) = delete;
    SimulatedChipFile& operator=(const SimulatedChipFile&) = delete;

    // Opens and locks path (its symbolic links followed) and reads the chip
    // into fuses. A missing file is a blank chip, and is created blank at
    // once so that it can be locked. On failure returns false with a
    // one-line reason ("chip.bin is in use by another quennel process") and
    // leaves fuses as they were.
    bool Open(const std::string& path, Image& fuses, std::string& error);

    // Writes fuses to the file through a new file beside it, renamed over it
    // once complete, so a failure never leaves a torn chip; the lock stays.
    bool Save(const Image& fuses, std::string& error);

    // Unlocks and closes the file; Save is not possible afterwards.
    void Release();

    bool IsOpen() const { return Descriptor >= 0; }

private:
    bool OpenExisting(Image& fuses, std::string& error, bool& vanished);
    bool CreateBlank(Image& fuses, std::string& error, bool& raced);
    int WriteBeside(const Image& fuses, const struct stat* old, std::string& temporary, std::string& error);

    std::string Path;  // the file itself, links followed
    std::string Shown; // the name as the operator gave it, for messages
    int Descriptor = -1;
};

} // namespace quennel
