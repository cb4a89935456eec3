#pragma once
// Where a restored window may go. A position saved on a larger or another
// screen can put the window where the operator cannot reach it; such a
// window goes back to its first size in the middle of the primary screen.

#include <cstdint>
#include <vector>

namespace quennel {

// A rectangle in screen pixels: the window's frame, or a screen's usable area.
struct ScreenRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool operator==(const ScreenRect&) const = default;
};

inline constexpr int32_t DefaultWindowWidth = 662;
inline constexpr int32_t DefaultWindowHeight = 476;

// A window can be reached when a piece of its top strip, where the title bar
// is grabbed, lies on one screen: TitleStripHeight pixels from the frame's top
// edge, of which at least GripWidth x GripHeight (or the window's whole width,
// if narrower) must be visible. Less than that cannot be dragged back.
inline constexpr int32_t TitleStripHeight = 24;
inline constexpr int32_t GripWidth = 64;
inline constexpr int32_t GripHeight = 8;

bool IsWindowReachable(const ScreenRect& window, const std::vector<ScreenRect>& screens);

// The first size, centred on the primary screen (its top-left corner kept on
// the screen when the screen is smaller than the window).
ScreenRect DefaultWindowRect(const ScreenRect& primary);

// The saved frame when some screen shows enough of it, else the default. An
// empty screen list counts as the primary screen alone.
ScreenRect RestoredWindowRect(const ScreenRect& saved, const std::vector<ScreenRect>& screens,
                              const ScreenRect& primary);

} // namespace quennel
