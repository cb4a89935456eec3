#include "console/logic/AdapterPages.h"

#include "device/PackagePins.h"

#include <cstdio>
#include <span>
#include <string_view>

namespace quennel {

namespace {

constexpr std::string_view BannerText = "= Prom Adapter for The Trevalo Programmer =";

// The package as drawn: pin lines pair pin k with pin N + 1 - k, the body is
// ten characters wide, and PROM / CHIP read down its middle.
struct AdapterSocket {
    std::string_view Heading;
    std::span<const PackagePin> Pins; // in pin order
    int SignalIndent;                 // blanks between the left edge and a left-hand signal
    bool TrailingBlank;
    std::string_view Letters; // one per pin line, ' ' for none
};

constexpr int BodyWidth = 10;
constexpr int LetterColumn = 5;

AdapterSocket Socket20() {
    return {"                  20 Pin Adapter ", Adapter20Pins(), 1, true, " PROM CHIP"};
}
AdapterSocket Socket24() {
    return {"                  24 Pin Adapter ", Adapter24Pins(), 0, false, " PROM  CHIP "};
}

std::vector<std::string> Banner(int indent) {
    std::string margin(static_cast<size_t>(indent), ' ');
    std::string row = margin + std::string(BannerText.size(), '=');
    return {row, margin + std::string(BannerText), row};
}

std::string Wire(const PackagePin& pin) {
    return (pin.OnTpZif ? "TP Zif Socket " : "Socket Pin ") + std::to_string(pin.SocketPin);
}

std::string PinLine(const AdapterSocket& socket, size_t row) {
    const PackagePin& left = socket.Pins[row];
    const PackagePin& right = socket.Pins[socket.Pins.size() - 1 - row];

    std::string body(BodyWidth, ' ');
    body.replace(static_cast<size_t>(socket.SignalIndent), left.Signal.size(), left.Signal);
    body.replace(BodyWidth - right.Signal.size(), right.Signal.size(), right.Signal);
    body[LetterColumn] = socket.Letters[row];

    // The left-hand wire is padded so that the body's edge stays in one column.
    char leftWire[32];
    std::snprintf(leftWire, sizeof leftWire, "%s %2d -- %2d|", left.OnTpZif ? "TP Zif Socket" : "Socket Pin",
                  left.SocketPin, left.Pin);
    char rightPin[8];
    std::snprintf(rightPin, sizeof rightPin, "|%2d -- ", right.Pin);
    return leftWire + body + rightPin + Wire(right) + (socket.TrailingBlank ? " " : "");
}

std::vector<std::string> WiringPage(const AdapterSocket& socket) {
    std::vector<std::string> lines = Banner(4);
    lines.push_back("");
    lines.push_back("  This Part Requires a Adapter Socket as Follows: ");
    lines.push_back("");
    lines.push_back(std::string(socket.Heading));
    std::string firstPin = PinLine(socket, 0);
    size_t edge = firstPin.find('|');
    lines.push_back(std::string(edge + 1, ' ') + std::string(BodyWidth, '_'));
    for (size_t row = 0; row < socket.Pins.size() / 2; ++row)
        lines.push_back(PinLine(socket, row));
    lines.push_back(std::string(edge, ' ') + "|" + std::string(BodyWidth, '_') + "|");
    return lines;
}

// Both seating drawings are the same picture; only the ZIF socket's inside
// and the words beside it differ.
std::vector<std::string> SeatingPage(bool lowerHalf) {
    std::vector<std::string> lines = Banner(7);
    lines.push_back("");
    const std::vector<std::string> top = {
        "              _______________________________",  "             | The         +---------------+ |",
        "             | Trevalo     |  Zif          | |", "             | Programmer  |  Socket       | |",
        "             |             |  .---------.  | |",
    };
    const std::vector<std::string> lower = {
        "             |             |  | o     o |  | |",
        "             |             |  | o     o |  | |",
        "Cable to     |             |  | o     o |  | |",
        "Printer =====|             |  | o     o |  | |",
        "Port of      |             |  | o     o |  | |",
        "Computer     |             |  | .-----. |  | |",
        "             |             |  | |  P  | |  | |   Use",
        "             |             |  | |  R  | |  | |   Lower",
        "             |             |  | |  O  | |  | |   Half of",
        "             |             |  | |  M  | |  | |   Zif",
        "             |             |  | '-----' |  | |   Socket",
    };
    const std::vector<std::string> upper = {
        "             |             |  | .-----. |  | |",
        "             |             |  | |  P  | |  | |   Use",
        "Cable to     |             |  | |  R  | |  | |   Upper",
        "Printer =====|             |  | |  O  | |  | |   Half of",
        "Port of      |             |  | |  M  | |  | |   Zif",
        "Computer     |             |  | '-----' |  | |   Socket",
        "             |             |  | o     o |  | |",
        "             |             |  | o     o |  | |",
        "             |             |  | o     o |  | |",
        "             |             |  | o     o |  | |",
        "             |             |  | o     o |  | |",
    };
    const std::vector<std::string> bottom = {
        "             |  TP Zif     |  '---------'  | |",
        "             |  Socket --> [===============] |",
        "             |_______________________________|",
    };
    for (const auto* part : {&top, lowerHalf ? &lower : &upper, &bottom})
        lines.insert(lines.end(), part->begin(), part->end());
    return lines;
}

} // namespace

const std::vector<std::string>& AdapterPageLines(PromptMemo memo) {
    static const std::vector<std::string> Page1 = WiringPage(Socket20());
    static const std::vector<std::string> Page2 = WiringPage(Socket24());
    static const std::vector<std::string> LowerPage = SeatingPage(true);
    static const std::vector<std::string> UpperPage = SeatingPage(false);
    static const std::vector<std::string> NoPage;
    switch (memo) {
    case PromptMemo::Page_1:
        return Page1;
    case PromptMemo::Page_2:
        return Page2;
    case PromptMemo::Lower:
        return LowerPage;
    case PromptMemo::Upper:
        return UpperPage;
    case PromptMemo::None:
        break;
    }
    return NoPage;
}

} // namespace quennel
