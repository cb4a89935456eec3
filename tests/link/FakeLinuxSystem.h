#pragma once
// A kernel with parallel ports for tests: procfs entries, /dev/parportN
// nodes and the ppdev ioctls, with every call written to a log. Register
// ioctls are refused before the claim, as the driver does.

#include "link/LinuxSystem.h"

#include <cstdint>
#include <deque>
#include <map>
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
    std::optional<std::string> ReadTextFile(const std::string& path) override;
    std::vector<std::string> ListDirectory(const std::string& path) override;
    std::optional<FileAccess> StatFile(const std::string& path) override;
    std::optional<std::string> GroupName(uint32_t group) override;
    std::vector<uint32_t> ProcessGroups() override;

    // Lists parportN with this base address, free, with its /dev node in the
    // group 'lp' (7, mode 0660) and the port drivers among the loaded modules.
    void AddPort(int number, uint16_t base);

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

    // "open <path>", "close", "<ioctl name> [value in hex]"; reads of files are not logged.
    std::vector<std::string> Calls;
    std::set<int> OpenDescriptors;
    std::set<int> ClaimedDescriptors;

private:
    int NextDescriptor = 3;
};

} // namespace quennel::test
