#include "buffer/SafeFileWrite.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

namespace quennel {

namespace {

constexpr int TemporaryNameTries = 100;

struct OpenedFile {
    std::FILE* Handle = nullptr;
    std::filesystem::path Path;
};

// A file of a name nobody uses yet, beside path; "x" keeps us from writing
// into a file that someone else has just made.
OpenedFile CreateTemporaryBeside(const std::filesystem::path& path) {
    const std::string base = path.filename().string() + ".saving";
    for (int attempt = 0; attempt < TemporaryNameTries; ++attempt) {
        std::filesystem::path candidate = path;
        candidate.replace_filename(attempt == 0 ? base : base + std::to_string(attempt));
        if (std::FILE* handle = std::fopen(candidate.c_str(), "wbx"))
            return {handle, candidate};
        if (errno != EEXIST)
            break;
    }
    return {};
}

// A saved file keeps the permissions of the one it replaces.
void CopyPermissions(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    const std::filesystem::file_status old = std::filesystem::status(from, error);
    if (!error && std::filesystem::is_regular_file(old))
        std::filesystem::permissions(to, old.permissions(), error);
}

} // namespace

bool WriteFileReplacing(const std::filesystem::path& path, std::string_view contents) {
    if (!path.has_filename())
        return false;
    OpenedFile file = CreateTemporaryBeside(path);
    if (!file.Handle)
        return false;
    bool written = std::fwrite(contents.data(), 1, contents.size(), file.Handle) == contents.size();
    written = std::fflush(file.Handle) == 0 && written;
    written = std::fclose(file.Handle) == 0 && written;

    std::error_code error;
    if (written) {
        CopyPermissions(path, file.Path);
        std::filesystem::rename(file.Path, path, error);
    }
    if (!written || error) {
        std::filesystem::remove(file.Path, error);
        return false;
    }
    return true;
}

} // namespace quennel
