#include "device/Catalogue.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace quennel {
namespace {

int CellsOf(std::string_view organisation) {
    std::string words(organisation.substr(0, organisation.find(' ')));
    return words == "1k" ? 1024 : std::stoi(words);
}

TEST(Catalogue, HoldsFortyRowsInOrderWithTwentySevenDevices) {
    int devices = 0;
    for (int i = 0; i < CatalogueRows; ++i) {
        EXPECT_EQ(Catalogue()[i].Row, i);
        devices += Catalogue()[i].IsDevice ? 1 : 0;
    }
    EXPECT_EQ(devices, 27);
    EXPECT_EQ(Catalogue()[0].ListText, "    Signetics");
    EXPECT_EQ(Catalogue()[22].ListText, "    National");
    EXPECT_EQ(Catalogue()[16].ListText, "See Page 12 of Prom.Doc..");
    EXPECT_EQ(Catalogue()[34].ListText, "Requires Adapter Socket,");
}

// Each device row must agree with itself: list text 22 wide ending in its
// organisation, a cell count that matches DeviceEnd, and the seating its class calls for.
TEST(Catalogue, DeviceRowsAreConsistent) {
    std::set<std::string> captions;
    for (const CatalogueRow& row : Catalogue()) {
        if (!row.IsDevice) {
            EXPECT_TRUE(row.Caption.empty()) << row.Row;
            continue;
        }
        SCOPED_TRACE(row.Row);
        EXPECT_TRUE(captions.insert(std::string(row.Caption)).second) << "caption twice: " << row.Caption;
        EXPECT_EQ(row.ListText.size(), 22u);
        EXPECT_TRUE(row.ListText.ends_with(row.Organisation));
        EXPECT_EQ(CellsOf(row.Organisation), row.DeviceEnd + 1);
        EXPECT_EQ(row.Organisation.ends_with("X 4"), DataBitsOfClass(row.DeviceClass) == 4);
        switch (row.DeviceClass) {
        case 1:
        case 2:
            EXPECT_EQ(row.Memo, PromptMemo::Lower);
            break;
        case 3:
        case 4:
            EXPECT_EQ(row.Memo, PromptMemo::Upper);
            break;
        case 5:
        case 6:
            EXPECT_EQ(row.Memo, row.DeviceEnd == 0x3FF ? PromptMemo::Page_2 : PromptMemo::Page_1);
            break;
        default:
            ADD_FAILURE() << "class " << row.DeviceClass;
        }
        // Signetics parts sit above the National heading, in classes 1, 3 and 6.
        bool signetics = row.Row < 22;
        EXPECT_EQ(signetics, row.DeviceClass == 1 || row.DeviceClass == 3 || row.DeviceClass == 6);
    }
}

TEST(Catalogue, FindsDevicesByCaptionIgnoringCase) {
    const CatalogueRow* row = FindDeviceByCaption("82s181");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Row, 20);
    EXPECT_EQ(row->DeviceEnd, 0x3FF);
    EXPECT_EQ(row->DeviceClass, 6);
    EXPECT_EQ(PromptMemoName(row->Memo), "Page_2");
    EXPECT_EQ(SeatingText(*row), "24-pin adapter socket");

    // The button says 74S471 though the list says 74LS471.
    row = FindDeviceByCaption("74S471");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->Row, 37);
    EXPECT_EQ(FindDeviceByCaption("74LS471"), nullptr);

    // Suffixes in parentheses belong to the list text only.
    EXPECT_EQ(FindDeviceByCaption("82S147(A)"), nullptr);
    EXPECT_EQ(FindDeviceByCaption("82S23")->Row, 2);
    EXPECT_EQ(FindDeviceByCaption("82S23A")->Row, 4);
    EXPECT_EQ(FindDeviceByCaption(""), nullptr);
    EXPECT_EQ(FindDeviceByCaption("No Device"), nullptr);
    EXPECT_EQ(FindDeviceByCaption("    Signetics"), nullptr);
}

} // namespace
} // namespace quennel
