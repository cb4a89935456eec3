#pragma once
// Which of the four buffer file formats a file on the command line is in:
// named with -t, told by the name's extension, or recognised from the
// file's first record.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quennel::cli {

// "bin", "intel", "motorola", "ascii" (any case) to a FileType.
std::optional<int32_t> FileTypeFromName(std::string_view name);
std::string_view FileTypeName(int32_t fileType);

// The type a file to be written gets from its extension: .bin binary; .hex,
// .ihx, .ihex Intel; .s19, .s28, .s37, .srec, .mot Motorola; .txt, .asc ASCII hex.
std::optional<int32_t> FileTypeFromExtension(const std::filesystem::path& path);

// The type of a file read into contents: binary by a .bin extension,
// otherwise from its first record (GuessFileType). On failure, the reason in error.
std::optional<int32_t> RecogniseFileType(const std::filesystem::path& path, std::string_view contents,
                                         std::string& error);

} // namespace quennel::cli
