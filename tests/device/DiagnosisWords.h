#pragma once
// What the diagnosis tests share: random images, and the signals a
// diagnosis line names, read as a script would read them.

#include <cstdint>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace quennel::test {

// cells random bytes of dataBits bits.
inline std::vector<uint8_t> RandomImage(std::mt19937& random, size_t cells, int dataBits) {
    std::uniform_int_distribution<int> byte(0, (1 << dataBits) - 1);
    std::vector<uint8_t> image(cells);
    for (uint8_t& cell : image)
        cell = static_cast<uint8_t>(byte(random));
    return image;
}

// Every word of line that is a signal name ("D2", "A9").
inline std::set<std::string> SignalWords(const std::string& line) {
    static const std::regex signal(R"(\b[AD][0-9]\b)");
    std::set<std::string> words;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), signal); it != std::sregex_iterator(); ++it)
        words.insert(it->str());
    return words;
}

inline std::set<std::string> SignalWords(const std::vector<std::string>& lines) {
    std::set<std::string> words;
    for (const std::string& line : lines)
        words.merge(SignalWords(line));
    return words;
}

} // namespace quennel::test
