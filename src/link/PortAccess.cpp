#include "link/PortAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <system_error>
#include <vector>

namespace quennel {

namespace {

constexpr const char* ModuleDirectory = "/sys/module";
constexpr uint32_t GroupReadWrite = 0060;

bool ModuleLoaded(LinuxSystem& system, const std::string& name) {
    std::vector<std::string> modules = system.ListDirectory(ModuleDirectory);
    return std::ranges::find(modules, name) != modules.end();
}

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lX", value);
    return text;
}

std::string Octal(uint32_t mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

std::string PermissionLine(LinuxSystem& system, const KernelParport& port) {
    const std::string node = port.DevicePath();
    const std::string refused = node + " exists but cannot be opened";
    std::optional<FileAccess> access = system.StatFile(node);
    if (!access)
        return refused + ": permission denied";
    std::optional<std::string> name = system.GroupName(access->Group);
    const std::string group = Quoted(name ? *name : std::to_string(access->Group));
    // A node that only root may use: joining its group would not help.
    if (access->Group == 0 || (access->Mode & GroupReadWrite) != GroupReadWrite)
        return refused + ": only root may use it (group " + group + ", mode " + Octal(access->Mode) +
               "); run as root, or give it to the group 'lp' with mode 0660 (a udev rule)";
    std::vector<uint32_t> held = system.ProcessGroups();
    if (std::ranges::find(held, access->Group) != held.end())
        return refused + " although you are in its group " + group + ": permission denied";
    return refused + ": add yourself to the group " + group + " that owns it (sudo usermod -aG " +
           (name ? *name : std::to_string(access->Group)) + " $USER), then log in again";
}

std::string NoNodeLine(LinuxSystem& system, const KernelParport& port) {
    if (!ModuleLoaded(system, "ppdev"))
        return "No parallel port device: the kernel has " + port.Name() + " but there is no " +
               port.DevicePath() + "; load the ppdev module (sudo modprobe ppdev)";
    return "No parallel port device: the ppdev module is loaded but " + port.DevicePath() +
           " was not made; check that udev is running";
}

std::string NoPortLine(LinuxSystem& system) {
    if (!ModuleLoaded(system, "parport_pc"))
        return "No parallel port found: load the parport_pc and ppdev modules "
               "(sudo modprobe -a parport_pc ppdev)";
    return "No parallel port found: the parport_pc driver found no printer port on this machine";
}

std::string NoneAtLine(std::span<const uint16_t> bases, const std::vector<KernelParport>& ports) {
    std::string wanted;
    for (size_t i = 0; i < bases.size(); ++i)
        wanted += (i == 0 ? "" : i + 1 == bases.size() ? " or " : ", ") + Hex(bases[i]);
    std::string found;
    for (const KernelParport& port : ports)
        found += (found.empty() ? "" : ", ") + port.Name() + " at " + Hex(port.Base);
    return "No parallel port at " + wanted + ": the kernel has " + found + " only";
}

} // namespace

PortAccessProblem DescribeOpenFailure(LinuxSystem& system, const KernelParport& port, int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return {port.Name() + ": permission denied", PermissionLine(system, port)};
    case ENOENT: // no node: udev makes it only once ppdev is loaded
        return {port.Name() + ": ppdev not loaded", NoNodeLine(system, port)};
    case ENXIO: // a node without a driver behind it
    case ENODEV:
        return {port.Name() + ": ppdev not loaded",
                "No parallel port device: " + port.DevicePath() +
                    " has no driver behind it; load the ppdev module (sudo modprobe ppdev)"};
    case EBUSY:
        return {port.Name() + ": busy", port.DevicePath() + " is busy: another program is using the port"};
    default: {
        std::string reason = std::generic_category().message(error);
        return {port.Name() + ": " + reason, port.DevicePath() + " cannot be opened: " + reason};
    }
    }
}

std::optional<PortAccessProblem> DescribeHeldPort(LinuxSystem& system, const KernelParport& port) {
    const std::vector<std::string> drivers = ParportDrivers(system, port);
    if (drivers.empty())
        return std::nullopt;
    std::string names;
    for (const std::string& driver : drivers)
        names += (names.empty() ? "" : ", ") + driver;
    const std::string brief = port.Name() + ": held by " + names;
    auto named = [&](std::string_view prefix) {
        return std::ranges::any_of(drivers, [&](const std::string& d) { return d.starts_with(prefix); });
    };
    // The printer driver registers on every port when it is loaded, printing or not.
    if (named("lp"))
        return PortAccessProblem{brief, port.Name() + " is held by the printer driver (" + names +
                                            "): unload it with sudo modprobe -r lp, then try again"};
    if (named("ppdev"))
        return PortAccessProblem{brief, port.Name() + " is in use by another program (" + names +
                                            "), perhaps another quennel: end it, then try again"};
    return PortAccessProblem{brief, port.Name() + " is held by another driver (" + names +
                                        "): unload it, then try again"};
}

std::optional<std::string> FindPortAccessProblem(LinuxSystem& system, std::span<const uint16_t> bases) {
    std::vector<KernelParport> ports = ListParports(system);
    if (ports.empty())
        return NoPortLine(system);
    std::optional<std::string> first;
    bool anyAtBases = false;
    for (uint16_t base : bases) {
        auto port = std::ranges::find(ports, static_cast<unsigned long>(base), &KernelParport::Base);
        if (port == ports.end())
            continue;
        anyAtBases = true;
        int descriptor = system.Open(port->DevicePath(), O_RDWR);
        std::optional<PortAccessProblem> problem;
        if (descriptor >= 0) {
            system.Close(descriptor);
            problem = DescribeHeldPort(system, *port);
            if (!problem)
                return std::nullopt;
        } else {
            problem = DescribeOpenFailure(system, *port, -descriptor);
        }
        if (!first)
            first = problem->Line;
    }
    if (!anyAtBases)
        return NoneAtLine(bases, ports);
    return first;
}

} // namespace quennel
