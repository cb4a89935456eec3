// The operator's help text as the help page shows it: plain lines that fit
// the page, and a seating list that agrees with the device catalogue.
#include "device/Catalogue.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace quennel {
namespace {

std::string HelpText() {
    std::ifstream file(QUENNEL_HELP_TEXT, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::vector<std::string> HelpLines() {
    std::vector<std::string> lines;
    std::string text = HelpText();
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::string Lowered(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(HelpText, IsPlainTextInLinesThatFitThePage) {
    std::string text = HelpText();
    ASSERT_GT(text.size(), 1000U) << QUENNEL_HELP_TEXT;
    EXPECT_EQ(text.back(), '\n');
    for (char c : text)
        ASSERT_TRUE((c >= ' ' && c <= '~') || c == '\n') << "only printable ASCII and LF, found code " << +c;
    for (const std::string& line : HelpLines()) {
        EXPECT_LE(line.size(), 70U) << line;
        EXPECT_TRUE(line.empty() || line.back() != ' ') << "trailing blank: " << line;
    }
}

// Each seating has one entry, "- <seating> (...):", followed by the captions
// of its parts; every device of the catalogue is under its own seating only.
TEST(HelpText, SeatsEveryDeviceOfTheCatalogueWhereItsPageDoes) {
    std::vector<std::string> lines = HelpLines();
    std::vector<std::pair<std::string, std::string>> entries; // seating, the captions under it
    for (const std::string& line : lines) {
        if (line.starts_with(" - "))
            entries.emplace_back(Lowered(line.substr(3)), "");
        else if (!entries.empty() && line.starts_with("      "))
            entries.back().second += line + ",";
    }
    int devices = 0;
    for (const CatalogueRow& row : Catalogue()) {
        if (!row.IsDevice)
            continue;
        ++devices;
        const std::string caption = " " + std::string(row.Caption) + ",";
        int listed = 0;
        for (const auto& [seating, captions] : entries) {
            std::string spaced = " " + captions;
            for (size_t at = spaced.find(' '); at != std::string::npos; at = spaced.find(' ', at + 1))
                if (spaced.compare(at, caption.size(), caption) == 0) {
                    ++listed;
                    EXPECT_TRUE(seating.starts_with(Lowered(std::string(SeatingText(row)))))
                        << row.Caption << " is listed under " << seating;
                }
        }
        EXPECT_EQ(listed, 1) << row.Caption;
    }
    EXPECT_EQ(devices, 27);
}

} // namespace
} // namespace quennel
