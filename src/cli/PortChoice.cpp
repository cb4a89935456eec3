#include "cli/PortChoice.h"

#include "link/Detection.h"
#include "link/ParportLookup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace quennel::cli {

namespace {

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// "0x" and one to four hex digits.
std::optional<uint16_t> HexBase(const std::string& text) {
    if (!text.starts_with("0x") || text.size() < 3 || text.size() > 6)
        return std::nullopt;
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::string KnownPorts(const std::vector<KernelParport>& ports) {
    if (ports.empty())
        return "the kernel lists no port";
    std::string known = "the kernel lists ";
    for (size_t i = 0; i < ports.size(); ++i) {
        char base[16];
        std::snprintf(base, sizeof base, "0x%lX", ports[i].Base);
        known += (i == 0 ? "" : ", ") + ports[i].DevicePath() + " at " + base;
    }
    return known;
}

} // namespace

std::optional<PortChoice> ChoosePort(LinuxSystem& system, const std::string& name, std::string& error) {
    const std::string port = Lower(name);
    if (port.empty())
        return PortChoice{};
    if (port == "sim")
        return PortChoice{true, std::nullopt};
    const std::vector<KernelParport> ports = ListParports(system);
    if (std::optional<uint16_t> base = HexBase(port)) {
        const bool standard = std::ranges::find(CandidatePorts, *base) != CandidatePorts.end();
        const bool listed =
            std::ranges::find(ports, static_cast<unsigned long>(*base), &KernelParport::Base) != ports.end();
        if (standard || listed)
            return PortChoice{false, *base};
    }
    for (const KernelParport& listed : ports)
        if (port == listed.DevicePath() && listed.Base <= 0xFFFF)
            return PortChoice{false, static_cast<uint16_t>(listed.Base)};
    error = "unknown port '" + name +
            "'; use 0x278, 0x378, 0x3BC, sim, or a port the kernel lists by its base "
            "or its /dev/parportN (" +
            KnownPorts(ports) + ")";
    return std::nullopt;
}

} // namespace quennel::cli
