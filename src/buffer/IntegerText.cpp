#include "buffer/IntegerText.h"

#include <optional>

namespace quennel {

namespace {

std::string ConvertMessage(std::string_view text) {
    std::string message = "'";
    message += text;
    message += "' is not a valid integer value";
    return message;
}

std::optional<int> DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (base == 16 && c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (base == 16 && c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    if (value < 0)
        return std::nullopt;
    return value;
}

} // namespace

EConvertError::EConvertError(std::string_view text) : std::runtime_error(ConvertMessage(text)) {}

int32_t StrToInt(std::string_view text) {
    std::string_view rest = text;
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    int base = 10;
    if (!rest.empty() && rest.front() == '$') {
        base = 16;
        rest.remove_prefix(1);
    }
    if (rest.empty())
        throw EConvertError(text);

    // Decimal allows one more on the negative side; hex takes any 32-bit pattern.
    const uint64_t limit = base == 16 ? 0xFFFFFFFFu : (negative ? 0x80000000u : 0x7FFFFFFFu);
    uint64_t magnitude = 0;
    for (char c : rest) {
        std::optional<int> digit = DigitValue(c, base);
        if (!digit)
            throw EConvertError(text);
        magnitude = magnitude * base + static_cast<uint64_t>(*digit);
        if (magnitude > limit)
            throw EConvertError(text);
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

std::string ErrorReportText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}

std::string HexDigits(uint32_t value, int width) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = Digits[value & 0xFu];
        value >>= 4;
    }
    return text;
}

} // namespace quennel
