#include "buffer/BufferFiles.h"

#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"
#include "buffer/SafeFileWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace quennel {

namespace {

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

FileOutcome NotLoaded(FileProblem problem, std::string detail, int line = 0) {
    FileOutcome outcome{true, FileNotLoadedStatus, problem, std::move(detail), line, -1, 0};
    return outcome;
}

FileProblem ProblemOf(LoadProblem problem) {
    switch (problem) {
    case LoadProblem::NoData:
        return FileProblem::NoData;
    case LoadProblem::ChecksumRefused:
        return FileProblem::ChecksumRefused;
    case LoadProblem::MoreThanDevice:
        return FileProblem::MoreThanDevice;
    case LoadProblem::None:
        break;
    }
    return FileProblem::None;
}

FileOutcome Loaded(const LoadReport& report, std::string_view doneStatus) {
    FileOutcome outcome;
    if (report.Problem != LoadProblem::None) {
        outcome = NotLoaded(ProblemOf(report.Problem), report.Detail, report.Line);
    } else {
        outcome.Status = doneStatus;
        if (report.LastAddress >= BufferSize)
            outcome.Detail = PastBufferNote(report.LastAddress);
    }
    outcome.LastAddress = report.LastAddress;
    return outcome;
}

FileOutcome NotSaved(std::string detail) {
    FileOutcome outcome{true, FileNotSavedStatus, FileProblem::CannotWrite, std::move(detail), 0, -1, 0};
    return outcome;
}

// A file read whole into memory, once: pipes and FIFOs can be read only once.
struct FileBytes {
    bool Read = false;
    std::string Bytes;
    FileProblem Problem = FileProblem::None; // why it could not be read
    std::string Detail;
};

// What a file that is none is, in the operator's words.
std::string WhatItIs(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode))
        return "a character device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

FileBytes ReadWholeFile(const std::filesystem::path& path, FileSources sources) {
    FileBytes file;
    // Opening a FIFO waits for its writer; where only files will do, the open
    // must not wait, so that the check below can refuse it.
    const int flags = O_RDONLY | O_CLOEXEC | (sources == FileSources::Files ? O_NONBLOCK : 0);
    const int descriptor = ::open(path.c_str(), flags);
    if (descriptor < 0) {
        file.Problem = FileProblem::CannotRead;
        file.Detail = ErrorText(errno);
        return file;
    }
    struct stat status {};
    if (sources == FileSources::Files && ::fstat(descriptor, &status) == 0 && !S_ISREG(status.st_mode) &&
        !S_ISBLK(status.st_mode) && !S_ISDIR(status.st_mode)) {
        ::close(descriptor);
        file.Problem = FileProblem::NotAFile;
        file.Detail = "it is " + WhatItIs(status.st_mode) + ", not a file that ends; save it to a file first";
        return file;
    }
    char block[1 << 16];
    for (;;) {
        const ssize_t count = ::read(descriptor, block, sizeof block);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            file.Problem = FileProblem::CannotRead;
            file.Detail = ErrorText(errno);
            break;
        }
        if (count == 0) {
            file.Read = true;
            break;
        }
        if (file.Bytes.size() + static_cast<size_t>(count) > LargestBufferFile) {
            file.Problem = FileProblem::CannotRead;
            file.Detail = "it holds more than " + std::to_string(LargestBufferFile >> 20) +
                          " MiB, far more than any buffer file";
            break;
        }
        file.Bytes.append(block, static_cast<size_t>(count));
    }
    ::close(descriptor);
    if (!file.Read)
        file.Bytes.clear();
    return file;
}

} // namespace

FileOutcome LoadBufferFile(DataImage& buffer, const std::filesystem::path& path, const LoadRequest& request) {
    const FileBytes file = ReadWholeFile(path, request.Sources);
    if (!file.Read)
        return NotLoaded(file.Problem, file.Detail);
    int32_t fileType = request.FileType;
    if (request.TellType) {
        std::string reason;
        const std::optional<int32_t> told = request.TellType(file.Bytes, reason);
        if (!told)
            return NotLoaded(FileProblem::UnknownFormat, reason);
        fileType = *told;
    }
    if (request.BeforeLoading)
        request.BeforeLoading(fileType);
    // The file goes into a copy, which becomes the buffer only when all of
    // it has loaded: a conversion error thrown half-way leaves no trace.
    DataImage loaded = buffer;
    FileOutcome outcome =
        fileType == BinaryFileType
            ? Loaded(ReadBinaryImage(loaded, file.Bytes), {})
            : Loaded(ReadHexText(loaded, request.DeviceEnd, fileType, file.Bytes, request.Ask), HexFileLoadedStatus);
    outcome.FileType = fileType;
    if (!outcome.Fault)
        buffer = loaded;
    return outcome;
}

FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path) {
    std::ostringstream image;
    if (!WriteBufferImage(buffer, deviceEnd, fileType, image))
        return NotSaved("file type " + std::to_string(fileType) + " has no record format");
    std::string reason;
    if (!WriteFileSafely(path, image.view(), reason))
        return NotSaved(reason);
    FileOutcome outcome;
    outcome.Status = fileType == BinaryFileType ? std::string_view{} : HexFileSavedStatus;
    outcome.FileType = fileType;
    return outcome;
}

std::string_view StatusBeforeLoad(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : LoadingHexFileStatus;
}

std::string_view StatusBeforeSave(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : SavingHexFileStatus;
}

} // namespace quennel
