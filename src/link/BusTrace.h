#pragma once
// A record of everything the program does on the I/O bus: one line per
// register access ("<us> W 0378 A5") and one per port-library call
// ("<us> # EnablePorts 0378 037A"). Microseconds count on a monotonic clock
// from the moment the trace was created, which is when the back-end is.
//
// The lines stream to a file through a buffer, so that a trace of any length
// costs the same little memory and the waits between accesses no more than
// a copy into that buffer. Only a trace made to keep them (for tests) holds
// its events and lines in memory.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
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
    enum Keeping { StreamOnly, KeepInMemory };

    explicit BusTrace(Keeping keeping = StreamOnly);
    // Writes out what the buffer still holds and closes the file.
    ~BusTrace();
    BusTrace(const BusTrace&) = delete;
    BusTrace& operator=(const BusTrace&) = delete;

    // Appends each line to path from now on (the lines kept in memory so far
    // first); false, with the reason in WriteProblem, when it cannot be
    // created. The file is brought up to date at every port-library call
    // (opening and closing the port are such calls), at least every quarter
    // second while accesses go on, and when the trace ends.
    bool WriteTo(const std::string& path);
    // Brings the file up to date now.
    void Flush();
    // Brings the file up to date if an access would soon do so: for a moment
    // with time to spare (a wait), so that the write to the file falls there
    // and not in the middle of the work (a programming pulse).
    void FlushIfDueSoon();
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

    // What was kept in memory: nothing unless made with KeepInMemory.
    const std::vector<BusEvent>& Events() const { return Recorded; }
    std::vector<std::string> Lines() const { return Text; }
    static std::string Format(const BusEvent& event, const std::vector<int>& widths = {});
    // Forgets what was kept in memory; the file keeps every line.
    void Clear();

private:
    void Access(BusEvent::Kind what, uint16_t address, uint8_t value);
    void Stream(const char* line, size_t length, int64_t microseconds);
    // Writes the buffered lines to the file.
    void WriteBuffered();
    int64_t Now() const;

    const bool Keep;
    std::chrono::steady_clock::time_point Origin;
    std::vector<BusEvent> Recorded;
    std::vector<std::string> Text;
    std::unique_ptr<char[]> FileBuffer; // lines not yet in the file
    size_t FileBuffered = 0;
    std::FILE* File = nullptr;
    std::string Problem;   // the first failure to write the file
    int64_t FlushedAt = 0; // microseconds
};

} // namespace quennel
