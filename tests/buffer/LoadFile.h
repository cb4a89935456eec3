#pragma once
// The one load entry point as the tests call it: a file by its name, or a
// text that a scratch file holds.

#include "TempDirectory.h"
#include "buffer/BufferFiles.h"

#include <filesystem>
#include <string>

namespace quennel::test {

inline FileOutcome LoadFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                            const std::filesystem::path& path, const ChecksumQuestion& ask = {},
                            FileSources sources = FileSources::Files) {
    LoadRequest request;
    request.DeviceEnd = deviceEnd;
    request.FileType = fileType;
    request.Ask = ask;
    request.Sources = sources;
    return LoadBufferFile(buffer, path, request);
}

inline FileOutcome LoadTextFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType, const std::string& text,
                            const ChecksumQuestion& ask = {}) {
    const TempDirectory directory;
    WriteFile(directory / "loaded", text);
    return LoadFile(buffer, deviceEnd, fileType, directory / "loaded", ask);
}

} // namespace quennel::test
