#include "buffer/Fill.h"

#include "buffer/IntegerText.h"

#include <string>

namespace quennel {

void FillBuffer(DataImage& buffer, uint8_t value) {
    buffer.fill(value);
}

std::optional<uint8_t> FillValueFromText(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    std::string hex(1, '$');
    hex += text;
    return static_cast<uint8_t>(StrToInt(hex) & 0xFF);
}

} // namespace quennel
