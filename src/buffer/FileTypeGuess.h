#pragma once
// Telling a text buffer file's format from its contents, for a file whose
// format nobody named.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quennel {

// The format of the first non-empty line: ":" Intel hex, "S" and a digit a
// Motorola S-record, nothing but an even number of hex digits ASCII hex.
// No answer for anything else, an empty file among it.
std::optional<int32_t> GuessFileType(std::string_view contents);

} // namespace quennel
