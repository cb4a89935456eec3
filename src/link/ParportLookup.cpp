#include "link/ParportLookup.h"

#include <algorithm>
#include <charconv>

namespace quennel {

namespace {

constexpr std::string_view PortPrefix = "parport";

// N for a directory named parportN; nothing for any other name (default, ...).
std::optional<int> PortNumberOf(std::string_view name) {
    if (!name.starts_with(PortPrefix) || name.size() == PortPrefix.size())
        return std::nullopt;
    std::string_view digits = name.substr(PortPrefix.size());
    int number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || number < 0)
        return std::nullopt;
    return number;
}

} // namespace

std::string KernelParport::Name() const {
    return std::string(PortPrefix) + std::to_string(Number);
}
std::string KernelParport::DevicePath() const {
    return "/dev/" + Name();
}
std::string KernelParport::ProcDirectory() const {
    return std::string(ParportProcDirectory) + "/" + Name();
}

std::optional<unsigned long> ParseBaseAddress(std::string_view text) {
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return std::nullopt;
    const char* first = text.data() + start;
    const char* last = text.data() + text.size();
    unsigned long base = 0;
    auto [end, error] = std::from_chars(first, last, base);
    if (error != std::errc() || end == first)
        return std::nullopt;
    // The number must end at a separator, not run into other text ("888x").
    if (end != last && *end != '\t' && *end != ' ' && *end != '\n')
        return std::nullopt;
    return base;
}

std::vector<KernelParport> ListParports(LinuxSystem& system) {
    std::vector<KernelParport> ports;
    for (const std::string& name : system.ListDirectory(ParportProcDirectory)) {
        std::optional<int> number = PortNumberOf(name);
        if (!number)
            continue;
        KernelParport port{*number};
        std::optional<std::string> entry = system.ReadTextFile(port.ProcDirectory() + "/base-addr");
        std::optional<unsigned long> base = entry ? ParseBaseAddress(*entry) : std::nullopt;
        if (!base)
            continue;
        port.Base = *base;
        ports.push_back(port);
    }
    std::ranges::sort(ports, {}, &KernelParport::Number);
    return ports;
}

std::vector<uint16_t> ListParportBases(LinuxSystem& system) {
    std::vector<uint16_t> bases;
    for (const KernelParport& port : ListParports(system))
        if (port.Base <= 0xFFFF && std::ranges::find(bases, port.Base) == bases.end())
            bases.push_back(static_cast<uint16_t>(port.Base));
    return bases;
}

std::optional<KernelParport> FindParport(LinuxSystem& system, uint16_t base) {
    for (const KernelParport& port : ListParports(system))
        if (port.Base == base)
            return port;
    return std::nullopt;
}

std::vector<std::string> ParportDrivers(LinuxSystem& system, const KernelParport& port) {
    std::vector<std::string> drivers = system.ListDirectory(port.ProcDirectory() + "/devices");
    // Beside one entry per driver the kernel keeps "active", the one using the port now.
    std::erase(drivers, std::string("active"));
    return drivers;
}

} // namespace quennel
