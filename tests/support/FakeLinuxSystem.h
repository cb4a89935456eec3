#pragma once
// A kernel with parallel ports for tests: procfs entries, /dev/parportN
// nodes and the ppdev ioctls, with every call written to a log. Register
// ioctls are refused before the claim, as the driver does. A descriptor is
// registered on its port at its first claim (as ppdevN, exclusively after
// PPEXCL) and unregistered when closed; an exclusive registration is refused
// while another driver is registered, and no driver may register beside an
// exclusive one. A claim of a port that another driver is using would sleep
// in the driver until that one lets go: here it fails with EINTR and is
// logged as "PPCLAIM blocked".

#include "link/LinuxSystem.h"
#include "sim/SimulatedProgrammer.h"

#include <cerrno>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quennel::test {

inline constexpr uint32_t LpGroup = 7;

class FakeLinuxSystem : public LinuxSystem {
public:
    int Open(const std::string& path, int flags) override;
    void Close(int descriptor) override;
    int Ioctl(int descriptor, unsigned long request, void* argument) override;
    SignalSafeIoctl IoctlForSignals() override;
    std::optional<std::string> ReadTextFile(const std::string& path) override;
    std::vector<std::string> ListDirectory(const std::string& path) override;
    std::optional<FileAccess> StatFile(const std::string& path) override;
    std::optional<std::string> GroupName(uint32_t group) override;
    std::vector<uint32_t> ProcessGroups() override;

    // Lists parportN with this base address, free, with its /dev node in the
    // group 'lp' (7, mode 0660) and the port drivers among the loaded modules.
    void AddPort(int number, uint16_t base);
    // Another driver registered on parportN (lp0 for the printer driver),
    // using the port now when active.
    void RegisterDriver(int number, const std::string& driver, bool active = false);

    std::map<std::string, std::string> Files;
    std::map<std::string, std::vector<std::string>> Directories;
    std::map<std::string, int> OpenErrors;    // path -> errno
    std::map<unsigned long, int> IoctlErrors; // request -> errno
    std::map<std::string, FileAccess> Access; // path -> group and mode; a path without one cannot be examined
    std::map<uint32_t, std::string> Groups;   // the system's groups
    std::vector<uint32_t> OwnGroups{1000};    // the groups this process holds

    // The port's registers as the ioctls see them; Statuses are read first, in order.
    unsigned char Data = 0;
    unsigned char Control = 0;
    unsigned char Status = 0;
    std::deque<unsigned char> Statuses;
    // When set, the register ioctls reach this programmer instead, as they
    // would a programmer on the port.
    SimulatedProgrammer* Programmer = nullptr;

    // A register ioctl the driver refuses: the Nth call (from 1) of Request
    // (or, when Text is given, the Nth whose log line is Text, "PPWDATA 61")
    // fails with Error and does nothing; Lasting, every register ioctl after
    // it fails too, as on a port that has gone. Refused calls are logged
    // with " refused".
    struct Refusal {
        unsigned long Request = 0;
        int Nth = 1;
        int Error = EIO;
        bool Lasting = false;
        std::string Text;
    };
    std::optional<Refusal> Refuse;
    std::function<void()> OnRefusal;            // runs at the first refused call
    std::map<unsigned long, int> RegisterCalls; // register ioctls so far, by request
    std::map<std::string, int> RegisterTexts;   // and by log line

    // The calls of IoctlForSignals' function (a crash handler's), each
    // written whole to SignalLog (a pipe's writing end, inherited by a child
    // that crashes) and answered 0; they reach nothing else. Value is the
    // byte written, -1 for a call without one.
    struct SignalCall {
        int Descriptor;
        unsigned long Request;
        int Value;
    };
    static inline int SignalLog = -1;
    // Every call written to the reading end of that pipe, until its end.
    static std::vector<SignalCall> ReadSignalCalls(int readEnd);

    // "open <path>", "close", "<ioctl name> [value in hex]"; reads of files are not logged.
    std::vector<std::string> Calls;
    std::set<int> OpenDescriptors;
    std::set<int> ClaimedDescriptors;

private:
    struct Registration {
        int Port = -1; // N of parportN
        bool Exclusive = false;
        bool Registered = false;
    };
    std::string DevicesDirectory(int port) const;
    std::string ActiveFile(int port) const;
    int Claim(int descriptor, Registration& registration);
    int RegisterAccess(unsigned long request, unsigned char* byte);
    bool Refused(unsigned long request);
    bool Gone = false; // a lasting refusal has come
    void Unregister(Registration& registration);

    std::map<int, Registration> Registrations; // descriptor -> its registration
    std::set<int> ExclusivePorts;
    int NextDescriptor = 3;
};

} // namespace quennel::test
