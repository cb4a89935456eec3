// The device list: its rows, what a choice sets, the seating prompt and
// the rows that are no device.

#include "WindowRig.h"
#include "device/Catalogue.h"

#include <QListWidget>
#include <QTest>
#include <gmock/gmock.h>

namespace quennel::test {
namespace {

class DeviceSelectionTest : public ::testing::Test {
protected:
    DeviceSelectionTest() { Rig.StartUp(); }

    // The Device button, then a row chosen with the mouse.
    void Choose(int row) {
        Rig.Click("Device");
        ASSERT_TRUE(Rig.Visible("Device_Box"));
        Rig.ChooseDeviceRow(row);
    }

    WindowRig Rig;
};

TEST_F(DeviceSelectionTest, ListHoldsTheFortyRowsAsTheCatalogueHasThem) {
    auto* list = Rig.Find<QListWidget>("Device_Box");
    ASSERT_EQ(list->count(), 40);
    EXPECT_EQ(list->item(0)->text().toStdString(), "    Signetics");
    EXPECT_EQ(list->item(1)->text().toStdString(), "");
    EXPECT_EQ(list->item(16)->text().toStdString(), "See Page 12 of Prom.Doc..");
    EXPECT_EQ(list->item(20)->text().toStdString(), "82S181(A)(C)    1k X 8");
    EXPECT_EQ(list->item(37)->text().toStdString(), "74LS471        256 X 8");
    EXPECT_EQ(list->item(39)->text().toStdString(), "74S473(A)      512 X 8");
    EXPECT_EQ(list->visualItemRect(list->item(2)).height(), 15);
}

TEST_F(DeviceSelectionTest, DeviceButtonLocksUntilARowIsChosen) {
    Rig.Click("Device");
    EXPECT_TRUE(Rig.Visible("Device_Box"));
    EXPECT_FALSE(Rig.Enabled("Device"));
    EXPECT_FALSE(Rig.Enabled("Program_Eprom"));
    Rig.ChooseDeviceRow(7);
    EXPECT_FALSE(Rig.Visible("Device_Box"));
    EXPECT_TRUE(Rig.Enabled("Device"));
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_EQ(Rig.Text("Device"), "82S129");
    EXPECT_EQ(Rig.Text("StaticText3"), "The Trevalo Programmer was Found at 0378");
}

TEST_F(DeviceSelectionTest, Row20Is82S181OnTheTwentyFourPinPage) {
    std::vector<std::string> shownPages;
    Rig.Dialogs.WhileBoxOpen = [&](const MessageBoxRequest&) {
        for (const char* page : {"Page_1", "Page_2", "Lower", "Upper"})
            if (Rig.Visible(page))
                shownPages.push_back(page);
    };
    Choose(20);
    EXPECT_EQ(Rig.Text("Device"), "82S181");
    EXPECT_EQ(Rig.State().DeviceEnd, 0x3FF);
    EXPECT_EQ(Rig.State().DeviceClass, 6);
    EXPECT_EQ(Rig.State().DeviceRow, 20);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=3FF");
    EXPECT_THAT(shownPages, ::testing::ElementsAre("Page_2"));
    // The prompt is an empty information box at 170, 260, and its page is
    // on view exactly while the box is open.
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Icon, MessageBoxRequest::Kind::Information);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Text, "");
    EXPECT_EQ(Rig.Dialogs.Boxes[0].X, 170);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Y, 260);
    EXPECT_FALSE(Rig.Visible("Page_2"));
}

TEST_F(DeviceSelectionTest, Row37ShowsTheButtonsCaptionNotTheListsText) {
    Choose(37);
    EXPECT_EQ(Rig.Text("Device"), "74S471");
    EXPECT_EQ(Rig.State().DeviceClass, 5);
}

TEST_F(DeviceSelectionTest, Row6AfterRow2ChangesClassAndEnd) {
    Choose(2);
    EXPECT_EQ(Rig.State().DeviceClass, 1);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=01F");
    EXPECT_EQ(Rig.Programmer.Width, 8);
    Choose(6);
    EXPECT_EQ(Rig.State().DeviceClass, 3);
    EXPECT_EQ(Rig.State().DeviceEnd, 0x0FF);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=0FF");
    // The simulated socket now holds a 4-bit part, as the prompt asked.
    EXPECT_EQ(Rig.Programmer.Width, 4);
}

TEST_F(DeviceSelectionTest, Row0AfterRow24IsNoDeviceWithTheOldClass) {
    Choose(24);
    Choose(0);
    EXPECT_EQ(Rig.State().DeviceClass, 2);
    EXPECT_EQ(Rig.State().DeviceEnd, 0x3FF);
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=3FF");
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 2u);
    EXPECT_EQ(Rig.Dialogs.Boxes[1].Text, "No Device Was Selected.");
    EXPECT_FALSE(Rig.Dialogs.Boxes[1].X.has_value());
    for (const char* page : {"Page_1", "Page_2", "Lower", "Upper"})
        EXPECT_FALSE(Rig.Visible(page)) << page;
}

TEST_F(DeviceSelectionTest, StoredRowsOutsideTheListChangeNothing) {
    Choose(26);
    const size_t boxes = Rig.Dialogs.Boxes.size();
    for (int32_t row : {40, -1}) {
        Rig.State().DeviceRow = row;
        Rig.Form().ApplyDeviceSelection();
        EXPECT_EQ(Rig.Text("Device"), "74S287");
        EXPECT_EQ(Rig.State().DeviceEnd, 0x0FF);
        EXPECT_EQ(Rig.State().DeviceClass, 4);
        EXPECT_EQ(Rig.Text("End_Add"), "Device End=0FF");
    }
    EXPECT_EQ(Rig.Dialogs.Boxes.size(), boxes);
}

TEST_F(DeviceSelectionTest, EnterChoosesTheRowTheArrowsMovedTo) {
    Rig.Click("Device");
    auto* list = Rig.Find<QListWidget>("Device_Box");
    list->setFocus();
    list->setCurrentRow(3);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Rig.Text("Device"), "No Device") << "moving through the list chooses nothing";
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(Rig.Text("Device"), "82S23A");
    EXPECT_FALSE(Rig.Visible("Device_Box"));
}

} // namespace
} // namespace quennel::test
