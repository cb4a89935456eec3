#include "link/LinuxSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/ioctl.h>
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
};

} // namespace

LinuxSystem& HostSystem() {
    static HostLinuxSystem system;
    return system;
}

} // namespace quennel
