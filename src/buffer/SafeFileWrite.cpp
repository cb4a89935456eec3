#include "buffer/SafeFileWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quennel {

namespace {

constexpr int TemporaryNameTries = 100;
constexpr int MostLinksFollowed = 40;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

// Fails with the reason of the last system call.
bool Failed(std::string& reason) {
    reason = ErrorText(errno);
    return false;
}

// The file a path names once its symbolic links are followed.
bool FollowLinks(std::filesystem::path& path, std::string& reason) {
    for (int hop = 0; hop < MostLinksFollowed; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return true;
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error) {
            reason = error.message();
            return false;
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    reason = ErrorText(ELOOP);
    return false;
}

bool WriteAll(int descriptor, std::string_view contents) {
    while (!contents.empty()) {
        const ssize_t written = ::write(descriptor, contents.data(), contents.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        contents.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

// Closes the descriptor and reports the first failure of the write, the
// flush to disk or the close.
bool FinishWrite(int descriptor, bool written, bool flush, std::string& reason) {
    int error = written ? 0 : errno;
    if (!error && flush && ::fsync(descriptor) != 0 && errno != EINVAL)
        error = errno;
    if (::close(descriptor) != 0 && !error && errno != EINTR)
        error = errno;
    if (!error)
        return true;
    reason = ErrorText(error);
    return false;
}

// A device, a FIFO, or a file that other names share.
bool WriteInPlace(const std::filesystem::path& path, bool regular, std::string_view contents,
                  std::string& reason) {
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (descriptor < 0)
        return Failed(reason);
    if (regular && !contents.empty()) {
        const int error = ::fallocate(descriptor, 0, 0, static_cast<off_t>(contents.size())) == 0 ? 0 : errno;
        if (error && error != EOPNOTSUPP && error != ENOSYS) {
            ::close(descriptor);
            reason = ErrorText(error);
            return false;
        }
    }
    bool written = WriteAll(descriptor, contents);
    if (written && regular)
        written = ::ftruncate(descriptor, static_cast<off_t>(contents.size())) == 0;
    return FinishWrite(descriptor, written, regular, reason);
}

// A new file beside path, of a name nobody uses yet. O_EXCL never follows a
// link planted under that name, nor writes into a file someone else made.
int CreateTemporaryBeside(const std::filesystem::path& path, std::filesystem::path& temporary) {
    const std::string base = path.filename().string() + ".saving";
    for (int attempt = 0; attempt < TemporaryNameTries; ++attempt) {
        temporary = path;
        temporary.replace_filename(attempt == 0 ? base : base + std::to_string(attempt));
        const int descriptor =
            ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    errno = EEXIST;
    return -1;
}

bool ReplaceFile(const std::filesystem::path& path, const struct stat* old, std::string_view contents,
                 std::string& reason) {
    std::filesystem::path temporary;
    const int descriptor = CreateTemporaryBeside(path, temporary);
    if (descriptor < 0)
        return Failed(reason);
    if (old) {
        // The owner first: giving a file away clears its set-id bits.
        if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
            ::fchown(descriptor, old->st_uid, old->st_gid) != 0) {
            // Only the superuser may give a file away; otherwise it stays ours.
        }
        ::fchmod(descriptor, old->st_mode & 07777);
    }
    const bool written = WriteAll(descriptor, contents);
    if (!FinishWrite(descriptor, written, true, reason) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        if (reason.empty())
            reason = ErrorText(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

bool WriteFileSafely(const std::filesystem::path& path, std::string_view contents, std::string& reason) {
    reason.clear();
    std::filesystem::path target = path;
    if (!FollowLinks(target, reason))
        return false;
    struct stat status {};
    const bool exists = ::stat(target.c_str(), &status) == 0;
    if ((exists && S_ISDIR(status.st_mode)) || !target.has_filename()) {
        reason = ErrorText(EISDIR);
        return false;
    }
    if (exists && (!S_ISREG(status.st_mode) || status.st_nlink > 1))
        return WriteInPlace(target, S_ISREG(status.st_mode), contents, reason);
    return ReplaceFile(target, exists ? &status : nullptr, contents, reason);
}

} // namespace quennel
