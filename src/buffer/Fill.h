#pragma once
// Filling the whole buffer, whatever device is selected.

#include "buffer/BufferImage.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace quennel {

void FillBuffer(DataImage& buffer, uint8_t value);

// The fill value typed into the value field: its text read as hex ("$" put in
// front), low 8 bits kept. An empty text gives no value (the buffer stays as
// it is); a text that is not hex throws EConvertError.
std::optional<uint8_t> FillValueFromText(std::string_view text);

} // namespace quennel
