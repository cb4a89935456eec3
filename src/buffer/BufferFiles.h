#pragma once
// Loading and saving the buffer by file name, with the status texts the
// operator sees. The text formats show a "Loading"/"Saving" text before the
// file work (StatusBeforeLoad/StatusBeforeSave, for the front end to show and
// repaint first) and a done text after it; binary files show neither. A file
// that cannot be read, holds nothing to load or cannot be written is
// reported with the reason, never passed off as done. The window and the
// command line load and save through these two calls only.

#include "buffer/BufferImage.h"
#include "buffer/BufferReaders.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
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
    NotAFile,        // a FIFO, a terminal or a character device where only a file will do
    UnknownFormat,   // nobody named the format and the file's first record does not tell it
    NoData,          // empty, or no data record in it
    ChecksumRefused, // a record's checksum did not match and the load was not let on
    MoreThanDevice,  // a record would change a cell the load had filled: more than the device holds
    CannotWrite,     // the save failed; the old file is as it was where it could be kept
};

struct FileOutcome {
    bool Fault = false;      // anything but a load or save that ran to its end
    std::string_view Status; // the status line afterwards; empty: leave it as it is
    FileProblem Problem = FileProblem::None;
    // For the operator: "line 12: the record's checksum is 3F, ...", "No space left on device";
    // after a load that ran to its end, what the buffer could not take, if anything.
    std::string Detail;
    int Line = 0; // the line at fault in a text file; 0 when there is none
    // Loads: the highest address the file put a byte at (see LoadReport),
    // and the format it was read as.
    int64_t LastAddress = -1;
    int32_t FileType = 0;
};

// Where a load may read from. Files: regular files and disks, which are sure
// to end; the window takes only these, since a FIFO, a terminal or a device
// that never ends would hold its message thread for good. Streams: also
// pipes, FIFOs, terminals and /dev/stdin, as the command line reads them.
enum class FileSources { Files, Streams };

// Anything larger than this is no buffer file (a device that never ends, say).
inline constexpr size_t LargestBufferFile = 16u << 20;

// Tells a file's format from its bytes, where nobody named it; nothing,
// with the reason, when it cannot.
using FileTypeTeller = std::function<std::optional<int32_t>(std::string_view bytes, std::string& reason)>;

struct LoadRequest {
    int32_t DeviceEnd = 0;
    int32_t FileType = 0; // binary for 0, the text formats otherwise (see ReadHexText)
    FileTypeTeller TellType; // when set, it decides the format instead of FileType
    ChecksumQuestion Ask;    // see ReadHexText
    FileSources Sources = FileSources::Files;
    // Runs once the file is read and its format known, before it is loaded.
    std::function<void(int32_t fileType)> BeforeLoading;
};

// The one way a buffer file is loaded. The file is read whole, once, and
// loaded into a copy of the buffer, which becomes the buffer only when the
// whole file has loaded: a load refused part-way (a record over a filled
// cell, a checksum mismatch not let pass, a file that cannot be read or
// holds no data) leaves the buffer byte for byte as it was. A field that is
// not hex throws EConvertError with its line, the buffer likewise untouched.
// The outcome's FileType is the format the file was read as.
FileOutcome LoadBufferFile(DataImage& buffer, const std::filesystem::path& path, const LoadRequest& request);

// The one way the buffer is saved: buffer[0..deviceEnd] in fileType's
// format, without ever destroying what it does not own (see
// WriteFileSafely). A fileType outside 0..3 has no format: nothing is
// written and the save is reported as failed rather than leaving an empty file.
FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path);

// The status a front end shows, and lets the window repaint, before the
// file work: the text formats have one, binary files none.
std::string_view StatusBeforeLoad(int32_t fileType);
std::string_view StatusBeforeSave(int32_t fileType);

} // namespace quennel
