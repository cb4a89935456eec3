#pragma once
// Helpers for the format tests: a writer's output as lines, and a text
// loaded as a file would be, with its conversion error if any.

#include "buffer/BufferImage.h"
#include "buffer/BufferReaders.h"
#include "buffer/IntegerText.h"

#include <cstdint>
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

// The conversion message or the problem the load reported; empty when the
// text loaded to its end.
inline std::string LoadText(DataImage& buffer, int32_t deviceEnd, int32_t fileType, const std::string& text,
                            const ChecksumQuestion& ask = {}) {
    try {
        return ReadHexText(buffer, deviceEnd, fileType, text, ask).Detail;
    } catch (const EConvertError& error) {
        return error.what();
    }
}

// Records with the checksum their bytes call for.
inline std::string IntelRecord(int type, uint32_t address, const std::vector<uint8_t>& data) {
    std::string line = ":" + HexDigits(static_cast<uint32_t>(data.size()), 2) + HexDigits(address, 4) +
                       HexDigits(static_cast<uint32_t>(type), 2);
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    for (uint8_t byte : data) {
        line += HexDigits(byte, 2);
        sum += byte;
    }
    return line + HexDigits(0x100 - (sum & 0xFF), 2) + "\r\n";
}

inline std::string SRecord(int type, uint32_t address, const std::vector<uint8_t>& data) {
    static constexpr int AddressBytes[10] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};
    const int width = AddressBytes[type];
    const unsigned count = static_cast<unsigned>(data.size()) + static_cast<unsigned>(width) + 1;
    std::string line = "S" + std::to_string(type) + HexDigits(count, 2) + HexDigits(address, 2 * width);
    unsigned sum = count;
    for (int i = 0; i < width; ++i)
        sum += (address >> (8 * i)) & 0xFF;
    for (uint8_t byte : data) {
        line += HexDigits(byte, 2);
        sum += byte;
    }
    return line + HexDigits(0xFF - (sum & 0xFF), 2) + "\r\n";
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
