// Feeds arbitrary bytes as a buffer file to the load: the first byte picks
// the device end and whether checksum mismatches are let pass, the rest is
// the file, loaded once for every file type. The file is an in-memory one
// (a regular file to the load). The buffer lives alone on the heap so that
// any byte stored outside it hits the address sanitizer; a conversion error
// is an expected way to stop, and it, like every refused load, must leave
// the buffer as it was. Whatever loads is written back in every format and
// must load back to the same bytes.

#include "buffer/BufferFiles.h"
#include "buffer/BufferWriters.h"
#include "buffer/FileType.h"
#include "buffer/IntegerText.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using quennel::DataImage;
using quennel::FileOutcome;
using quennel::FileProblem;

// The real device ends, and the hand-edited values that must never index outside the buffer.
constexpr std::array<int32_t, 12> DeviceEnds{0,    0x1F,  0xFF, 0x1FF,     0x3FF,     -1,
                                             1024, 0x7FF, 5,    INT32_MAX, INT32_MIN, 0x10};
constexpr std::array<int32_t, 6> FileTypes{0, 1, 2, 3, 4, -1};
constexpr uint8_t Untouched = 0xA5;
constexpr uint8_t OtherFill = 0x5A;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// An in-memory file holding bytes, reached by a path as a file on disk is.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes) : Descriptor(::memfd_create("buffer-file", MFD_CLOEXEC)) {
        Require(Descriptor >= 0);
        Require(::write(Descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
        Path = "/proc/self/fd/" + std::to_string(Descriptor);
    }
    ~MemoryFile() { ::close(Descriptor); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::string Path;

private:
    int Descriptor;
};

FileOutcome Load(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view bytes,
                 const quennel::ChecksumQuestion& ask = {}) {
    const MemoryFile file(bytes);
    quennel::LoadRequest request;
    request.DeviceEnd = deviceEnd;
    request.FileType = fileType;
    request.Ask = ask;
    return quennel::LoadBufferFile(buffer, file.Path, request);
}

// Intel records always hold 16 bytes, so its files cover the device rounded up.
int32_t LastWritten(int32_t fileType, int32_t deviceEnd) {
    const int32_t end = quennel::ClampDeviceEnd(deviceEnd);
    return fileType == quennel::IntelHexFileType ? (end / 16 + 1) * 16 - 1 : end;
}

// What was loaded, saved in each format and loaded again, is what was loaded.
void CheckRoundTrip(const DataImage& loaded, int32_t deviceEnd) {
    for (int32_t fileType : {0, 1, 2, 3}) {
        std::ostringstream file;
        Require(quennel::WriteBufferImage(loaded, deviceEnd, fileType, file));
        auto again = std::make_unique<DataImage>();
        again->fill(OtherFill);
        const FileOutcome outcome = Load(*again, deviceEnd, fileType, file.view());
        Require(!outcome.Fault);
        const int32_t last = LastWritten(fileType, deviceEnd);
        Require(outcome.LastAddress == last);
        for (size_t i = 0; i < again->size(); ++i)
            Require((*again)[i] == (static_cast<int32_t>(i) <= last ? loaded[i] : OtherFill));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int32_t deviceEnd = DeviceEnds[(data[0] & 0x7F) % DeviceEnds.size()];
    const bool letPass = (data[0] & 0x80) != 0;
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);

    for (int32_t fileType : FileTypes) {
        auto buffer = std::make_unique<DataImage>();
        buffer->fill(Untouched);
        int asked = 0;
        FileOutcome outcome;
        const auto untouched = [&] {
            for (uint8_t byte : *buffer)
                Require(byte == Untouched);
        };
        try {
            outcome = Load(*buffer, deviceEnd, fileType, file, [&](const std::string& text) {
                Require(++asked == 1 && text.starts_with("line "));
                return letPass;
            });
        } catch (const quennel::EConvertError& error) {
            Require(error.Line >= 1);
            untouched();
            continue;
        }
        Require(outcome.Problem != FileProblem::CannotRead && outcome.Problem != FileProblem::CannotWrite);
        Require(outcome.Fault == (outcome.Problem != FileProblem::None));
        Require(outcome.Problem != FileProblem::ChecksumRefused || (asked == 1 && !letPass));
        if (outcome.Fault)
            untouched();
        // Nothing above the last address the load reports has changed.
        for (size_t i = 0; i < buffer->size(); ++i)
            Require(static_cast<int64_t>(i) <= outcome.LastAddress || (*buffer)[i] == Untouched);
        if (fileType == quennel::BinaryFileType) {
            // A binary load is the file's bytes from address 0, cut at the buffer's end.
            Require(outcome.LastAddress == static_cast<int64_t>(file.size()) - 1);
            for (size_t i = 0; i < buffer->size(); ++i)
                Require((*buffer)[i] == (i < file.size() ? static_cast<uint8_t>(file[i]) : Untouched));
        }
        if (!outcome.Fault)
            CheckRoundTrip(*buffer, deviceEnd);
    }
    return 0;
}
