#include "sim/SimulatedFaults.h"

#include <charconv>

namespace quennel {

namespace {

constexpr int HighestDataLine = 7;
constexpr int HighestAddressLine = 9;

uint8_t DataLine(int line) {
    return static_cast<uint8_t>(1u << line);
}

uint16_t AddressLine(int line) {
    return static_cast<uint16_t>(1u << line);
}

} // namespace

const std::vector<SimulatedFault>& SimulatedFaults() {
    using Lines = std::array<int, 2>;
    static const std::vector<SimulatedFault> faults{
        {"unpowered", 0, 0, "the power pack is unplugged: the programmer is not found",
         [](SimulatedProgrammer& p, const Lines&) { p.Powered = false; }},
        {"stuck-fuses", 0, 0, "a part whose fuses will not blow: its verify fails",
         [](SimulatedProgrammer& p, const Lines&) { p.FusesBlow = false; }},
        {"no-ecr", 0, 0, "a port without the ECP extended control register",
         [](SimulatedProgrammer& p, const Lines&) { p.HasEcr = false; }},
        {"data-stuck-0", 1, HighestDataLine, "data output N (0-7) reads 0 and takes no programming",
         [](SimulatedProgrammer& p, const Lines& n) { p.DataStuckLow |= DataLine(n[0]); }},
        {"data-stuck-1", 1, HighestDataLine, "data output N (0-7) reads 1 and takes no programming",
         [](SimulatedProgrammer& p, const Lines& n) { p.DataStuckHigh |= DataLine(n[0]); }},
        {"address-open", 1, HighestAddressLine, "address input N (0-9) is open and floats to 0",
         [](SimulatedProgrammer& p, const Lines& n) { p.AddressOpen |= AddressLine(n[0]); }},
        {"a9-open", 0, 0, "as address-open:9: a 1k x 8 part's halves fold into one",
         [](SimulatedProgrammer& p, const Lines&) { p.AddressOpen |= AddressLine(9); }},
        {"address-stuck-1", 1, HighestAddressLine, "address input N (0-9) is held at 1",
         [](SimulatedProgrammer& p, const Lines& n) { p.AddressStuckHigh |= AddressLine(n[0]); }},
        {"data-bridge", 2, HighestDataLine, "data outputs N and M are bridged: they read as their AND",
         [](SimulatedProgrammer& p, const Lines& n) { p.DataBridges.emplace_back(n[0], n[1]); }},
    };
    return faults;
}

std::string SimulatedFaultUsageName(const SimulatedFault& fault) {
    std::string name(fault.Name);
    if (fault.Lines >= 1)
        name += ":N";
    if (fault.Lines >= 2)
        name += ":M";
    return name;
}

bool ParseSimulatedFault(std::string_view text, SimulatedFaultChoice& choice, std::string& error) {
    std::vector<std::string_view> parts;
    for (size_t from = 0;;) {
        const size_t colon = text.find(':', from);
        parts.push_back(
            text.substr(from, colon == std::string_view::npos ? std::string_view::npos : colon - from));
        if (colon == std::string_view::npos)
            break;
        from = colon + 1;
    }
    std::string quoted(1, '\'');
    quoted.append(text).push_back('\'');
    const SimulatedFault* fault = nullptr;
    for (const SimulatedFault& known : SimulatedFaults())
        if (known.Name == parts[0])
            fault = &known;
    if (!fault) {
        error = "unknown fault " + quoted + "; see --help";
        return false;
    }
    if (parts.size() != static_cast<size_t>(fault->Lines) + 1) {
        error = "fault " + quoted + " takes the form " + SimulatedFaultUsageName(*fault);
        return false;
    }
    std::array<int, 2> lines{};
    for (size_t k = 1; k < parts.size(); ++k) {
        const std::string_view number = parts[k];
        int line = -1;
        const auto [end, problem] = std::from_chars(number.data(), number.data() + number.size(), line);
        if (number.empty() || problem != std::errc() || end != number.data() + number.size()) {
            error = "fault " + quoted + ": '" + std::string(number) + "' is no line number";
            return false;
        }
        if (line < 0 || line > fault->HighestLine) {
            error = "fault " + quoted + ": line " + std::to_string(line) + " is not between 0 and " +
                    std::to_string(fault->HighestLine);
            return false;
        }
        lines[k - 1] = line;
    }
    if (fault->Lines == 2 && lines[0] == lines[1]) {
        error = "fault " + quoted + " names one line twice";
        return false;
    }
    choice = {fault, lines};
    return true;
}

} // namespace quennel
