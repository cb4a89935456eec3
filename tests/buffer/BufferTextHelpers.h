#pragma once
// Helpers for the format tests: a writer's output as lines, and a text
// loaded as a file would be, with its conversion error if any.

#include "buffer/BufferImage.h"
#include "buffer/BufferReaders.h"
#include "buffer/IntegerText.h"

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace quennel::test {

// The text split at CR LF; a line end of any other kind, or text after the
// last CR LF, shows up as a line that holds it.
inline std::vector<std::string> CrLfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back("unterminated:" + text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <typename Writer>
std::vector<std::string> WrittenLines(Writer writer, const DataImage& buffer, int32_t deviceEnd) {
    std::ostringstream out;
    writer(buffer, deviceEnd, out);
    return CrLfLines(out.str());
}

// The conversion message, or empty when the text loaded to its end.
inline std::string LoadText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, const std::string& text) {
    std::istringstream in(text);
    try {
        ReadHexText(buffer, deviceEnd, fileType, in);
    } catch (const EConvertError& error) {
        return error.what();
    }
    return {};
}

// The bytes at the given addresses, for comparing several cells in one check.
inline std::vector<int> BytesAt(const DataImage& buffer, std::initializer_list<int> addresses) {
    std::vector<int> bytes;
    for (int address : addresses)
        bytes.push_back(buffer[static_cast<size_t>(address)]);
    return bytes;
}

inline DataImage ImageOf(uint8_t value) {
    DataImage image{};
    image.fill(value);
    return image;
}

} // namespace quennel::test
