#pragma once
// The few Linux system calls the parallel-port back-end makes, behind one
// narrow seam so that tests can stand in for a kernel with ports attached.
// Failures come back as a negative errno, never through the global errno.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quennel {

// Who may open a file: its group and its permission bits (0660).
struct FileAccess {
    uint32_t Group = 0;
    uint32_t Mode = 0;
};

class LinuxSystem {
public:
    virtual ~LinuxSystem() = default;

    // A file descriptor, or -errno.
    virtual int Open(const std::string& path, int flags) = 0;
    virtual void Close(int descriptor) = 0;
    // 0, or -errno.
    virtual int Ioctl(int descriptor, unsigned long request, void* argument) = 0;
    // The same call for a signal handler: a plain function that makes the
    // call and nothing else (no allocation, no lock); 0 or non-zero.
    using SignalSafeIoctl = int (*)(int descriptor, unsigned long request, void* argument);
    virtual SignalSafeIoctl IoctlForSignals() = 0;

    // The whole text of a small file (procfs entries), or nothing when it cannot be read.
    virtual std::optional<std::string> ReadTextFile(const std::string& path) = 0;
    // The names in a directory; empty when it cannot be listed.
    virtual std::vector<std::string> ListDirectory(const std::string& path) = 0;

    // Group and permission bits of a file, or nothing when it cannot be examined.
    virtual std::optional<FileAccess> StatFile(const std::string& path) = 0;
    // The name of a group, or nothing when the system has no such group.
    virtual std::optional<std::string> GroupName(uint32_t group) = 0;
    // The groups this process holds now: its effective group and the supplementary ones.
    virtual std::vector<uint32_t> ProcessGroups() = 0;
};

// The running kernel.
LinuxSystem& HostSystem();

} // namespace quennel
