#pragma once
// The fixed list of devices the programmer knows: 40 rows, of which 27 are
// devices and the rest headings, notes and spacers. The window builds its
// device list from these rows; the command line looks devices up by caption.

#include <array>
#include <cstdint>
#include <string_view>

namespace quennel {

// Where the part is seated, named after the page that shows it.
enum class PromptMemo { None, Lower, Upper, Page_1, Page_2 };

struct CatalogueRow {
    int32_t Row = 0;
    std::string_view ListText; // as the list shows it (22 characters for a device)
    bool IsDevice = false;
    std::string_view Caption;      // the Device button's caption; empty for other rows
    std::string_view Organisation; // "256 X 4"
    int32_t DeviceEnd = 0;
    int32_t DeviceClass = 0;
    PromptMemo Memo = PromptMemo::None;
};

inline constexpr int CatalogueRows = 40;

const std::array<CatalogueRow, CatalogueRows>& Catalogue();

// The row with this Device caption, compared without regard to case; null
// when no device has it.
const CatalogueRow* FindDeviceByCaption(std::string_view caption);

// "Lower", "Upper", "Page_1", "Page_2"; empty for None.
std::string_view PromptMemoName(PromptMemo memo);

// How a part of this row is seated ("upper half of the adapter's ZIF socket").
std::string_view SeatingText(const CatalogueRow& row);

// Data bits of a device class: 4 for classes 3 and 4, otherwise 8.
int DataBitsOfClass(int32_t deviceClass);

} // namespace quennel
