#pragma once
// Loading and saving the buffer by file name, with the status texts the
// operator sees. The text formats show a "Loading"/"Saving" text before the
// file work (StatusBeforeLoad/StatusBeforeSave, for the front end to show and
// repaint first) and a done text after it; binary files show neither. A file
// that cannot be read, holds nothing to load or cannot be written is
// reported with the reason, never passed off as done.

#include "buffer/BufferImage.h"
#include "buffer/BufferReaders.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace quennel {

inline constexpr std::string_view LoadingHexFileStatus = "Loading Buffer from Hex File....";
inline constexpr std::string_view HexFileLoadedStatus = "Hex File Loaded....";
inline constexpr std::string_view SavingHexFileStatus = "Saving Buffer to Hex File....";
inline constexpr std::string_view HexFileSavedStatus = "Hex File Saved....";
inline constexpr std::string_view FileNotLoadedStatus = "File Could Not be Loaded....";
inline constexpr std::string_view FileNotSavedStatus = "File Could Not be Saved....";

enum class FileProblem {
    None,
    CannotRead,      // the file could not be opened or read
    NoData,          // empty, or no data record in it
    ChecksumRefused, // a record's checksum did not match and the load was not let on
    MoreThanDevice,  // a record would change a cell the load had filled: more than the device holds
    CannotWrite,     // the save failed; the old file is as it was where it could be kept
};

struct FileOutcome {
    bool Fault = false;      // anything but a load or save that ran to its end
    std::string_view Status; // the status line afterwards; empty: leave it as it is
    FileProblem Problem = FileProblem::None;
    // For the operator: "line 12: the record's checksum is 3F, ...", "No space left on device".
    std::string Detail;
    int Line = 0; // the line at fault in a text file; 0 when there is none
    // Loads: the highest address the file put a byte at (see LoadReport).
    int64_t LastAddress = -1;
};

// A file read whole into memory, once: pipes and FIFOs can be read only once.
struct FileBytes {
    bool Read = false;
    std::string Bytes;
    std::string Detail; // why it could not be read
};
// Anything larger than this is no buffer file (a device that never ends, say).
inline constexpr size_t LargestBufferFile = 16u << 20;
FileBytes ReadBufferFile(const std::filesystem::path& path);

// Loads bytes already read: binary for type 0, the text formats otherwise.
// A field that is not hex throws EConvertError, carrying its line; the bytes
// stored before it stay. See ReadHexText for the checksum question.
FileOutcome LoadBufferImage(DataImage& buffer, int32_t deviceEnd, int32_t fileType, std::string_view bytes,
                            const ChecksumQuestion& ask = {});

// Binary: bytes from address 0 upward, those past the buffer dropped.
FileOutcome LoadBinaryFile(DataImage& buffer, const std::filesystem::path& path);
// Text formats by fileType (see ReadHexText).
FileOutcome LoadHexFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path, const ChecksumQuestion& ask = {});

// Both write buffer[0..deviceEnd] without ever destroying what they do not
// own: see WriteFileSafely.
FileOutcome SaveBinaryFile(const DataImage& buffer, int32_t deviceEnd, const std::filesystem::path& path);
// A fileType outside 1..3 has no record format: nothing is written and the
// save is reported as failed rather than leaving an empty file.
FileOutcome SaveHexFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path);

// The Load and Save commands' choice: binary for type 0, the text path for any other.
std::string_view StatusBeforeLoad(int32_t fileType);
std::string_view StatusBeforeSave(int32_t fileType);
FileOutcome LoadBufferFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path, const ChecksumQuestion& ask = {});
FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path);

} // namespace quennel
