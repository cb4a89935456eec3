#include "device/PackagePins.h"

#include <algorithm>
#include <array>

namespace quennel {

namespace {

// The adapter sockets as wired to the programmer's socket.
constexpr std::array<PackagePin, 20> Pins20{{
    {1, "A0", 18},  {2, "A1", 19},  {3, "A2", 20},  {4, "A3", 21},  {5, "A4", 22},
    {6, "D0", 9},   {7, "D1", 10},  {8, "D2", 11},  {9, "D3", 12},  {10, "GND", 16},
    {11, "D4", 13}, {12, "D5", 14}, {13, "D6", 15}, {14, "D7", 17}, {15, "E1", 23},
    {16, "A5", 2},  {17, "A6", 1},  {18, "A7", 31}, {19, "A8", 30}, {20, "VCC", 24},
}};

constexpr std::array<PackagePin, 24> Pins24{{
    {1, "A7", 31},  {2, "A6", 1},   {3, "A5", 2},   {4, "A4", 22},        {5, "A3", 21},  {6, "A2", 20},
    {7, "A1", 19},  {8, "A0", 18},  {9, "D0", 9},   {10, "D1", 10},       {11, "D2", 11}, {12, "GND", 16},
    {13, "D3", 12}, {14, "D4", 13}, {15, "D5", 14}, {16, "D6", 15},       {17, "D7", 17}, {18, "E4", 24},
    {19, "E3", 34}, {20, "E2", 16}, {21, "E1", 31}, {22, "A9", 26, true}, {23, "A8", 30}, {24, "VCC", 24},
}};

// The standard 16-pin packages (the makers number outputs from 1 and name
// address inputs A to H: output 1 is D0 here, input A is A0).
// 32 x 8: 82S23, 82S123, 74S188, 74S288.
constexpr std::array<PackagePin, 16> Pins32By8{{
    {1, "D0"},  {2, "D1"},  {3, "D2"},  {4, "D3"},  {5, "D4"},  {6, "D5"},  {7, "D6"},  {8, "GND"},
    {9, "D7"},  {10, "A0"}, {11, "A1"}, {12, "A2"}, {13, "A3"}, {14, "A4"}, {15, "E1"}, {16, "VCC"},
}};

// 256 x 4: 82S126, 82S129, 74S287, 74S387.
constexpr std::array<PackagePin, 16> Pins256By4{{
    {1, "A6"},  {2, "A5"},  {3, "A4"},  {4, "A3"},  {5, "A0"},  {6, "A1"},  {7, "A2"},  {8, "GND"},
    {9, "D3"},  {10, "D2"}, {11, "D1"}, {12, "D0"}, {13, "E1"}, {14, "E2"}, {15, "A7"}, {16, "VCC"},
}};

// 512 x 4: 82S130, 82S131, 74S570, 74S571; the second enable's pin carries A8.
constexpr std::array<PackagePin, 16> Pins512By4{{
    {1, "A6"},  {2, "A5"},  {3, "A4"},  {4, "A3"},  {5, "A0"},  {6, "A1"},  {7, "A2"},  {8, "GND"},
    {9, "D3"},  {10, "D2"}, {11, "D1"}, {12, "D0"}, {13, "E1"}, {14, "A8"}, {15, "A7"}, {16, "VCC"},
}};

constexpr int32_t Last256 = 0x0FF;

} // namespace

std::span<const PackagePin> Adapter20Pins() {
    return Pins20;
}

std::span<const PackagePin> Adapter24Pins() {
    return Pins24;
}

std::span<const PackagePin> PackagePinsOf(const CatalogueRow& row) {
    if (!row.IsDevice)
        return {};
    switch (row.Memo) {
    case PromptMemo::Lower:
        return Pins32By8;
    case PromptMemo::Upper:
        if (row.DeviceEnd <= Last256)
            return Pins256By4;
        return Pins512By4;
    case PromptMemo::Page_1:
        return Pins20;
    case PromptMemo::Page_2:
        return Pins24;
    case PromptMemo::None:
        break;
    }
    return {};
}

const PackagePin* FindSignalPin(std::span<const PackagePin> pins, std::string_view signal) {
    auto found = std::ranges::find(pins, signal, &PackagePin::Signal);
    return found == pins.end() ? nullptr : &*found;
}

} // namespace quennel
