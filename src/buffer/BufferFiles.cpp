#include "buffer/BufferFiles.h"

#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"
#include "buffer/SafeFileWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <system_error>
#include <unistd.h>

namespace quennel {

namespace {

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

FileOutcome NotLoaded(FileProblem problem, std::string detail, int line = 0) {
    FileOutcome outcome{true, FileNotLoadedStatus, problem, std::move(detail), line, -1};
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
    if (report.Problem != LoadProblem::None)
        outcome = NotLoaded(ProblemOf(report.Problem), report.Detail, report.Line);
    else
        outcome.Status = doneStatus;
    outcome.LastAddress = report.LastAddress;
    return outcome;
}

std::string NoRecordFormat(int32_t fileType) {
    return "file type " + std::to_string(fileType) + " has no record format";
}

FileOutcome NotSaved(std::string detail) {
    FileOutcome outcome{true, FileNotSavedStatus, FileProblem::CannotWrite, std::move(detail), 0, -1};
    return outcome;
}

FileOutcome SaveImage(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                      const std::filesystem::path& path, std::string_view doneStatus) {
    std::ostringstream image;
    if (!WriteBufferImage(buffer, deviceEnd, fileType, image))
        return NotSaved(NoRecordFormat(fileType));
    std::string reason;
    if (!WriteFileSafely(path, image.view(), reason))
        return NotSaved(reason);
    FileOutcome outcome;
    outcome.Status = doneStatus;
    return outcome;
}

} // namespace

FileBytes ReadBufferFile(const std::filesystem::path& path) {
    FileBytes file;
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        file.Detail = ErrorText(errno);
        return file;
    }
    char block[1 << 16];
    for (;;) {
        const ssize_t count = ::read(descriptor, block, sizeof block);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            file.Detail = ErrorText(errno);
            break;
        }
        if (count == 0) {
            file.Read = true;
            break;
        }
        if (file.Bytes.size() + static_cast<size_t>(count) > LargestBufferFile) {
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

FileOutcome LoadBufferImage(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view bytes,
                            const ChecksumQuestion& ask) {
    if (fileType == BinaryFileType)
        return Loaded(ReadBinaryImage(buffer, bytes), {});
    return Loaded(ReadHexText(buffer, deviceEnd, fileType, bytes, ask), HexFileLoadedStatus);
}

FileOutcome LoadBinaryFile(DataImage& buffer, const std::filesystem::path& path) {
    const FileBytes file = ReadBufferFile(path);
    if (!file.Read)
        return NotLoaded(FileProblem::CannotRead, file.Detail);
    return Loaded(ReadBinaryImage(buffer, file.Bytes), {});
}

FileOutcome LoadHexFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path, const ChecksumQuestion& ask) {
    const FileBytes file = ReadBufferFile(path);
    if (!file.Read)
        return NotLoaded(FileProblem::CannotRead, file.Detail);
    return Loaded(ReadHexText(buffer, deviceEnd, fileType, file.Bytes, ask), HexFileLoadedStatus);
}

FileOutcome SaveBinaryFile(const DataImage& buffer, int32_t deviceEnd, const std::filesystem::path& path) {
    return SaveImage(buffer, deviceEnd, BinaryFileType, path, {});
}

FileOutcome SaveHexFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path) {
    if (fileType == BinaryFileType)
        return NotSaved(NoRecordFormat(fileType));
    return SaveImage(buffer, deviceEnd, fileType, path, HexFileSavedStatus);
}

std::string_view StatusBeforeLoad(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : LoadingHexFileStatus;
}

std::string_view StatusBeforeSave(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : SavingHexFileStatus;
}

FileOutcome LoadBufferFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path, const ChecksumQuestion& ask) {
    if (fileType == BinaryFileType)
        return LoadBinaryFile(buffer, path);
    return LoadHexFile(buffer, deviceEnd, fileType, path, ask);
}

FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path) {
    if (fileType == BinaryFileType)
        return SaveBinaryFile(buffer, deviceEnd, path);
    return SaveHexFile(buffer, deviceEnd, fileType, path);
}

} // namespace quennel
