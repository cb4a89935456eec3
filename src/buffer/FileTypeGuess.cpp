#include "buffer/FileTypeGuess.h"

#include "buffer/FileType.h"

#include <algorithm>
#include <cctype>

namespace quennel {

std::optional<int32_t> GuessFileType(std::string_view contents) {
    const size_t start = contents.find_first_not_of("\r\n");
    if (start == std::string_view::npos)
        return std::nullopt;
    const size_t end = contents.find_first_of("\r\n\x1A", start);
    const std::string_view line = contents.substr(start, end == std::string_view::npos ? end : end - start);
    if (line.starts_with(':'))
        return IntelHexFileType;
    if (line.size() >= 2 && line[0] == 'S' && std::isdigit(static_cast<unsigned char>(line[1])))
        return MotorolaHexFileType;
    const bool allHex = std::ranges::all_of(line, [](unsigned char c) { return std::isxdigit(c) != 0; });
    if (!line.empty() && allHex && line.size() % 2 == 0)
        return AsciiHexFileType;
    return std::nullopt;
}

} // namespace quennel
