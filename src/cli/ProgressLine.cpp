#include "cli/ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace quennel::cli {

std::string ProgressLine(int32_t address, int32_t lastAddress, std::chrono::milliseconds elapsed) {
    const int64_t total = std::max<int64_t>(lastAddress, 0) + 1;
    const int64_t done = std::clamp<int64_t>(int64_t{address} + 1, 0, total);
    const int filled = static_cast<int>(done * ProgressBarWidth / total);
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a chain
    // of string additions here in optimised builds.
    std::string line(1, '[');
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(ProgressBarWidth - filled), '-');
    line += ']';
    char text[64];
    std::snprintf(text, sizeof text, "  %04X  %3d%%", static_cast<unsigned>(address & 0xFFFF),
                  static_cast<int>(done * 100 / total));
    line += text;
    if (done > 0 && elapsed.count() > 0) {
        const int64_t leftSeconds = (elapsed.count() * (total - done) / done + 999) / 1000;
        std::snprintf(text, sizeof text, "  %lld:%02lld left", static_cast<long long>(leftSeconds / 60),
                      static_cast<long long>(leftSeconds % 60));
        line += text;
    }
    return line;
}

} // namespace quennel::cli
