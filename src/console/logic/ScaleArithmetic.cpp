#include "console/logic/ScaleArithmetic.h"

#include <cstdlib>

namespace quennel {

int32_t ScaleValue(int32_t value, int32_t m, int32_t d) {
    const int64_t product = static_cast<int64_t>(value) * m;
    const bool negative = (product < 0) != (d < 0);
    const int64_t n = std::llabs(product);
    const int64_t q = std::llabs(static_cast<int64_t>(d));
    const int64_t rounded = (2 * n + q) / (2 * q);
    return static_cast<int32_t>(negative ? -rounded : rounded);
}

ControlBounds ScaleBounds(const ControlBounds& bounds, int32_t m, int32_t d) {
    const int32_t left = ScaleValue(bounds.Left, m, d);
    const int32_t top = ScaleValue(bounds.Top, m, d);
    const int32_t right = ScaleValue(bounds.Left + bounds.Width, m, d);
    const int32_t bottom = ScaleValue(bounds.Top + bounds.Height, m, d);
    return {left, top, right - left, bottom - top};
}

} // namespace quennel
