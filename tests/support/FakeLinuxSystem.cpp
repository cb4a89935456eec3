#include "support/FakeLinuxSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quennel::test {

namespace {

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

const char* IoctlName(unsigned long request) {
    switch (request) {
    case PPCLAIM:
        return "PPCLAIM";
    case PPRELEASE:
        return "PPRELEASE";
    case PPEXCL:
        return "PPEXCL";
    case PPDATADIR:
        return "PPDATADIR";
    case PPWDATA:
        return "PPWDATA";
    case PPRDATA:
        return "PPRDATA";
    case PPWCONTROL:
        return "PPWCONTROL";
    case PPRCONTROL:
        return "PPRCONTROL";
    case PPRSTATUS:
        return "PPRSTATUS";
    default:
        return "other";
    }
}

} // namespace

std::string FakeLinuxSystem::DevicesDirectory(int port) const {
    return "/proc/sys/dev/parport/parport" + std::to_string(port) + "/devices";
}

std::string FakeLinuxSystem::ActiveFile(int port) const {
    return DevicesDirectory(port) + "/active";
}

int FakeLinuxSystem::Open(const std::string& path, int) {
    Calls.push_back("open " + path);
    if (auto error = OpenErrors.find(path); error != OpenErrors.end())
        return -error->second;
    if (!Files.contains(path))
        return -ENOENT;
    int descriptor = NextDescriptor++;
    OpenDescriptors.insert(descriptor);
    Registration registration;
    if (path.starts_with("/dev/parport"))
        registration.Port = std::stoi(path.substr(std::string("/dev/parport").size()));
    Registrations[descriptor] = registration;
    return descriptor;
}

void FakeLinuxSystem::Close(int descriptor) {
    Calls.push_back("close");
    OpenDescriptors.erase(descriptor);
    ClaimedDescriptors.erase(descriptor);
    if (auto registration = Registrations.find(descriptor); registration != Registrations.end()) {
        Unregister(registration->second);
        Registrations.erase(registration);
    }
}

void FakeLinuxSystem::Unregister(Registration& registration) {
    if (!registration.Registered)
        return;
    const std::string name = "ppdev" + std::to_string(registration.Port);
    std::erase(Directories[DevicesDirectory(registration.Port)], name);
    if (Files[ActiveFile(registration.Port)] == name + "\n")
        Files[ActiveFile(registration.Port)] = "none\n";
    if (registration.Exclusive)
        ExclusivePorts.erase(registration.Port);
    registration.Registered = false;
}

// Registration at the first claim, as ppdev does it, then the claim itself.
int FakeLinuxSystem::Claim(int descriptor, Registration& registration) {
    const std::string name = "ppdev" + std::to_string(registration.Port);
    std::vector<std::string>& devices = Directories[DevicesDirectory(registration.Port)];
    if (!registration.Registered) {
        const bool others = std::ranges::any_of(devices, [](const std::string& d) { return d != "active"; });
        if (ExclusivePorts.contains(registration.Port) || (registration.Exclusive && others))
            return -ENXIO;
        devices.push_back(name);
        registration.Registered = true;
        if (registration.Exclusive)
            ExclusivePorts.insert(registration.Port);
    }
    std::string& active = Files[ActiveFile(registration.Port)];
    if (active != "none\n" && active != name + "\n") {
        Calls.back() += " blocked";
        return -EINTR;
    }
    active = name + "\n";
    ClaimedDescriptors.insert(descriptor);
    return 0;
}

int FakeLinuxSystem::Ioctl(int descriptor, unsigned long request, void* argument) {
    std::string call = IoctlName(request);
    auto* byte = static_cast<unsigned char*>(argument);
    if (request == PPWDATA || request == PPWCONTROL)
        call += " " + Hex(*byte);
    if (request == PPDATADIR)
        call += " " + std::to_string(*static_cast<int*>(argument));
    Calls.push_back(call);

    if (!OpenDescriptors.contains(descriptor))
        return -EBADF;
    if (auto error = IoctlErrors.find(request); error != IoctlErrors.end())
        return -error->second;
    Registration& registration = Registrations[descriptor];
    if (request == PPEXCL) {
        if (registration.Registered)
            return registration.Exclusive ? 0 : -EINVAL; // too late once registered
        registration.Exclusive = true;
        return 0;
    }
    if (request == PPCLAIM)
        return ClaimedDescriptors.contains(descriptor) ? -EINVAL : Claim(descriptor, registration);
    if (!ClaimedDescriptors.contains(descriptor))
        return -EINVAL;
    if (request == PPRELEASE) {
        ClaimedDescriptors.erase(descriptor);
        Files[ActiveFile(registration.Port)] = "none\n";
        return 0;
    }
    return RegisterAccess(request, byte);
}

