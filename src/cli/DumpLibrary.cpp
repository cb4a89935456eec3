#include "cli/DumpLibrary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>
#include <zip.h>

namespace quennel::cli {

namespace {

constexpr int64_t ProgressEvery = 64; // entries between two progress calls

std::string ErrnoText(int error) {
    return std::strerror(error);
}

bool IsArchiveName(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string extension = name.substr(name.size() - 4);
    std::ranges::transform(extension, extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".zip";
}

class LibraryWalk {
public:
    LibraryWalk(size_t imageSize, LibraryVisitor& visitor, LibraryTally& tally)
        : Size(imageSize), Visitor(visitor), Tally(tally), Bytes(imageSize + 1) {}

    bool Run(const std::string& root, std::string& problem);

private:
    void Skip(const std::string& where, const std::string& reason) {
        ++Tally.Skipped;
        Visitor.Skipped(where, reason);
    }
    void Counted() {
        if (++Entries % ProgressEvery == 0)
            Visitor.Progress(Tally);
    }
    // True when the folder is walked for the first time.
    bool FirstVisit(const struct stat& folder) { return Walked.emplace(folder.st_dev, folder.st_ino).second; }

    void Entry(const std::string& path, const struct stat& info, std::vector<std::string>& folders);
    void WalkFolder(const std::string& folder, std::vector<std::string>& folders);
    void ReadPlainFile(const std::string& path);
    void ReadArchive(const std::string& path);

    const size_t Size;
    LibraryVisitor& Visitor;
    LibraryTally& Tally;
    std::vector<uint8_t> Bytes; // one byte more than an image, to see a file that grew
    std::set<std::pair<dev_t, ino_t>> Walked;
    int64_t Entries = 0;
};

bool LibraryWalk::Run(const std::string& root, std::string& problem) {
    std::string start = root;
    while (start.size() > 1 && start.back() == '/')
        start.pop_back();
    struct stat info {};
    if (::stat(start.c_str(), &info) != 0) {
        problem = ErrnoText(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
        problem = "neither a folder nor a file";
        return false;
    }
    std::vector<std::string> pending;
    Entry(start, info, pending);
    // Depth first, in name order: the folders found are pushed last first.
    while (!pending.empty()) {
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        std::vector<std::string> found;
        WalkFolder(folder, found);
        pending.insert(pending.end(), std::make_move_iterator(found.rbegin()),
                       std::make_move_iterator(found.rend()));
    }
    Visitor.Progress(Tally);
    return true;
}

void LibraryWalk::Entry(const std::string& path, const struct stat& info, std::vector<std::string>& folders) {
    Counted();
    if (S_ISDIR(info.st_mode)) {
        // A second way into a folder (a link to a parent, say) is not taken.
        if (FirstVisit(info))
            folders.push_back(path);
    } else if (S_ISREG(info.st_mode)) {
        if (IsArchiveName(path)) {
            ReadArchive(path);
        } else {
            ++Tally.Files;
            if (static_cast<uint64_t>(info.st_size) == Size)
                ReadPlainFile(path);
        }
    }
    // FIFOs, devices and sockets hold no dumps; they are never opened.
}

void LibraryWalk::WalkFolder(const std::string& folder, std::vector<std::string>& folders) {
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        Skip(folder, ErrnoText(errno));
        return;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    const int readError = errno;
    ::closedir(directory);
    if (readError != 0)
        Skip(folder, ErrnoText(readError));
    std::ranges::sort(names);
    const std::string prefix = folder == "/" ? folder : folder + "/";
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat info {};
        // Through links: a link that leads nowhere, or round in a circle, is unreadable.
        if (::stat(path.c_str(), &info) != 0) {
            Skip(path, ErrnoText(errno));
            continue;
        }
        Entry(path, info, folders);
    }
}

void LibraryWalk::ReadPlainFile(const std::string& path) {
    // Not blocking: a FIFO put in the file's place since it was looked at is not waited on.
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0) {
        Skip(path, ErrnoText(errno));
        return;
    }
    struct stat info {};
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(file);
        return;
    }
    size_t done = 0;
    int readError = 0;
    while (done < Bytes.size()) {
        const ssize_t got = ::read(file, Bytes.data() + done, Bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            readError = errno;
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    ::close(file);
    if (readError != 0)
        Skip(path, ErrnoText(readError));
    else if (done != Size)
        Skip(path, "changed size while it was read");
    else {
        ++Tally.Images;
        Visitor.Image(path, std::span<const uint8_t>(Bytes.data(), Size));
    }
}

void LibraryWalk::ReadArchive(const std::string& path) {
    ++Tally.Archives;
    int openError = 0;
    // Read-only, and discarded at the end: libzip never writes the archive back.
    zip_t* archive = ::zip_open(path.c_str(), ZIP_RDONLY, &openError);
    if (!archive) {
        zip_error_t error;
        ::zip_error_init_with_code(&error, openError);
        Skip(path, ::zip_error_strerror(&error));
        ::zip_error_fini(&error);
        return;
    }
    std::string problem;
    const zip_int64_t members = ::zip_get_num_entries(archive, 0);
    for (zip_int64_t index = 0; index < members && problem.empty(); ++index) {
        zip_stat_t member;
        if (::zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &member) != 0) {
            problem = ::zip_strerror(archive);
            break;
        }
        std::string name = "#";
        if (member.valid & ZIP_STAT_NAME)
            name = member.name;
        else
            name += std::to_string(index);
        if (name.ends_with('/'))
            continue; // a folder inside the archive
        ++Tally.Members;
        Counted();
        if (!(member.valid & ZIP_STAT_SIZE) || member.size != Size)
            continue;
        if ((member.valid & ZIP_STAT_ENCRYPTION_METHOD) && member.encryption_method != ZIP_EM_NONE) {
            problem = name + " is encrypted";
            break;
        }
        zip_file_t* file = ::zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
        if (!file) {
            problem = name + ": " + ::zip_strerror(archive);
            break;
        }
        // Read to the end, where libzip checks the member's CRC.
        size_t done = 0;
        while (problem.empty() && done < Bytes.size()) {
            const zip_int64_t got = ::zip_fread(file, Bytes.data() + done, Bytes.size() - done);
            if (got < 0)
                problem = name + ": " + ::zip_file_strerror(file);
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        ::zip_fclose(file);
        if (problem.empty() && done != Size)
            problem = name + ": holds " + std::to_string(done) + " bytes, not the " + std::to_string(Size) +
                      " its archive says";
        if (problem.empty()) {
            ++Tally.Images;
            Visitor.Image(path + ":" + name, std::span<const uint8_t>(Bytes.data(), Size));
        }
    }
    ::zip_discard(archive);
    // One line for the archive; what it gave before the fault stands.
    if (!problem.empty())
        Skip(path, problem);
}

} // namespace

bool ScanDumpLibrary(const std::string& root, size_t imageSize, LibraryVisitor& visitor, LibraryTally& tally,
                     std::string& problem) {
    LibraryWalk walk(imageSize, visitor, tally);
    return walk.Run(root, problem);
}

} // namespace quennel::cli
