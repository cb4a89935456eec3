#include "console/logic/AdapterPages.h"

namespace quennel {

// Provisional: the pages' drawings arrive with their own change.
const std::vector<std::string>& AdapterPageLines(PromptMemo memo) {
    static const std::vector<std::string> none;
    static const std::vector<std::string> lower{"Lower"}, upper{"Upper"}, page1{"Page_1"}, page2{"Page_2"};
    switch (memo) {
    case PromptMemo::Lower:
        return lower;
    case PromptMemo::Upper:
        return upper;
    case PromptMemo::Page_1:
        return page1;
    case PromptMemo::Page_2:
        return page2;
    case PromptMemo::None:
        break;
    }
    return none;
}

} // namespace quennel
