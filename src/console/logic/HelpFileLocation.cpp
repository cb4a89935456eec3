#include "console/logic/HelpFileLocation.h"

#include <fstream>
#include <string>

namespace quennel {

std::vector<std::filesystem::path> HelpFileCandidates(const std::filesystem::path& currentDir,
                                                      const std::filesystem::path& programDir) {
    return {currentDir / HelpFileName, programDir / HelpFileName,
            programDir.parent_path() / "share" / "quennel" / HelpFileName};
}

bool ReadHelpLines(const std::filesystem::path& path, std::vector<std::string>& lines) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open() || std::filesystem::is_directory(path))
        return false;
    lines.clear();
    std::string line;
    do {
        line.clear();
        std::getline(file, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    } while (file.good() && file.peek() != std::char_traits<char>::eof());
    return !file.bad();
}

} // namespace quennel
