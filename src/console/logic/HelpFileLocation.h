#pragma once
// Where the help page's text is read from: "Halden.Txt" in the current
// directory first, so an operator's own copy wins; otherwise the copy that
// comes with the program, beside the executable in a build tree or in the
// installed data folder.

#include <filesystem>
#include <vector>

namespace quennel {

inline constexpr const char* HelpFileName = "Halden.Txt";

// The places tried, in order, for a program whose executable lies in programDir.
std::vector<std::filesystem::path> HelpFileCandidates(const std::filesystem::path& currentDir,
                                                      const std::filesystem::path& programDir);

// The lines of the text file at path, or nothing when it cannot be opened.
// A line ends at LF; a CR before it is dropped. The first line is read
// before the end is tested, so an empty file gives one empty line.
bool ReadHelpLines(const std::filesystem::path& path, std::vector<std::string>& lines);

} // namespace quennel
