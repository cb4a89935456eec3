#pragma once
// The four buffer file formats, by the value the file-type choice stores.

#include <cstdint>

namespace quennel {

inline constexpr int32_t BinaryFileType = 0;
inline constexpr int32_t IntelHexFileType = 1;
inline constexpr int32_t MotorolaHexFileType = 2;
inline constexpr int32_t AsciiHexFileType = 3;

inline bool IsKnownFileType(int32_t fileType) {
    return fileType >= BinaryFileType && fileType <= AsciiHexFileType;
}

} // namespace quennel
