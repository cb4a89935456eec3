#pragma once
// The arithmetic of the button-size switch: every edge of every control
// multiplied by M and divided by D, rounded to the nearest integer with
// halves going away from zero. Widths and heights are the differences of the
// new edges, so neighbouring controls stay flush and enlarging then shrinking
// gives back every edge exactly.

#include <cstdint>

namespace quennel {

inline constexpr int32_t LargeButtonsNumerator = 486;
inline constexpr int32_t LargeButtonsDenominator = 408;

// value * m / d, halves away from zero; d must not be 0.
int32_t ScaleValue(int32_t value, int32_t m, int32_t d);

struct ControlBounds {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool operator==(const ControlBounds&) const = default;
};

// The four edges scaled, the size taken from the scaled edges.
ControlBounds ScaleBounds(const ControlBounds& bounds, int32_t m, int32_t d);

} // namespace quennel
