#include "console/logic/EditorOffsets.h"

#include "console/logic/EditorText.h"

#include <algorithm>

namespace quennel {

namespace {

struct LinePosition {
    int32_t Line = 0;
    int32_t Column = 0;
};

// Offsets of one page line, break included, with a break of breakLength characters.
constexpr int32_t StatusSpan(int32_t breakLength) {
    return StatusLineLength + breakLength;
}
constexpr int32_t DataSpan(int32_t breakLength) {
    return DataLineLength + breakLength;
}

LinePosition PositionOf(int32_t offset, int32_t breakLength) {
    offset = std::max<int32_t>(offset, 0);
    if (offset < StatusSpan(breakLength))
        return {0, std::min(offset, StatusLineLength)};
    const int32_t rest = offset - StatusSpan(breakLength);
    return {1 + rest / DataSpan(breakLength), std::min(rest % DataSpan(breakLength), DataLineLength)};
}

int32_t OffsetOf(LinePosition position, int32_t breakLength) {
    if (position.Line == 0)
        return position.Column;
    return StatusSpan(breakLength) + (position.Line - 1) * DataSpan(breakLength) + position.Column;
}

constexpr int32_t PageBreak = 2;    // CR LF
constexpr int32_t ControlBreak = 1; // one character

} // namespace

int32_t ToControlOffset(int32_t pageOffset) {
    return OffsetOf(PositionOf(pageOffset, PageBreak), ControlBreak);
}

int32_t FromControlOffset(int32_t controlOffset) {
    return OffsetOf(PositionOf(controlOffset, ControlBreak), PageBreak);
}

} // namespace quennel
