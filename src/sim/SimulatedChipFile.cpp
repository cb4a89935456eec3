#include "sim/SimulatedChipFile.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace quennel {

namespace {

constexpr int OpenTries = 10;
constexpr int TemporaryNameTries = 100;
constexpr int MostLinksFollowed = 40;

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

// The file a path names once its symbolic links are followed.
bool FollowLinks(std::filesystem::path& path) {
    for (int hop = 0; hop < MostLinksFollowed; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return true;
        std::error_code error;
        const std::filesystem::path target = std::filesystem::read_symlink(path, error);
        if (error)
            return false;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    errno = ELOOP;
    return false;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool WriteImage(int descriptor, const SimulatedChipFile::Image& fuses) {
    size_t done = 0;
    while (done < fuses.size()) {
        const ssize_t written =
            ::pwrite(descriptor, fuses.data() + done, fuses.size() - done, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<size_t>(written);
    }
    return ::fsync(descriptor) == 0;
}

bool ReadImage(int descriptor, SimulatedChipFile::Image& fuses) {
    size_t done = 0;
    while (done < fuses.size()) {
        const ssize_t count =
            ::pread(descriptor, fuses.data() + done, fuses.size() - done, static_cast<off_t>(done));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

} // namespace

SimulatedChipFile::~SimulatedChipFile() {
    Release();
}

void SimulatedChipFile::Release() {
    if (Descriptor >= 0)
        ::close(Descriptor);
    Descriptor = -1;
}

bool SimulatedChipFile::Open(const std::string& path, Image& fuses, std::string& error) {
    Release();
    Shown = path;
    std::filesystem::path target = path;
    if (!FollowLinks(target)) {
        error = path + ": " + ErrorText(errno);
        return false;
    }
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    struct stat folderStatus {};
    if (::stat(folder.c_str(), &folderStatus) != 0) {
        error = errno == ENOENT ? "folder " + folder.string() + " does not exist"
                                : "folder " + folder.string() + ": " + ErrorText(errno);
        return false;
    }
    if (!S_ISDIR(folderStatus.st_mode)) {
        error = folder.string() + " is not a folder";
        return false;
    }
    // The chip is saved through a new file in the folder.
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        error = "folder " + folder.string() + " is not writable, so the chip could not be saved";
        return false;
    }
    Path = target.string();
    for (int attempt = 0; attempt < OpenTries; ++attempt) {
        bool vanished = false;
        if (OpenExisting(fuses, error, vanished))
            return true;
        if (!vanished)
            return false;
        bool raced = false;
        if (CreateBlank(fuses, error, raced))
            return true;
        if (!raced)
            return false;
    }
    error = path + " keeps being replaced while it is opened";
    return false;
}

// vanished: the file is not there (or no longer the one locked); try again.
bool SimulatedChipFile::OpenExisting(Image& fuses, std::string& error, bool& vanished) {
    const int descriptor = ::open(Path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0) {
        if (errno == ENOENT)
            vanished = true;
        else if (errno == EACCES || errno == EROFS || errno == EPERM)
            error = Shown + " is read-only";
        else if (errno == EISDIR)
            error = Shown + " is a folder, not a chip image";
        else
            error = Shown + ": " + ErrorText(errno);
        return false;
    }
    auto fail = [&](const std::string& reason) {
        ::close(descriptor);
        error = reason;
        return false;
    };
    struct stat opened {};
    if (::fstat(descriptor, &opened) != 0)
        return fail(Shown + ": " + ErrorText(errno));
    if (!S_ISREG(opened.st_mode))
        return fail(Shown + " is not a regular file");
    if ((opened.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return fail(Shown + " is read-only");
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? Shown + " is in use by another quennel process"
                                         : Shown + ": " + ErrorText(errno));
    // Its owner may have saved it, replacing the file, while we waited to
    // lock: only the file that stands under the name now counts.
    struct stat named {};
    if (::stat(Path.c_str(), &named) != 0 || !SameFile(named, opened)) {
        ::close(descriptor);
        vanished = true;
        return false;
    }
    if (opened.st_size != SimulatedChipSize)
        return fail(Shown + " holds " + std::to_string(opened.st_size) + " bytes, a chip image holds " +
                    std::to_string(SimulatedChipSize));
    Image image{};
    if (!ReadImage(descriptor, image))
        return fail(Shown + " could not be read: " + ErrorText(errno));
    fuses = image;
    Descriptor = descriptor;
    return true;
}

// A missing file becomes a blank chip at once, so that it can be locked.
// raced: someone else created it meanwhile; try again.
bool SimulatedChipFile::CreateBlank(Image& fuses, std::string& error, bool& raced) {
    const Image blank{};
    std::string temporary;
    const int descriptor = WriteBeside(blank, nullptr, temporary, error);
    if (descriptor < 0)
        return false;
    // link() never replaces a file that appeared since we looked.
    int result = ::link(temporary.c_str(), Path.c_str());
    if (result != 0 && errno != EEXIST)
        result = ::rename(temporary.c_str(), Path.c_str());
    const int linkError = errno;
    ::unlink(temporary.c_str());
    if (result != 0) {
        ::close(descriptor);
        if (linkError == EEXIST)
            raced = true;
        else
            error = Shown + " could not be created: " + ErrorText(linkError);
        return false;
    }
    fuses = blank;
    Descriptor = descriptor;
    return true;
}

// A new file of a name nobody uses yet beside the chip, written, on disk
// and locked; O_EXCL never follows a link planted under that name.
int SimulatedChipFile::WriteBeside(const Image& fuses, const struct stat* old, std::string& temporary,
                                   std::string& error) {
    int descriptor = -1;
    for (int attempt = 0; attempt < TemporaryNameTries && descriptor < 0; ++attempt) {
        temporary = Path + ".saving" + (attempt == 0 ? "" : std::to_string(attempt));
        descriptor = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor < 0 && errno != EEXIST)
            break;
    }
    if (descriptor < 0) {
        error = Shown + " could not be saved: " + ErrorText(errno);
        return -1;
    }
    if (old) {
        if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid()) &&
            ::fchown(descriptor, old->st_uid, old->st_gid) != 0) {
            // Only the superuser may give a file away; otherwise it stays ours.
        }
        ::fchmod(descriptor, old->st_mode & 07777);
    }
    if (!WriteImage(descriptor, fuses) || ::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        error = Shown + " could not be saved: " + ErrorText(errno);
        ::close(descriptor);
        ::unlink(temporary.c_str());
        return -1;
    }
    return descriptor;
}

bool SimulatedChipFile::Save(const Image& fuses, std::string& error) {
    if (Descriptor < 0) {
        error = Shown + " is not open";
        return false;
    }
    struct stat old {};
    if (::fstat(Descriptor, &old) != 0) {
        error = Shown + " could not be saved: " + ErrorText(errno);
        return false;
    }
    std::string temporary;
    const int descriptor = WriteBeside(fuses, &old, temporary, error);
    if (descriptor < 0)
        return false;
    // The new file is locked before it takes the name, so the chip is never
    // without its lock.
    if (::rename(temporary.c_str(), Path.c_str()) != 0) {
        error = Shown + " could not be saved: " + ErrorText(errno);
        ::close(descriptor);
        ::unlink(temporary.c_str());
        return false;
    }
    ::close(Descriptor);
    Descriptor = descriptor;
    return true;
}

} // namespace quennel
