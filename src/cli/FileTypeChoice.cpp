#include "cli/FileTypeChoice.h"

#include "buffer/FileType.h"
#include "buffer/FileTypeGuess.h"

#include <algorithm>
#include <array>
#include <cctype>
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

std::optional<int32_t> RecogniseFileType(const std::filesystem::path& path, std::string_view contents,
                                         std::string& error) {
    if (Lower(path.extension().string()) == ".bin")
        return BinaryFileType;
    if (auto type = GuessFileType(contents))
        return type;
    error = path.string() +
            (contents.empty()
                 ? ": cannot tell its format: it is empty"
                 : ": cannot tell its format: the first record is neither Intel hex (':'), a Motorola "
                   "S-record ('S'), nor ASCII hex digits") +
            ", and the name does not end in .bin; name the format with -t bin|intel|motorola|ascii";
    return std::nullopt;
}

} // namespace quennel::cli
