#include "console/logic/EditorText.h"

#include "buffer/IntegerText.h"

namespace quennel {

char DisplayCharacter(uint8_t value) {
    return value >= 0x20 && value <= 0x7F ? static_cast<char>(value) : '.';
}

std::string StatusLineText(int32_t address, uint8_t value) {
    std::string line = "Address = ";
    line += HexDigits(static_cast<uint32_t>(address), 4);
    line += "              Hex Data = ";
    line += HexDigits(value, 2);
    line += "                Ascii Data = ";
    line += DisplayCharacter(value);
    return line;
}

std::string DataLineText(const DataImage& buffer, int32_t row) {
    std::string line(DataLineLength, ' ');
    line.replace(0, 4, HexDigits(static_cast<uint32_t>(row * RowBytes), 4));
    for (int32_t j = 0; j < RowBytes; ++j) {
        const uint8_t value = buffer[static_cast<size_t>(row * RowBytes + j)];
        line.replace(static_cast<size_t>(HexColumn(j)), 2, HexDigits(value, 2));
        line[static_cast<size_t>(CharacterColumn(j))] = DisplayCharacter(value);
    }
    return line;
}

} // namespace quennel
