#include "console/logic/SimOptions.h"

#include <charconv>

namespace quennel {

namespace {

// The value of an option given as "--name VALUE" or "--name=VALUE".
bool TakeValue(const std::vector<std::string>& arguments, size_t& i, const std::string& name,
               std::string& value, bool& matched, std::string& error) {
    const std::string& argument = arguments[i];
    matched = false;
    if (argument == name) {
        matched = true;
        if (i + 1 >= arguments.size()) {
            error = name + " needs a value";
            return false;
        }
        value = arguments[++i];
    } else if (argument.starts_with(name + "=")) {
        matched = true;
        value = argument.substr(name.size() + 1);
    } else {
        return true;
    }
    if (value.empty()) {
        error = name + " needs a value";
        return false;
    }
    return true;
}

// A port base in hex with its 0x, whose three registers fit the I/O space.
bool ParseBase(const std::string& value, uint16_t& base) {
    if (!value.starts_with("0x") && !value.starts_with("0X"))
        return false;
    unsigned parsed = 0;
    const char* last = value.data() + value.size();
    auto [end, error] = std::from_chars(value.data() + 2, last, parsed, 16);
    if (error != std::errc() || end != last || end == value.data() + 2 || parsed < 0x100 || parsed > 0xFFFC)
        return false;
    base = static_cast<uint16_t>(parsed);
    return true;
}

} // namespace

bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions& options, std::string& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.Help = true;
            continue;
        }
        if (argument == "--version") {
            options.Version = true;
            continue;
        }
        if (argument == "--absent") {
            options.Absent = true;
            continue;
        }
        std::string value;
        bool matched = false;
        if (!TakeValue(arguments, i, "--chip", value, matched, error))
            return false;
        if (matched) {
            options.ChipFile = value;
            continue;
        }
        if (!TakeValue(arguments, i, "--trace", value, matched, error))
            return false;
        if (matched) {
            options.TraceFile = value;
            continue;
        }
        if (!TakeValue(arguments, i, "--model", value, matched, error))
            return false;
        if (matched) {
            if (value != "1" && value != "2") {
                error = "--model takes 1 (the older model) or 2 (the current one), not '" + value + "'";
                return false;
            }
            options.Model = value == "1" ? 1 : 2;
            continue;
        }
        if (!TakeValue(arguments, i, "--base", value, matched, error))
            return false;
        if (matched) {
            if (!ParseBase(value, options.Base)) {
                error = "--base takes a port base in hex from 0x100 to 0xFFFC, such as 0xD010, not '" +
                        value + "'";
                return false;
            }
            continue;
        }
        if (!TakeValue(arguments, i, "--fault", value, matched, error))
            return false;
        if (matched) {
            SimulatedFaultChoice fault;
            if (!ParseSimulatedFault(value, fault, error))
                return false;
            options.Faults.push_back(fault);
            continue;
        }
        error = "unknown option '" + argument + "'; see --help";
        return false;
    }
    return true;
}

std::string SimUsage() {
    std::string text = "Usage: quennel-sim [OPTIONS]\n"
                       "\n"
                       "The Quennel window over a simulated programmer on the printer port at 0x378\n"
                       "(or --base), with a simulated fuse PROM in its socket: the safe way to try\n"
                       "the program.\n"
                       "The socket always holds a part of the width of the device chosen.\n"
                       "\n"
                       "Options:\n"
                       "  --chip FILE     the simulated chip: a 1024-byte image kept between runs,\n"
                       "                  locked while in use, created blank when missing\n"
                       "                  (default quennel-sim-chip.bin in the current folder)\n"
                       "  --model 1|2     the programmer's model: 1 the older, 2 the current (default 2)\n"
                       "  --absent        no programmer on any port\n"
                       "  --base ADDR     the programmer's port base in hex (default 0x378); another\n"
                       "                  than 0x278, 0x378 or 0x3BC is a port card, found after them\n"
                       "  --trace FILE    write every register access to FILE\n"
                       "  --fault NAME    put a fault on the bench (may be given more than once):\n";
    for (const SimulatedFault& fault : SimulatedFaults()) {
        std::string name = SimulatedFaultUsageName(fault);
        name.resize(19, ' ');
        text += "    " + name + std::string(fault.Description) + "\n";
    }
    text += "  --help          show this text\n"
            "  --version       show the version\n";
    return text;
}

} // namespace quennel
