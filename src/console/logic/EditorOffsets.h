#pragma once
// Caret offsets into the editor's page. The editor reckons as if every line
// break took two characters (CR LF): the status line holds offsets 0 to 70,
// its break 71 and 72, and data line k (0 to 15) starts at 73 + 74 * k. A
// text control that keeps a break as one character counts differently; the
// two conversions below are the only place that knows both.

#include <cstdint>

namespace quennel {

// Where the editor's offset lies in a control that counts a break as one
// character. An offset between a CR and its LF lands at the end of its line.
int32_t ToControlOffset(int32_t pageOffset);

// The editor's offset of the control's caret.
int32_t FromControlOffset(int32_t controlOffset);

} // namespace quennel
