// The seating pages as the operator reads them: the banner, the wiring of
// each adapter socket pin by pin, the package outline, the labels of the
// seating drawings, the half of the socket the part goes in, and the fit of
// every page in the memo that shows it.
#include "console/logic/AdapterPages.h"

#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace quennel {
namespace {

using Lines = std::vector<std::string>;

const Lines& Page(PromptMemo memo) {
    return AdapterPageLines(memo);
}

TEST(AdapterPages, EachPageOpensWithTheBannerAtItsIndent) {
    const std::string title = "= Prom Adapter for The Trevalo Programmer =";
    for (auto [memo, indent] : {std::pair{PromptMemo::Page_1, 4}, std::pair{PromptMemo::Page_2, 4},
                                std::pair{PromptMemo::Lower, 7}, std::pair{PromptMemo::Upper, 7}}) {
        SCOPED_TRACE(std::string(PromptMemoName(memo)));
        const Lines& lines = Page(memo);
        ASSERT_GE(lines.size(), 4U);
        std::string margin(static_cast<size_t>(indent), ' ');
        std::string row = margin + std::string(title.size(), '=');
        EXPECT_EQ(lines[0], row);
        EXPECT_EQ(lines[1], margin + title);
        EXPECT_EQ(lines[2], row);
        EXPECT_EQ(lines[3], "");
    }
    EXPECT_TRUE(Page(PromptMemo::None).empty());
}

TEST(AdapterPages, WiringPagesNameTheSocketAndStartWithTheirFirstPinLine) {
    const Lines& page1 = Page(PromptMemo::Page_1);
    const Lines& page2 = Page(PromptMemo::Page_2);
    ASSERT_GE(page1.size(), 9U);
    ASSERT_GE(page2.size(), 9U);
    for (const Lines* page : {&page1, &page2}) {
        EXPECT_EQ((*page)[4], "  This Part Requires a Adapter Socket as Follows: ");
        EXPECT_EQ((*page)[5], "");
    }
    EXPECT_EQ(page1[6], "                  20 Pin Adapter ");
    EXPECT_EQ(page2[6], "                  24 Pin Adapter ");
    EXPECT_EQ(page1[8], "Socket Pin 18 --  1| A0    VCC|20 -- Socket Pin 24 ");
    EXPECT_EQ(page2[8], "Socket Pin 31 --  1|A7     VCC|24 -- Socket Pin 24");
}

// One pin of the package as a page shows it.
struct ShownPin {
    std::string Signal;
    std::string Wire; // "Socket Pin 18", "TP Zif Socket 26"
    bool operator==(const ShownPin&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ShownPin& pin) {
    return out << pin.Signal << " -> " << pin.Wire;
}

// The pin lines of a wiring page, taken apart: each pairs a left-hand pin
// with the one opposite it, and its body holds the two signals and at most
// one letter of the words down the middle.
struct WiringDrawing {
    std::map<int, ShownPin> Pins;
    std::string Letters;
    std::vector<size_t> LetterColumns;
    std::vector<size_t> PinLineRows;
    std::vector<std::pair<size_t, size_t>> Edges; // the body's two '|' per pin line
    std::vector<std::string> Faults;
};

WiringDrawing TakeApart(const Lines& lines) {
    static const std::regex pinLine(
        R"(^Socket Pin +(\d+) -- +(\d+)\|(.{10})\|(\d+) -- (Socket Pin \d+|TP Zif Socket \d+) ?$)");
    WiringDrawing drawing;
    for (size_t row = 0; row < lines.size(); ++row) {
        std::smatch match;
        if (!std::regex_match(lines[row], match, pinLine))
            continue;
        drawing.PinLineRows.push_back(row);
        size_t left = static_cast<size_t>(match.position(3)) - 1;
        drawing.Edges.emplace_back(left, left + 11);

        std::istringstream words(match[3].str());
        std::vector<std::string> tokens;
        for (std::string word; words >> word;)
            tokens.push_back(word);
        if (tokens.size() < 2 || tokens.size() > 3) {
            drawing.Faults.push_back("body of row " + std::to_string(row) + ": " + match[3].str());
            continue;
        }
        if (match[3].str().back() == ' ')
            drawing.Faults.push_back("right-hand signal not against the edge in row " + std::to_string(row));
        int leftPin = std::stoi(match[2]);
        int rightPin = std::stoi(match[4]);
        auto add = [&](int pin, ShownPin shown) {
            if (!drawing.Pins.emplace(pin, shown).second)
                drawing.Faults.push_back("pin " + std::to_string(pin) + " shown twice");
        };
        add(leftPin, {tokens.front(), "Socket Pin " + match[1].str()});
        add(rightPin, {tokens.back(), match[5].str()});
        if (tokens.size() == 3) {
            drawing.Letters += tokens[1];
            drawing.LetterColumns.push_back(left + 1 + match[3].str().find(' ' + tokens[1] + ' ') + 1);
        }
    }
    return drawing;
}

std::map<int, ShownPin> Expected(const std::vector<std::tuple<int, std::string, std::string>>& table) {
    std::map<int, ShownPin> pins;
    for (const auto& [pin, signal, wire] : table)
        pins[pin] = {signal, wire};
    return pins;
}

const std::map<int, ShownPin> Wiring20 = Expected({
    {1, "A0", "Socket Pin 18"},   {2, "A1", "Socket Pin 19"},   {3, "A2", "Socket Pin 20"},
    {4, "A3", "Socket Pin 21"},   {5, "A4", "Socket Pin 22"},   {6, "D0", "Socket Pin 9"},
    {7, "D1", "Socket Pin 10"},   {8, "D2", "Socket Pin 11"},   {9, "D3", "Socket Pin 12"},
    {10, "GND", "Socket Pin 16"}, {11, "D4", "Socket Pin 13"},  {12, "D5", "Socket Pin 14"},
    {13, "D6", "Socket Pin 15"},  {14, "D7", "Socket Pin 17"},  {15, "E1", "Socket Pin 23"},
    {16, "A5", "Socket Pin 2"},   {17, "A6", "Socket Pin 1"},   {18, "A7", "Socket Pin 31"},
    {19, "A8", "Socket Pin 30"},  {20, "VCC", "Socket Pin 24"},
});

const std::map<int, ShownPin> Wiring24 = Expected({
    {1, "A7", "Socket Pin 31"},     {2, "A6", "Socket Pin 1"},   {3, "A5", "Socket Pin 2"},
    {4, "A4", "Socket Pin 22"},     {5, "A3", "Socket Pin 21"},  {6, "A2", "Socket Pin 20"},
    {7, "A1", "Socket Pin 19"},     {8, "A0", "Socket Pin 18"},  {9, "D0", "Socket Pin 9"},
    {10, "D1", "Socket Pin 10"},    {11, "D2", "Socket Pin 11"}, {12, "GND", "Socket Pin 16"},
    {13, "D3", "Socket Pin 12"},    {14, "D4", "Socket Pin 13"}, {15, "D5", "Socket Pin 14"},
    {16, "D6", "Socket Pin 15"},    {17, "D7", "Socket Pin 17"}, {18, "E4", "Socket Pin 24"},
    {19, "E3", "Socket Pin 34"},    {20, "E2", "Socket Pin 16"}, {21, "E1", "Socket Pin 31"},
    {22, "A9", "TP Zif Socket 26"}, {23, "A8", "Socket Pin 30"}, {24, "VCC", "Socket Pin 24"},
});

struct WiringCase {
    PromptMemo Memo;
    const std::map<int, ShownPin>* Pins;
};

class WiringPage : public ::testing::TestWithParam<WiringCase> {};

TEST_P(WiringPage, EveryPinIsWiredToItsSocketPinFacingItsOppositePin) {
    const Lines& lines = Page(GetParam().Memo);
    WiringDrawing drawing = TakeApart(lines);
    EXPECT_TRUE(drawing.Faults.empty()) << ::testing::PrintToString(drawing.Faults);

    const std::map<int, ShownPin>& expected = *GetParam().Pins;
    EXPECT_EQ(drawing.Pins, expected);
    const int count = static_cast<int>(expected.size());
    ASSERT_EQ(drawing.PinLineRows.size(), expected.size() / 2);
    for (size_t k = 0; k < drawing.PinLineRows.size(); ++k) {
        const std::string& line = lines[drawing.PinLineRows[k]];
        int left = std::stoi(line.substr(line.find("--") + 2));
        int right = std::stoi(line.substr(line.rfind('|') + 1));
        EXPECT_EQ(left, static_cast<int>(k) + 1) << line;
        EXPECT_EQ(right, count - static_cast<int>(k)) << line;
        if (k > 0) {
            EXPECT_EQ(drawing.PinLineRows[k], drawing.PinLineRows[k - 1] + 1) << "pin lines are consecutive";
        }
    }
}

TEST_P(WiringPage, ThePackageIsOutlinedWithPromAndChipDownItsMiddle) {
    const Lines& lines = Page(GetParam().Memo);
    WiringDrawing drawing = TakeApart(lines);
    ASSERT_FALSE(drawing.PinLineRows.empty());

    EXPECT_EQ(drawing.Letters, "PROMCHIP");
    for (size_t column : drawing.LetterColumns)
        EXPECT_EQ(column, drawing.LetterColumns.front()) << "the letters read down one column";
    auto [left, right] = drawing.Edges.front();
    for (auto edges : drawing.Edges)
        EXPECT_EQ(edges, drawing.Edges.front()) << "the package's sides are straight";
    size_t middle = (left + right) / 2;
    EXPECT_LE(std::max(drawing.LetterColumns.front(), middle) -
                  std::min(drawing.LetterColumns.front(), middle),
              1U);

    const size_t first = drawing.PinLineRows.front();
    const size_t last = drawing.PinLineRows.back();
    ASSERT_GT(first, 0U);
    ASSERT_LT(last + 1, lines.size());
    std::string width(right - left - 1, '_');
    EXPECT_EQ(lines[first - 1], std::string(left + 1, ' ') + width) << "top edge over the body";
    EXPECT_EQ(lines[last + 1], std::string(left, ' ') + "|" + width + "|") << "bottom edge closing the sides";
    EXPECT_EQ(last + 2, lines.size()) << "the outline ends the page";
}

INSTANTIATE_TEST_SUITE_P(AdapterPages, WiringPage,
                         ::testing::Values(WiringCase{PromptMemo::Page_1, &Wiring20},
                                           WiringCase{PromptMemo::Page_2, &Wiring24}),
                         [](const auto& info) { return std::string(PromptMemoName(info.param.Memo)); });

// Every place where a label's words stand one under another, starting in one
// column, each word standing apart from its neighbours on its line.
std::vector<std::pair<size_t, size_t>> FindStacked(const Lines& lines,
                                                   const std::vector<std::string>& words) {
    std::vector<std::pair<size_t, size_t>> found;
    for (size_t row = 0; row + words.size() <= lines.size(); ++row) {
        for (size_t column = lines[row].find(words[0]); column != std::string::npos;
             column = lines[row].find(words[0], column + 1)) {
            bool stacked = true;
            for (size_t k = 0; k < words.size() && stacked; ++k) {
                const std::string& line = lines[row + k];
                size_t end = column + words[k].size();
                stacked = line.compare(column, words[k].size(), words[k]) == 0 &&
                          (column == 0 || line[column - 1] == ' ') &&
                          (end >= line.size() || line[end] == ' ');
            }
            if (stacked)
                found.emplace_back(row, column);
        }
    }
    return found;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " / ") + word;
    return text;
}

TEST(AdapterPages, SeatingDrawingsCarryEveryLabelOneWordPerLine) {
    for (auto [memo, half] : {std::pair{PromptMemo::Lower, "Lower"}, std::pair{PromptMemo::Upper, "Upper"}}) {
        SCOPED_TRACE(half);
        const Lines& lines = Page(memo);
        for (const std::vector<std::string>& label :
             std::vector<std::vector<std::string>>{{"The", "Trevalo", "Programmer"},
                                                   {"Cable to", "Printer", "Port of", "Computer"},
                                                   {"TP Zif", "Socket"},
                                                   {"Use", half, "Half of", "Zif", "Socket"}}) {
            EXPECT_EQ(FindStacked(lines, label).size(), 1U) << Joined(label);
        }
        // The adapter's own socket is labelled, apart from the words beside the drawing.
        EXPECT_EQ(FindStacked(lines, {"Zif", "Socket"}).size(), 2U);

        const char* other = std::string(half) == "Lower" ? "Upper" : "Lower";
        for (const std::string& line : lines)
            EXPECT_EQ(line.find(other), std::string::npos) << line;
    }
}

// Rows of the drawing at a column, from the PROM's box outward: where the
// socket's edges lie above and below the part.
struct Seat {
    size_t SpaceAbove = 0;
    size_t SpaceBelow = 0;
};

std::optional<Seat> SeatOfTheProm(const Lines& lines) {
    auto prom = FindStacked(lines, {"P", "R", "O", "M"});
    if (prom.size() != 1)
        return std::nullopt;
    auto [row, column] = prom.front();
    auto at = [&](size_t r) { return column < lines[r].size() ? lines[r][column] : ' '; };
    // The part's own edges lie right above P and right below M.
    if (row < 2 || row + 5 >= lines.size() || at(row - 1) != '-' || at(row + 4) != '-')
        return std::nullopt;
    Seat seat;
    size_t r = row - 2;
    for (; r > 0 && at(r) == ' '; --r)
        ++seat.SpaceAbove;
    if (at(r) != '-')
        return std::nullopt;
    for (r = row + 5; r < lines.size() && at(r) == ' '; ++r)
        ++seat.SpaceBelow;
    if (r == lines.size() || at(r) != '-')
        return std::nullopt;
    return seat;
}

TEST(AdapterPages, ThePromSitsInTheHalfItsPageNames) {
    std::optional<Seat> lower = SeatOfTheProm(Page(PromptMemo::Lower));
    std::optional<Seat> upper = SeatOfTheProm(Page(PromptMemo::Upper));
    ASSERT_TRUE(lower && upper) << "the PROM stands in a socket with edges above and below it";
    EXPECT_EQ(lower->SpaceBelow, 0U);
    EXPECT_GE(lower->SpaceAbove, 4U);
    EXPECT_EQ(upper->SpaceAbove, 0U);
    EXPECT_GE(upper->SpaceBelow, 4U);
}

// The memos' sizes in the window, and the cell of the widest fixed-pitch face
// the pages may be shown in at 11 px, with room for the memo's frame and margin.
TEST(AdapterPages, EveryPageFitsItsMemoWithoutScrolling) {
    constexpr int CellWidth = 8, CellHeight = 15, Frame = 12;
    for (auto [memo, width, height] :
         {std::tuple{PromptMemo::Page_1, 425, 305}, std::tuple{PromptMemo::Page_2, 441, 337},
          std::tuple{PromptMemo::Lower, 497, 385}, std::tuple{PromptMemo::Upper, 497, 385}}) {
        SCOPED_TRACE(std::string(PromptMemoName(memo)));
        const Lines& lines = Page(memo);
        EXPECT_LE(static_cast<int>(lines.size()), (height - Frame) / CellHeight);
        for (const std::string& line : lines) {
            EXPECT_LE(static_cast<int>(line.size()), (width - Frame) / CellWidth) << line;
            for (char c : line)
                EXPECT_TRUE(c >= ' ' && c <= '~') << "only printable ASCII: " << line;
        }
    }
}

} // namespace
} // namespace quennel
