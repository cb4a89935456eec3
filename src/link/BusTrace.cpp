#include "link/BusTrace.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace quennel {

namespace {

constexpr size_t FileBufferSize = 64 * 1024;
constexpr int64_t FlushEveryUs = 250'000;
constexpr int64_t FlushSoonUs = 200'000;
constexpr char HexDigit[] = "0123456789ABCDEF";

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

char* PutHex(char* at, unsigned value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        *at++ = HexDigit[(value >> shift) & 0xF];
    return at;
}

} // namespace

BusTrace::BusTrace(Keeping keeping)
    : Keep(keeping == KeepInMemory), Origin(std::chrono::steady_clock::now()) {}

BusTrace::~BusTrace() {
    CloseFile();
}

bool BusTrace::WriteTo(const std::string& path) {
    CloseFile();
    Problem.clear();
    File = std::fopen(path.c_str(), "w");
    if (!File) {
        Problem = ErrorText(errno);
        return false;
    }
    // The lines gather in the trace's own buffer and go to the file a
    // buffer at a time: an access costs a copy, not a call into the file's
    // locked buffer.
    std::setvbuf(File, nullptr, _IONBF, 0);
    if (!FileBuffer)
        FileBuffer = std::make_unique<char[]>(FileBufferSize);
    FileBuffered = 0;
    for (const auto& line : Text)
        Stream(line.data(), line.size(), 0);
    Flush();
    FlushedAt = Now();
    return Problem.empty();
}

// A failure to write is noted once; the trace goes on without the file.
void BusTrace::Flush() {
    if (!File)
        return;
    WriteBuffered();
    if (Problem.empty() && std::fflush(File) != 0)
        Problem = ErrorText(errno);
}

void BusTrace::FlushIfDueSoon() {
    if (!File || FileBuffered == 0)
        return;
    const int64_t now = Now();
    if (now - FlushedAt >= FlushSoonUs) {
        Flush();
        FlushedAt = now;
    }
}

void BusTrace::WriteBuffered() {
    const size_t length = FileBuffered;
    FileBuffered = 0;
    if (length > 0 && Problem.empty() && std::fwrite(FileBuffer.get(), 1, length, File) != length)
        Problem = ErrorText(errno);
}

std::string BusTrace::CloseFile() {
    if (File) {
        Flush();
        if (std::fclose(File) != 0 && Problem.empty())
            Problem = ErrorText(errno);
        File = nullptr;
    }
    return Problem;
}

int64_t BusTrace::Now() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - Origin)
        .count();
}

// The hot path: a line is put together by hand, without allocating, unless
// it is to be kept.
void BusTrace::Access(BusEvent::Kind what, uint16_t address, uint8_t value) {
    const int64_t us = Now();
    char line[40];
    char* at = std::to_chars(line, line + 20, us).ptr;
    *at++ = ' ';
    *at++ = what == BusEvent::Kind::Write ? 'W' : 'R';
    *at++ = ' ';
    at = PutHex(at, address, 4);
    *at++ = ' ';
    at = PutHex(at, value, 2);
    const size_t length = static_cast<size_t>(at - line);
    if (Keep) {
        Recorded.push_back({us, what, address, value, {}, {}});
        Text.emplace_back(line, length);
    }
    Stream(line, length, us);
}

void BusTrace::Write(uint16_t address, uint8_t value) {
    Access(BusEvent::Kind::Write, address, value);
}

void BusTrace::Read(uint16_t address, uint8_t value) {
    Access(BusEvent::Kind::Read, address, value);
}

void BusTrace::Call(const std::string& name, std::vector<uint32_t> arguments, std::vector<int> widths) {
    BusEvent event{Now(), BusEvent::Kind::Call, 0, 0, name, std::move(arguments)};
    std::string line = Format(event, widths);
    Stream(line.data(), line.size(), event.Microseconds);
    // A call opens or closes the port, or touches its mode: what a crash
    // report most needs, so it is on disk at once.
    Flush();
    if (Keep) {
        Recorded.push_back(std::move(event));
        Text.push_back(std::move(line));
    }
}

void BusTrace::Stream(const char* line, size_t length, int64_t microseconds) {
    if (!File || !Problem.empty())
        return;
    if (FileBuffered + length + 1 > FileBufferSize) {
        WriteBuffered();
        // A line longer than the buffer (a call with very many arguments)
        // goes to the file by itself.
        if (length + 1 > FileBufferSize) {
            if (Problem.empty() &&
                (std::fwrite(line, 1, length, File) != length || std::fputc('\n', File) == EOF))
                Problem = ErrorText(errno);
            return;
        }
    }
    std::memcpy(FileBuffer.get() + FileBuffered, line, length);
    FileBuffered += length;
    FileBuffer[FileBuffered++] = '\n';
    if (microseconds - FlushedAt >= FlushEveryUs) {
        Flush();
        FlushedAt = microseconds;
    }
}

std::string BusTrace::Format(const BusEvent& event, const std::vector<int>& widths) {
    char buffer[64];
    std::string line = std::to_string(event.Microseconds);
    switch (event.What) {
    case BusEvent::Kind::Write:
    case BusEvent::Kind::Read:
        std::snprintf(buffer, sizeof buffer, " %c %04X %02X", event.What == BusEvent::Kind::Write ? 'W' : 'R',
                      event.Address, event.Value);
        line += buffer;
        break;
    case BusEvent::Kind::Call:
        line += " # " + event.Call;
        for (size_t i = 0; i < event.Arguments.size(); ++i) {
            int width = i < widths.size() ? widths[i] : 0;
            std::snprintf(buffer, sizeof buffer, " %0*X", width, event.Arguments[i]);
            line += buffer;
        }
        break;
    }
    return line;
}

void BusTrace::Clear() {
    Recorded.clear();
    Text.clear();
}

} // namespace quennel