bool FakeLinuxSystem::Refused(unsigned long request) {
    const int count = ++RegisterCalls[request];
    const int sameText = ++RegisterTexts[Calls.back()];
    const bool planned =
        Refuse && (Refuse->Text.empty() ? Refuse->Request == request && Refuse->Nth == count
                                        : Refuse->Text == Calls.back() && Refuse->Nth == sameText);
    if (!Gone && planned) {
        Gone = Refuse->Lasting;
        if (OnRefusal)
            OnRefusal();
    } else if (!Gone) {
        return false;
    }
    Calls.back() += " refused";
    return true;
}

int FakeLinuxSystem::RegisterAccess(unsigned long request, unsigned char* byte) {
    switch (request) {
    case PPWDATA:
    case PPRDATA:
    case PPWCONTROL:
    case PPRCONTROL:
    case PPRSTATUS:
        if (Refused(request))
            return -(Refuse ? Refuse->Error : EIO);
        break;
    default:
        return 0;
    }
    if (Programmer) {
        switch (request) {
        case PPWDATA:
            Programmer->WriteRegister(0, *byte);
            break;
        case PPWCONTROL:
            Programmer->WriteRegister(2, *byte);
            break;
        case PPRDATA:
            *byte = Programmer->ReadRegister(0);
            break;
        case PPRSTATUS:
            *byte = Programmer->ReadRegister(1);
            break;
        default:
            *byte = Programmer->ReadRegister(2);
            break;
        }
        return 0;
    }
    switch (request) {
    case PPWDATA:
        Data = *byte;
        break;
    case PPRDATA:
        *byte = Data;
        break;
    case PPWCONTROL:
        Control = *byte;
        break;
    case PPRCONTROL:
        *byte = Control;
        break;
    default:
        if (Statuses.empty()) {
            *byte = Status;
        } else {
            *byte = Statuses.front();
            Statuses.pop_front();
        }
        break;
    }
    return 0;
}

LinuxSystem::SignalSafeIoctl FakeLinuxSystem::IoctlForSignals() {
    return [](int descriptor, unsigned long request, void* argument) {
        const bool byte = request == PPWDATA || request == PPWCONTROL;
        const SignalCall call{descriptor, request, byte ? *static_cast<unsigned char*>(argument) : -1};
        if (SignalLog >= 0 && ::write(SignalLog, &call, sizeof call) != static_cast<ssize_t>(sizeof call))
            return -1;
        return 0;
    };
}

std::vector<FakeLinuxSystem::SignalCall> FakeLinuxSystem::ReadSignalCalls(int readEnd) {
    std::vector<SignalCall> calls;
    SignalCall call{};
    while (::read(readEnd, &call, sizeof call) == static_cast<ssize_t>(sizeof call))
        calls.push_back(call);
    return calls;
}

std::optional<std::string> FakeLinuxSystem::ReadTextFile(const std::string& path) {
    auto file = Files.find(path);
    if (file == Files.end())
        return std::nullopt;
    return file->second;
}

std::vector<std::string> FakeLinuxSystem::ListDirectory(const std::string& path) {
    auto directory = Directories.find(path);
    if (directory == Directories.end())
        return {};
    return directory->second;
}

std::optional<FileAccess> FakeLinuxSystem::StatFile(const std::string& path) {
    auto access = Access.find(path);
    if (access == Access.end())
        return std::nullopt;
    return access->second;
}

std::optional<std::string> FakeLinuxSystem::GroupName(uint32_t group) {
    auto name = Groups.find(group);
    if (name == Groups.end())
        return std::nullopt;
    return name->second;
}

std::vector<uint32_t> FakeLinuxSystem::ProcessGroups() {
    return OwnGroups;
}

void FakeLinuxSystem::AddPort(int number, uint16_t base) {
    std::string name = "parport" + std::to_string(number);
    std::string proc = "/proc/sys/dev/parport/" + name;
    Directories["/proc/sys/dev/parport"].push_back(name);
    // The kernel prints the base and the upper (ECP) base in decimal.
    Files[proc + "/base-addr"] = std::to_string(base) + "\t" + std::to_string(base + 0x400) + "\n";
    Files[proc + "/devices/active"] = "none\n";
    Directories[proc + "/devices"] = {"active"};
    Files["/dev/" + name] = "";
    Access["/dev/" + name] = {LpGroup, 0660};
    Groups[0] = "root";
    Groups[LpGroup] = "lp";
    Directories["/sys/module"] = {"parport", "parport_pc", "ppdev"};
}

void FakeLinuxSystem::RegisterDriver(int number, const std::string& driver, bool active) {
    Directories[DevicesDirectory(number)].push_back(driver);
    if (active)
        Files[ActiveFile(number)] = driver + "\n";
}

} // namespace quennel::test
