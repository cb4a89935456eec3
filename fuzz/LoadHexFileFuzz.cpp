// Feeds arbitrary bytes as a buffer file to the loaders: the first byte picks
// the device end, the rest is the file, loaded once for every file type.
// The buffer lives alone on the heap so that any byte stored outside it hits
// the address sanitizer; a conversion error is an expected way to stop.

#include "buffer/BufferFiles.h"
#include "buffer/IntegerText.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using quennel::DataImage;

// The real device ends, and the hand-edited values that must never index outside the buffer.
constexpr std::array<int32_t, 12> DeviceEnds{0,    0x1F,  0xFF, 0x1FF,     0x3FF,     -1,
                                             1024, 0x7FF, 5,    INT32_MAX, INT32_MIN, 0x10};
constexpr std::array<int32_t, 6> FileTypes{0, 1, 2, 3, 4, -1};

std::string ScratchPath;

void RemoveScratch() {
    std::remove(ScratchPath.c_str());
}

const std::string& ScratchFile() {
    if (ScratchPath.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quennel-fuzz-XXXXXX").string();
        const int descriptor = ::mkstemp(pattern.data());
        if (descriptor < 0)
            std::abort();
        ::close(descriptor);
        ScratchPath = pattern;
        std::atexit(RemoveScratch);
    }
    return ScratchPath;
}

void WriteScratch(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(ScratchFile().c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int32_t deviceEnd = DeviceEnds[data[0] % DeviceEnds.size()];
    const uint8_t* file = data + 1;
    const size_t fileSize = size - 1;
    WriteScratch(file, fileSize);

    for (int32_t fileType : FileTypes) {
        auto buffer = std::make_unique<DataImage>();
        buffer->fill(0xA5);
        try {
            const quennel::FileOutcome outcome =
                quennel::LoadBufferFile(*buffer, deviceEnd, fileType, ScratchFile());
            if (outcome.Fault)
                std::abort(); // the file is there and readable
        } catch (const quennel::EConvertError&) {
        }
        if (fileType == 0) {
            // A binary load is the file's bytes from address 0, cut at the buffer's end.
            for (size_t i = 0; i < buffer->size(); ++i)
                if ((*buffer)[i] != (i < fileSize ? file[i] : 0xA5))
                    std::abort();
        }
    }
    return 0;
}
