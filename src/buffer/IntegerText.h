#pragma once
// The program's one text-to-integer conversion and its one error, plus the
// number display used in file records and captions.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quennel {

// A text that is not an integer; its message is the one the operator sees.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(std::string_view text);

    // The line of the file the text stood on; 0 when it came from no file.
    int Line = 0;
};

// Leading blanks, an optional sign, then decimal digits or "$" and hex
// digits, and nothing after. Decimal must fit 32 signed bits; hex may use all
// 32 bits (a pattern with the top bit set reads as negative).
// Throws EConvertError("'<text>' is not a valid integer value") otherwise.
int32_t StrToInt(std::string_view text);

// The text of the application error report: the message, and a full stop
// after it when its last character sorts above ".".
std::string ErrorReportText(std::string_view message);

// value as exactly width upper-case hex digits (the low digits, zero-padded).
std::string HexDigits(uint32_t value, int width);

} // namespace quennel
