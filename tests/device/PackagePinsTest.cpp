// The pins each device's package is reached by.
#include "device/PackagePins.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quennel {
namespace {

// Every device's package carries each signal a diagnosis can name, on pins
// of its own; the 16-pin packages as their makers number them.
TEST(PackagePins, EveryDeviceHasEachOfItsSignalsOnAPinOfItsOwn) {
    for (const CatalogueRow& row : Catalogue()) {
        if (!row.IsDevice) {
            EXPECT_TRUE(PackagePinsOf(row).empty());
            continue;
        }
        SCOPED_TRACE(std::string(row.Caption));
        const std::span<const PackagePin> pins = PackagePinsOf(row);
        for (size_t k = 0; k < pins.size(); ++k)
            EXPECT_EQ(pins[k].Pin, static_cast<int>(k) + 1);
        std::vector<std::string> wanted{"VCC", "GND"};
        for (int line = 0; line < DataBitsOfClass(row.DeviceClass); ++line)
            wanted.push_back("D" + std::to_string(line));
        for (int line = 0; (1 << line) <= row.DeviceEnd; ++line)
            wanted.push_back("A" + std::to_string(line));
        for (const std::string& signal : wanted) {
            const PackagePin* pin = FindSignalPin(pins, signal);
            ASSERT_NE(pin, nullptr) << signal;
            EXPECT_EQ(std::ranges::count(pins, std::string_view(signal), &PackagePin::Signal), 1) << signal;
            EXPECT_EQ(pin->SocketPin != 0, row.Memo == PromptMemo::Page_1 || row.Memo == PromptMemo::Page_2);
        }
        EXPECT_EQ(FindSignalPin(pins, "D" + std::to_string(DataBitsOfClass(row.DeviceClass))), nullptr);
    }
    auto pinOf = [](const char* caption, const char* signal) {
        return FindSignalPin(PackagePinsOf(*FindDeviceByCaption(caption)), signal)->Pin;
    };
    EXPECT_EQ(pinOf("74S288", "D7"), 9);
    EXPECT_EQ(pinOf("74S288", "A0"), 10);
    EXPECT_EQ(pinOf("82S129", "A0"), 5);
    EXPECT_EQ(pinOf("82S129", "A3"), 4);
    EXPECT_EQ(pinOf("82S129", "A7"), 15);
    EXPECT_EQ(pinOf("82S129", "D0"), 12);
    EXPECT_EQ(pinOf("74S571", "A8"), 14);
    EXPECT_EQ(pinOf("74S571", "D3"), 9);
}

} // namespace
} // namespace quennel
