#pragma once
// Replacing a file's contents so that a failure never destroys the old file.

#include <filesystem>
#include <string_view>

namespace quennel {

// Writes contents to a new file beside path and renames it over path only
// once every byte is written and the file closed. Returns false, with path
// untouched and the new file removed, when anything fails.
bool WriteFileReplacing(const std::filesystem::path& path, std::string_view contents);

} // namespace quennel
