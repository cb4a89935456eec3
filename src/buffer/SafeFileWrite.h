#pragma once
// Writing a file without ever destroying what the program does not own.

#include <filesystem>
#include <string>
#include <string_view>

namespace quennel {

// Writes contents to path. Symbolic links are followed and their target is
// written. A regular file with one name is replaced: the contents go to a
// new file beside it, which takes the old one's permission bits (and its
// owner where the process may give it) and is renamed over it only once every
// byte is on disk, so a failure leaves the old file as it was. What is not
// such a file (a device, a FIFO) or a file with several hard links is
// written in place, never replaced; a hard-linked file gets its room
// reserved first, so a full disk fails before its contents are touched.
// Returns false with the reason ("No space left on device") on failure.
bool WriteFileSafely(const std::filesystem::path& path, std::string_view contents, std::string& reason);

} // namespace quennel
