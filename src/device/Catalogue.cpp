#include "device/Catalogue.h"

#include "device/LatchValues.h"

#include <algorithm>
#include <cctype>

namespace quennel {

namespace {

constexpr CatalogueRow Text(int32_t row, std::string_view text) {
    return {row, text, false, {}, {}, 0, 0, PromptMemo::None};
}

constexpr CatalogueRow Part(int32_t row, std::string_view text, std::string_view caption,
                            std::string_view organisation, int32_t end, int32_t deviceClass,
                            PromptMemo memo) {
    return {row, text, true, caption, organisation, end, deviceClass, memo};
}

using enum PromptMemo;

constexpr std::array<CatalogueRow, CatalogueRows> Rows{{
    Text(0, "    Signetics"),
    Text(1, ""),
    Part(2, "82S23           32 X 8", "82S23", "32 X 8", 0x01F, 1, Lower),
    Part(3, "82S123          32 X 8", "82S123", "32 X 8", 0x01F, 1, Lower),
    Part(4, "82S23A          32 X 8", "82S23A", "32 X 8", 0x01F, 1, Lower),
    Part(5, "82S123A         32 X 8", "82S123A", "32 X 8", 0x01F, 1, Lower),
    Part(6, "82S126         256 X 4", "82S126", "256 X 4", 0x0FF, 3, Upper),
    Part(7, "82S129         256 X 4", "82S129", "256 X 4", 0x0FF, 3, Upper),
    Part(8, "82S126A        256 X 4", "82S126A", "256 X 4", 0x0FF, 3, Upper),
    Part(9, "82S129A        256 X 4", "82S129A", "256 X 4", 0x0FF, 3, Upper),
    Part(10, "82S130         512 X 4", "82S130", "512 X 4", 0x1FF, 3, Upper),
    Part(11, "82S131         512 X 4", "82S131", "512 X 4", 0x1FF, 3, Upper),
    Part(12, "82S130A        512 X 4", "82S130A", "512 X 4", 0x1FF, 3, Upper),
    Part(13, "82S131A        512 X 4", "82S131A", "512 X 4", 0x1FF, 3, Upper),
    Text(14, ""),
    Text(15, "Requires Adapter Socket,"),
    Text(16, "See Page 12 of Prom.Doc.."),
    Text(17, ""),
    Part(18, "82S135         256 X 8", "82S135", "256 X 8", 0x0FF, 6, Page_1),
    Part(19, "82S147(A)      512 X 8", "82S147", "512 X 8", 0x1FF, 6, Page_1),
    Part(20, "82S181(A)(C)    1k X 8", "82S181", "1k X 8", 0x3FF, 6, Page_2),
    Text(21, ""),
    Text(22, "    National"),
    Text(23, ""),
    Part(24, "74S188          32 X 8", "74S188", "32 X 8", 0x01F, 2, Lower),
    Part(25, "74S288          32 X 8", "74S288", "32 X 8", 0x01F, 2, Lower),
    Part(26, "74S287         256 X 4", "74S287", "256 X 4", 0x0FF, 4, Upper),
    Part(27, "74S387         256 X 4", "74S387", "256 X 4", 0x0FF, 4, Upper),
    Part(28, "74S570         512 X 4", "74S570", "512 X 4", 0x1FF, 4, Upper),
    Part(29, "74S571         512 X 4", "74S571", "512 X 4", 0x1FF, 4, Upper),
    Part(30, "74S570A        512 X 4", "74S570A", "512 X 4", 0x1FF, 4, Upper),
    Part(31, "74S571A        512 X 4", "74S571A", "512 X 4", 0x1FF, 4, Upper),
    Part(32, "74S571B        512 X 4", "74S571B", "512 X 4", 0x1FF, 4, Upper),
    Text(33, ""),
    Text(34, "Requires Adapter Socket,"),
    Text(35, "See Page 12 of Prom.Doc.."),
    Text(36, ""),
    Part(37, "74LS471        256 X 8", "74S471", "256 X 8", 0x0FF, 5, Page_1),
    Part(38, "74S472(A)(B)   512 X 8", "74S472", "512 X 8", 0x1FF, 5, Page_1),
    Part(39, "74S473(A)      512 X 8", "74S473", "512 X 8", 0x1FF, 5, Page_1),
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
    });
}

} // namespace

const std::array<CatalogueRow, CatalogueRows>& Catalogue() {
    return Rows;
}

const CatalogueRow* FindDeviceByCaption(std::string_view caption) {
    for (const CatalogueRow& row : Rows)
        if (row.IsDevice && SameIgnoringCase(row.Caption, caption))
            return &row;
    return nullptr;
}

std::string_view PromptMemoName(PromptMemo memo) {
    switch (memo) {
    case PromptMemo::Lower:
        return "Lower";
    case PromptMemo::Upper:
        return "Upper";
    case PromptMemo::Page_1:
        return "Page_1";
    case PromptMemo::Page_2:
        return "Page_2";
    case PromptMemo::None:
        break;
    }
    return {};
}

std::string_view SeatingText(const CatalogueRow& row) {
    switch (row.Memo) {
    case PromptMemo::Lower:
        return "lower half of the adapter's ZIF socket";
    case PromptMemo::Upper:
        return "upper half of the adapter's ZIF socket";
    case PromptMemo::Page_1:
        return "20-pin adapter socket";
    case PromptMemo::Page_2:
        return "24-pin adapter socket";
    case PromptMemo::None:
        break;
    }
    return {};
}

int DataBitsOfClass(int32_t deviceClass) {
    return ValuesOfClass(deviceClass).DataBits;
}

} // namespace quennel
