#include "link/LinuxSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quennel {

namespace {

class HostLinuxSystem : public LinuxSystem {
public:
    int Open(const std::string& path, int flags) override {
        int descriptor = ::open(path.c_str(), flags | O_CLOEXEC);
        return descriptor >= 0 ? descriptor : -errno;
    }

    void Close(int descriptor) override { ::close(descriptor); }

    int Ioctl(int descriptor, unsigned long request, void* argument) override {
        return ::ioctl(descriptor, request, argument) == 0 ? 0 : -errno;
    }

    SignalSafeIoctl IoctlForSignals() override {
        return [](int descriptor, unsigned long request, void* argument) {
            return ::ioctl(descriptor, request, argument);
        };
    }

    // procfs reports a size of 0, so the file is read to its end rather than by its size.
    std::optional<std::string> ReadTextFile(const std::string& path) override {
        std::ifstream file(path);
        if (!file)
            return std::nullopt;
        std::ostringstream text;
        text << file.rdbuf();
        if (file.bad())
            return std::nullopt;
        return text.str();
    }

    std::vector<std::string> ListDirectory(const std::string& path) override {
        std::vector<std::string> names;
        std::error_code error;
        for (std::filesystem::directory_iterator entry(path, error), end; !error && entry != end;
             entry.increment(error))
            names.push_back(entry->path().filename().string());
        return names;
    }

    std::optional<FileAccess> StatFile(const std::string& path) override {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0)
            return std::nullopt;
        return FileAccess{status.st_gid, status.st_mode & 07777U};
    }

    std::optional<std::string> GroupName(uint32_t group) override {
        std::vector<char> scratch(1024);
        for (;;) {
            struct group entry {};
            struct group* found = nullptr;
            int error = ::getgrgid_r(group, &entry, scratch.data(), scratch.size(), &found);
            if (error == ERANGE && scratch.size() < (1U << 20)) {
                scratch.resize(scratch.size() * 2);
                continue;
            }
            if (error != 0 || found == nullptr)
                return std::nullopt;
            return std::string(found->gr_name);
        }
    }

    std::vector<uint32_t> ProcessGroups() override {
        std::vector<uint32_t> groups{::getegid()};
        int count = ::getgroups(0, nullptr);
        if (count <= 0)
            return groups;
        std::vector<gid_t> supplementary(static_cast<size_t>(count));
        count = ::getgroups(count, supplementary.data());
        for (int i = 0; i < count; ++i)
            groups.push_back(supplementary[static_cast<size_t>(i)]);
        return groups;
    }
};

} // namespace

LinuxSystem& HostSystem() {
    static HostLinuxSystem system;
    return system;
}

} // namespace quennel
