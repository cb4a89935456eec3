#include "cli/FileTypeChoice.h"

#include "buffer/FileType.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

namespace quennel::cli {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::ranges::transform(lower, lower.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

constexpr std::array<std::pair<std::string_view, int32_t>, 4> TypeNames{{
    {"bin", BinaryFileType},
    {"intel", IntelHexFileType},
    {"motorola", MotorolaHexFileType},
    {"ascii", AsciiHexFileType},
}};

constexpr std::array<std::pair<std::string_view, int32_t>, 11> Extensions{{
    {".bin", BinaryFileType},
    {".hex", IntelHexFileType},
    {".ihx", IntelHexFileType},
    {".ihex", IntelHexFileType},
    {".s19", MotorolaHexFileType},
    {".s28", MotorolaHexFileType},
    {".s37", MotorolaHexFileType},
    {".srec", MotorolaHexFileType},
    {".mot", MotorolaHexFileType},
    {".txt", AsciiHexFileType},
    {".asc", AsciiHexFileType},
}};

// Enough to reach the first record past a few blank lines.
constexpr std::streamsize SniffLimit = 4096;

std::optional<int32_t> TypeOfFirstRecord(std::string_view line) {
    if (line.starts_with(':'))
        return IntelHexFileType;
    if (line.size() >= 2 && line[0] == 'S' && std::isdigit(static_cast<unsigned char>(line[1])))
        return MotorolaHexFileType;
    const bool allHex = std::ranges::all_of(line, [](unsigned char c) { return std::isxdigit(c) != 0; });
    if (allHex && line.size() % 2 == 0)
        return AsciiHexFileType;
    return std::nullopt;
}

} // namespace

std::optional<int32_t> FileTypeFromName(std::string_view name) {
    const std::string lower = Lower(name);
    for (auto [text, type] : TypeNames)
        if (text == lower)
            return type;
    return std::nullopt;
}

std::string_view FileTypeName(int32_t fileType) {
    for (auto [text, type] : TypeNames)
        if (type == fileType)
            return text;
    return "unknown";
}

std::optional<int32_t> FileTypeFromExtension(const std::filesystem::path& path) {
    const std::string extension = Lower(path.extension().string());
    for (auto [text, type] : Extensions)
        if (text == extension)
            return type;
    return std::nullopt;
}

std::optional<int32_t> RecogniseFileType(const std::filesystem::path& path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        error = path.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    if (Lower(path.extension().string()) == ".bin")
        return BinaryFileType;

    std::string head(static_cast<size_t>(SniffLimit), '\0');
    file.read(head.data(), SniffLimit);
    head.resize(static_cast<size_t>(file.gcount()));
    size_t start = head.find_first_not_of("\r\n");
    if (start != std::string::npos) {
        size_t end = head.find_first_of("\r\n\x1A", start);
        std::string_view line =
            std::string_view(head).substr(start, end == std::string::npos ? end : end - start);
        if (auto type = TypeOfFirstRecord(line))
            return type;
    }
    error =
        path.string() +
        ": cannot tell its format: the first record is neither Intel hex (':'), a Motorola S-record ('S'), "
        "nor ASCII hex digits, and the name does not end in .bin; name the format with -t "
        "bin|intel|motorola|ascii";
    return std::nullopt;
}

} // namespace quennel::cli
