#pragma once
// A record of everything the program does on the I/O bus: one line per
// register access ("<us> W 0378 A5") and one per port-library call
// ("<us> # EnablePorts 0378 037A"). Microseconds count on a monotonic clock
// from the moment the trace was created, which is when the back-end is.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quennel {

struct BusEvent {
    enum class Kind { Write, Read, Call };
    int64_t Microseconds = 0;
    Kind What = Kind::Write;
    uint16_t Address = 0;            // Write, Read
    uint8_t Value = 0;               // Write, Read
    std::string Call;                // Call: its name
    std::vector<uint32_t> Arguments; // Call: its arguments
};

class BusTrace {
public:
    BusTrace();
    ~BusTrace();
    BusTrace(const BusTrace&) = delete;
    BusTrace& operator=(const BusTrace&) = delete;

    // Also appends each line to path as it happens; false, with the reason
    // in WriteProblem, when it cannot be created.
    bool WriteTo(const std::string& path);
    // Writes out what is still held back and closes the file. Returns the
    // first failure to write it ("No space left on device"), or an empty
    // text when every line got there.
    std::string CloseFile();
    const std::string& WriteProblem() const { return Problem; }

    void Write(uint16_t address, uint8_t value);
    void Read(uint16_t address, uint8_t value);
    // Addresses are given with the widths they print with: 4 hex digits for
    // a 16-bit address, otherwise as few as the value needs.
    void Call(const std::string& name, std::vector<uint32_t> arguments = {}, std::vector<int> widths = {});

    const std::vector<BusEvent>& Events() const { return Recorded; }
    std::vector<std::string> Lines() const;
    static std::string Format(const BusEvent& event, const std::vector<int>& widths = {});
    void Clear();

private:
    void Add(BusEvent event, const std::vector<int>& widths);
    void WriteLine(const std::string& line);
    int64_t Now() const;

    std::chrono::steady_clock::time_point Origin;
    std::vector<BusEvent> Recorded;
    std::vector<std::string> Text;
    std::FILE* File = nullptr;
    std::string Problem;
};

} // namespace quennel
