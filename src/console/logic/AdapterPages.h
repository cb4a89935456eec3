#pragma once
// The four pages that show the operator how to seat a part: the wiring of the
// 20-pin and 24-pin adapter sockets, and the programmer with the adapter and
// the part in the lower or upper half of the adapter's ZIF socket. Drawn for a
// fixed-pitch font; every line is shown as it stands, without wrapping.

#include "device/Catalogue.h"

#include <string>
#include <vector>

namespace quennel {

// The lines of the page a memo shows; empty for PromptMemo::None.
const std::vector<std::string>& AdapterPageLines(PromptMemo memo);

} // namespace quennel
