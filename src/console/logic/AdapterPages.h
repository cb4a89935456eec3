#pragma once
// The texts of the four adapter pages shown by the seating prompt.

#include "device/Catalogue.h"

#include <string>
#include <vector>

namespace quennel {

const std::vector<std::string>& AdapterPageLines(PromptMemo memo);

} // namespace quennel
