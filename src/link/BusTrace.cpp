#include "link/BusTrace.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace quennel {

namespace {
std::string ErrorText(int error) {
    return std::generic_category().message(error);
}
} // namespace

BusTrace::BusTrace() : Origin(std::chrono::steady_clock::now()) {}

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
    for (const auto& line : Text)
        WriteLine(line);
    return true;
}

// A line that does not get there is noted once; the trace goes on in memory.
void BusTrace::WriteLine(const std::string& line) {
    if (!File || !Problem.empty())
        return;
    if (std::fputs(line.c_str(), File) < 0 || std::fputc('\n', File) == EOF)
        Problem = ErrorText(errno);
}

std::string BusTrace::CloseFile() {
    if (File) {
        if (std::fflush(File) != 0 && Problem.empty())
            Problem = ErrorText(errno);
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

void BusTrace::Write(uint16_t address, uint8_t value) {
    Add({Now(), BusEvent::Kind::Write, address, value, {}, {}}, {});
}

void BusTrace::Read(uint16_t address, uint8_t value) {
    Add({Now(), BusEvent::Kind::Read, address, value, {}, {}}, {});
}

void BusTrace::Call(const std::string& name, std::vector<uint32_t> arguments, std::vector<int> widths) {
    Add({Now(), BusEvent::Kind::Call, 0, 0, name, std::move(arguments)}, widths);
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

void BusTrace::Add(BusEvent event, const std::vector<int>& widths) {
    Text.push_back(Format(event, widths));
    WriteLine(Text.back());
    Recorded.push_back(std::move(event));
}

std::vector<std::string> BusTrace::Lines() const {
    return Text;
}

void BusTrace::Clear() {
    Recorded.clear();
    Text.clear();
}

} // namespace quennel
