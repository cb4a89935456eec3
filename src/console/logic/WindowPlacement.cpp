#include "console/logic/WindowPlacement.h"

#include <algorithm>

namespace quennel {

namespace {

// The overlap of two spans [begin, end) along one axis; 64 bits, since a
// hand-edited file may hold any 32-bit position and size.
int64_t Overlap(int64_t begin, int64_t end, int64_t otherBegin, int64_t otherEnd) {
    return std::max<int64_t>(0, std::min(end, otherEnd) - std::max(begin, otherBegin));
}

} // namespace

bool IsWindowReachable(const ScreenRect& window, const std::vector<ScreenRect>& screens) {
    if (window.Width <= 0 || window.Height <= 0)
        return false;
    const int64_t stripHeight = std::min(TitleStripHeight, window.Height);
    const int64_t needWidth = std::min(GripWidth, window.Width);
    const int64_t needHeight = std::min<int64_t>(GripHeight, stripHeight);
    const int64_t left = window.Left;
    const int64_t top = window.Top;
    for (const ScreenRect& screen : screens) {
        const int64_t width =
            Overlap(left, left + window.Width, screen.Left, int64_t{screen.Left} + screen.Width);
        const int64_t height =
            Overlap(top, top + stripHeight, screen.Top, int64_t{screen.Top} + screen.Height);
        if (width >= needWidth && height >= needHeight)
            return true;
    }
    return false;
}

ScreenRect DefaultWindowRect(const ScreenRect& primary) {
    ScreenRect rect;
    rect.Width = DefaultWindowWidth;
    rect.Height = DefaultWindowHeight;
    rect.Left = primary.Left + std::max(0, (primary.Width - DefaultWindowWidth) / 2);
    rect.Top = primary.Top + std::max(0, (primary.Height - DefaultWindowHeight) / 2);
    return rect;
}

ScreenRect RestoredWindowRect(const ScreenRect& saved, const std::vector<ScreenRect>& screens,
                              const ScreenRect& primary) {
    const bool reachable =
        screens.empty() ? IsWindowReachable(saved, {primary}) : IsWindowReachable(saved, screens);
    return reachable ? saved : DefaultWindowRect(primary);
}

} // namespace quennel
