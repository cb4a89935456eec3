#pragma once
// Loading and saving the buffer by file name, with the status texts the
// operator sees. The text formats show a "Loading"/"Saving" text before the
// file work (StatusBeforeLoad/StatusBeforeSave, for the front end to show and
// repaint first) and a done text after it; binary files show neither. A file
// that cannot be read or written is reported, never passed off as done.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quennel {

inline constexpr std::string_view LoadingHexFileStatus = "Loading Buffer from Hex File....";
inline constexpr std::string_view HexFileLoadedStatus = "Hex File Loaded....";
inline constexpr std::string_view SavingHexFileStatus = "Saving Buffer to Hex File....";
inline constexpr std::string_view HexFileSavedStatus = "Hex File Saved....";
inline constexpr std::string_view FileNotLoadedStatus = "File Could Not be Loaded....";
inline constexpr std::string_view FileNotSavedStatus = "File Could Not be Saved....";

struct FileOutcome {
    bool Fault = false;      // the file could not be opened, read, created or written
    std::string_view Status; // the status line afterwards; empty: leave it as it is
};

// Binary: bytes from address 0 upward, those past the buffer dropped.
FileOutcome LoadBinaryFile(DataImage& buffer, const std::filesystem::path& path);
// Text formats by fileType (see ReadHexText). A field that is not hex throws
// EConvertError after the file is closed; bytes stored before it stay.
FileOutcome LoadHexFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path);

// Both write buffer[0..deviceEnd] through a file beside path that replaces
// it only when complete, so a failed save leaves the old file as it was.
FileOutcome SaveBinaryFile(const DataImage& buffer, int32_t deviceEnd, const std::filesystem::path& path);
// A fileType outside 1..3 has no record format: nothing is written and the
// save is reported as failed rather than leaving an empty file.
FileOutcome SaveHexFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                        const std::filesystem::path& path);

// The Load and Save commands' choice: binary for type 0, the text path for any other.
std::string_view StatusBeforeLoad(int32_t fileType);
std::string_view StatusBeforeSave(int32_t fileType);
FileOutcome LoadBufferFile(DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path);
FileOutcome SaveBufferFile(const DataImage& buffer, int32_t deviceEnd, int32_t fileType,
                           const std::filesystem::path& path);

} // namespace quennel
