#include "buffer/Checksum.h"

#include "buffer/IntegerText.h"

namespace quennel {

uint16_t ComputeChecksum(const DataImage& buffer, int32_t deviceEnd) {
    const int32_t end = ClampDeviceEnd(deviceEnd);
    uint16_t sum = 0;
    for (int32_t address = 0; address <= end; ++address)
        sum = static_cast<uint16_t>(sum + buffer[static_cast<size_t>(address)]);
    return sum;
}

std::string ChecksumCaption(uint16_t checksum) {
    return "CheckSum=" + HexDigits(checksum, 4);
}

} // namespace quennel
