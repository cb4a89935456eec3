#include "buffer/BufferFiles.h"

#include "buffer/BufferReaders.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"
#include "buffer/SafeFileWrite.h"

#include <fstream>
#include <sstream>

namespace quennel {

namespace {

FileOutcome LoadOutcome(bool read, std::string_view doneStatus) {
    return read ? FileOutcome{false, doneStatus} : FileOutcome{true, FileNotLoadedStatus};
}

FileOutcome SaveImage(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                      const std::filesystem::path& path, std::string_view doneStatus) {
    std::ostringstream image;
    const bool saved =
        WriteBufferImage(buffer, deviceEnd, fileType, image) && WriteFileReplacing(path, image.view());
    return saved ? FileOutcome{false, doneStatus} : FileOutcome{true, FileNotSavedStatus};
}

} // namespace

FileOutcome LoadBinaryFile(DataImage& buffer, const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return LoadOutcome(file.is_open() && ReadBinaryImage(buffer, file), {});
}

FileOutcome LoadHexFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path) {
    // The stream closes as the conversion error leaves this scope.
    std::ifstream file(path, std::ios::binary);
    return LoadOutcome(file.is_open() && ReadHexText(buffer, deviceEnd, fileType, file), HexFileLoadedStatus);
}

FileOutcome SaveBinaryFile(const DataImage& buffer, int32_t deviceEnd, const std::filesystem::path& path) {
    return SaveImage(buffer, deviceEnd, BinaryFileType, path, {});
}

FileOutcome SaveHexFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path) {
    if (fileType == BinaryFileType)
        return {true, FileNotSavedStatus};
    return SaveImage(buffer, deviceEnd, fileType, path, HexFileSavedStatus);
}

std::string_view StatusBeforeLoad(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : LoadingHexFileStatus;
}

std::string_view StatusBeforeSave(int32_t fileType) {
    return fileType == BinaryFileType ? std::string_view{} : SavingHexFileStatus;
}

FileOutcome LoadBufferFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path) {
    if (fileType == BinaryFileType)
        return LoadBinaryFile(buffer, path);
    return LoadHexFile(buffer, deviceEnd, fileType, path);
}

FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path) {
    if (fileType == BinaryFileType)
        return SaveBinaryFile(buffer, deviceEnd, path);
    return SaveHexFile(buffer, deviceEnd, fileType, path);
}

} // namespace quennel
