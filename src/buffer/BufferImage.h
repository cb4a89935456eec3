#pragma once
// The buffer image as the readers, writers, checksum and fill see it, and the
// one rule that keeps a device end from indexing outside it.

#include "core/SharedState.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quennel {

using DataImage = std::array<uint8_t, BufferSize>;

// The device end as an index: only a hand-edited settings file can hold a
// value outside the buffer, and such a value is pulled to the nearest end.
inline int32_t ClampDeviceEnd(int32_t deviceEnd) {
    return std::clamp<int32_t>(deviceEnd, 0, BufferSize - 1);
}

} // namespace quennel
