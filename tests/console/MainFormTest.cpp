// The window and its command frame: the controls as they start, locking and
// unlocking, the status line's retry of the search, the help page, the
// button-size switch and the application error report.

#include "ScratchFolder.h"
#include "WindowRig.h"
#include "buffer/IntegerText.h"

#include <QDir>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <fstream>
#include <gmock/gmock.h>
#include <map>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::vector<const char*> DeviceButtons{"Program_Eprom", "Verify_Eprom", "Move_Eprom", "Blank_Chk",
                                             "Compare"};

// Notes the order in which buttons change their enabled state.
class EnableOrder : public QObject {
public:
    std::vector<std::string> Names;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange)
            Names.push_back(watched->objectName().toStdString());
        return false;
    }
};

TEST(MainForm, StartsAsDesigned) {
    WindowRig rig;
    TMainForm& form = rig.Form();
    EXPECT_EQ(form.windowTitle().toStdString(), std::string("Quennel ") + QUENNEL_VERSION);
    EXPECT_EQ(form.size(), QSize(662, 476));
    EXPECT_EQ(rig.Text("Device"), "No Device");
    EXPECT_EQ(rig.Text("StaticText3"), "Looking For Programmer");
    EXPECT_EQ(rig.StatusColour(), Yellow);
    EXPECT_EQ(rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_EQ(rig.Text("Chk_Sum_But"), "&Check Sum=0000");
    EXPECT_EQ(rig.Text("Address"), "0000");
    for (const char* name : DeviceButtons)
        EXPECT_FALSE(rig.Enabled(name)) << name;
    for (const char* name : {"Chk_Sum_But", "Save_But", "Load_But", "File_But", "Device", "Help_1", "Scale",
                             "Edit", "Fill", "Start_Add", "End_Add"})
        EXPECT_TRUE(rig.Enabled(name)) << name;
    EXPECT_TRUE(rig.Visible("Memo1"));
    for (const char* name : {"Help1", "Device_Box", "File_Type", "FillBox", "Fill_Edit", "Edit_1",
                             "Chg_Edit_Add", "Page_1", "Page_2", "Lower", "Upper"})
        EXPECT_FALSE(rig.Visible(name)) << name;

    // A few places and captions from the design, the panels' buttons
    // stacked in steps of 20.
    EXPECT_EQ(rig.Find<QWidget>("Panel5")->geometry(), QRect(6, 200, 118, 88));
    EXPECT_EQ(rig.Find<QWidget>("File_But")->geometry(), QRect(4, 64, 110, 20));
    EXPECT_EQ(rig.Find<QWidget>("Memo1")->geometry(), QRect(165, 56, 397, 241));
    EXPECT_EQ(rig.Find<QWidget>("Edit_1")->geometry(), QRect(130, 53, 511, 263));
    EXPECT_EQ(rig.Find<QWidget>("Help_1")->toolTip().toStdString(), "Requires Varrow.Txt File...");
    EXPECT_EQ(rig.Find<QWidget>("Start_Add")->toolTip().toStdString(), "");
    EXPECT_EQ(rig.Find<QWidget>("Memo1")->font().pixelSize(), 13);
    EXPECT_EQ(rig.Find<QWidget>("StaticText3")->font().pixelSize(), 12);
}

TEST(CommandFrame, LockDisablesTheSixteenInOrderAndUnlockColoursByTheFlag) {
    WindowRig rig;
    rig.StartUp();
    rig.Form().ShowAddress("01A5");
    EnableOrder order;
    for (const char* name : SixteenButtons)
        rig.Find<QWidget>(name)->installEventFilter(&order);

    rig.Form().LockControls();
    EXPECT_THAT(order.Names, ElementsAreArray(SixteenButtons));
    for (const char* name : SixteenButtons)
        EXPECT_FALSE(rig.Enabled(name)) << name;
    EXPECT_TRUE(rig.Enabled("Address"));
    EXPECT_EQ(rig.Text("Address"), "01A5");
    EXPECT_FALSE(rig.Visible("Memo1"));
    EXPECT_EQ(rig.StatusColour(), Yellow);
    EXPECT_EQ(rig.State().StatusFault, 0);

    rig.State().StatusFault = 1;
    rig.Form().UnlockControls();
    for (const char* name : SixteenButtons)
        EXPECT_TRUE(rig.Enabled(name)) << name;
    EXPECT_EQ(rig.StatusColour(), Red);
    rig.Form().LockControls();
    rig.Form().UnlockControls();
    EXPECT_EQ(rig.StatusColour(), Lime);
}

TEST(CommandFrame, UnlockHidesTheChoicePagesButKeepsTheResultList) {
    WindowRig rig;
    rig.Form().ShowResults(true);
    for (const char* name : {"Help1", "FillBox", "Fill_Edit", "File_Type", "Device_Box"})
        rig.Find<QWidget>(name)->show();
    rig.Form().UnlockControls();
    for (const char* name : {"Help1", "FillBox", "Fill_Edit", "File_Type"})
        EXPECT_FALSE(rig.Visible(name)) << name;
    EXPECT_TRUE(rig.Visible("Memo1"));
    EXPECT_TRUE(rig.Visible("Device_Box"));
}

TEST(StartUp, FindsTheProgrammerAndOpensTheDeviceList) {
    WindowRig rig;
    rig.StartUp();
    EXPECT_EQ(rig.State().ProgrammerModel, 2);
    EXPECT_EQ(rig.State().PortBase, 0x378);
    for (const char* name : DeviceButtons)
        EXPECT_TRUE(rig.Enabled(name)) << name;
    EXPECT_TRUE(rig.Visible("Device_Box"));
    EXPECT_FALSE(rig.Visible("Memo1"));
    EXPECT_EQ(rig.StatusColour(), Lime);
    EXPECT_EQ(rig.Text("StaticText3"), "Testing");
    EXPECT_TRUE(rig.Form().isEnabled());
    EXPECT_TRUE(rig.Dialogs.Boxes.empty());
}

TEST(StaticText3Click, SearchesAgainAfterAFailedSearchAndOpensTheDeviceList) {
    WindowRig rig(false);
    bool disabledDuringSearch = false;
    rig.Dialogs.WhileBoxOpen = [&](const MessageBoxRequest&) {
        disabledDuringSearch = !rig.Form().isEnabled();
    };
    rig.StartUp();
    ASSERT_EQ(rig.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(rig.Dialogs.Boxes[0].Title, "Information");
    EXPECT_EQ(rig.Dialogs.Boxes[0].X, 375);
    EXPECT_EQ(rig.Dialogs.Boxes[0].Y, 325);
    EXPECT_TRUE(disabledDuringSearch);
    EXPECT_EQ(rig.StatusColour(), Red);
    for (const char* name : DeviceButtons)
        EXPECT_FALSE(rig.Enabled(name)) << name;
    // With no programmer the buffer commands work as ever.
    EXPECT_TRUE(rig.Enabled("Help_1"));
    EXPECT_TRUE(rig.Enabled("Edit"));
    // The device list is opened at start-up whatever the search found.
    rig.Find<QWidget>("Device_Box")->hide();

    // The programmer is plugged in; a click on the status line searches again.
    rig.Bus.Attach(0x378, rig.Programmer);
    rig.Find<QPlainTextEdit>("Memo1")->setPlainText("old line");
    std::vector<std::string> memoDuringBox;
    rig.Click("StaticText3");
    EXPECT_EQ(rig.State().ProgrammerModel, 2);
    EXPECT_EQ(rig.Text("StaticText3"), "The Trevalo Programmer was Found at 0378");
    for (const char* name : DeviceButtons)
        EXPECT_TRUE(rig.Enabled(name)) << name;
    EXPECT_TRUE(rig.Visible("Device_Box"));
    EXPECT_FALSE(rig.Visible("Memo1"));
    const QString memo = rig.Find<QPlainTextEdit>("Memo1")->toPlainText();
    EXPECT_FALSE(memo.contains("old line")) << "the result list is cleared before the search";
    EXPECT_TRUE(memo.startsWith("Port Address - 0278"));
    EXPECT_EQ(rig.StatusColour(), Lime);
    EXPECT_EQ(rig.Dialogs.Boxes.size(), 1u);
}

// On real hardware with no usable port, the status line says why in one
// line; where a port is usable (or the search found the programmer) the
// search's own captions stand.
TEST(StartUp, APortThatCannotBeUsedIsNamedOnTheStatusLine) {
    WindowRig rig(false);
    const std::string line = "No parallel port found: load the parport_pc and ppdev modules";
    rig.Form().PortAccessProblem = [&] { return std::optional<std::string>(line); };
    rig.StartUp();
    EXPECT_EQ(rig.Text("StaticText3"), line);
    EXPECT_EQ(rig.StatusColour(), Red);

    WindowRig usable(false);
    usable.Form().PortAccessProblem = [] { return std::optional<std::string>(); };
    usable.StartUp();
    EXPECT_EQ(usable.Text("StaticText3"), "Looking For Programmer");

    WindowRig found;
    found.Form().PortAccessProblem = [&] { return std::optional<std::string>(line); };
    found.StartUp();
    EXPECT_EQ(found.Text("StaticText3"), "Testing");
}

TEST(StaticText3Click, WithAProgrammerKnownOnlyUnlocks) {
    WindowRig rig;
    rig.StartUp();
    const size_t accesses = rig.Trace.Events().size();
    rig.Form().ShowStatus("Device is Erased....");
    rig.State().StatusFault = 1;
    rig.Click("StaticText3");
    EXPECT_EQ(rig.Text("StaticText3"), "Device is Erased....");
    EXPECT_EQ(rig.StatusColour(), Red);
    // Only the idle state went to the programmer: no port was opened again.
    for (size_t i = accesses; i < rig.Trace.Events().size(); ++i)
        EXPECT_NE(rig.Trace.Events()[i].What, BusEvent::Kind::Call)
            << BusTrace::Format(rig.Trace.Events()[i]);
}

class HelpPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Previous = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(Here.Path.string()));
        Rig.Form().ProgramDir = Program.Path;
    }
    void TearDown() override { QDir::setCurrent(Previous); }

    static void Write(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::string HelpText() { return Rig.Find<QPlainTextEdit>("Help1")->toPlainText().toStdString(); }

    ScratchFolder Here;
    ScratchFolder Program;
    QString Previous;
    WindowRig Rig;
};

TEST_F(HelpPageTest, ReadsTheCurrentDirectorysFileAgainOnEveryClick) {
    Write(Here.Path / "Halden.Txt", "First line\r\nSecond line\r\n");
    Write(Program.Path / "Halden.Txt", "the program's copy\n");
    Rig.Click("Help_1");
    EXPECT_TRUE(Rig.Visible("Help1"));
    EXPECT_FALSE(Rig.Visible("Memo1"));
    EXPECT_EQ(HelpText(), "First line\nSecond line");

    Write(Here.Path / "Halden.Txt", "Changed\n");
    Rig.Click("Help_1");
    EXPECT_EQ(HelpText(), "Changed");
    EXPECT_TRUE(Rig.Visible("Help1"));

    // The page stays until the next command's frame.
    Rig.Form().LockControls();
    EXPECT_FALSE(Rig.Visible("Help1"));
}

TEST_F(HelpPageTest, FallsBackOnTheProgramsCopy) {
    Write(Program.Path / "Halden.Txt", "the program's copy\n");
    Rig.Click("Help_1");
    EXPECT_EQ(HelpText(), "the program's copy");
    EXPECT_TRUE(Rig.Visible("Help1"));
}

TEST_F(HelpPageTest, MissingEverywhereShowsNothingAndSaysNothing) {
    Rig.Form().ShowResults(true);
    Rig.Click("Help_1");
    EXPECT_FALSE(Rig.Visible("Help1"));
    EXPECT_FALSE(Rig.Visible("Memo1"));
    EXPECT_TRUE(Rig.Dialogs.Boxes.empty());
}

TEST_F(HelpPageTest, AnEmptyFileGivesOneEmptyLine) {
    Write(Here.Path / "Halden.Txt", "");
    Rig.Find<QPlainTextEdit>("Help1")->setPlainText("stale");
    Rig.Click("Help_1");
    EXPECT_TRUE(Rig.Visible("Help1"));
    EXPECT_EQ(HelpText(), "");
}

struct ControlShape {
    QRect Geometry;
    int FontPixels;
    bool operator==(const ControlShape&) const = default;
};

std::map<std::string, ControlShape> Shapes(TMainForm& form) {
    std::map<std::string, ControlShape> shapes;
    for (QWidget* control : form.findChildren<QWidget*>()) {
        const std::string name = control->objectName().toStdString();
        if (!name.empty() && !name.starts_with("qt_"))
            shapes[name] = {control->geometry(), control->font().pixelSize()};
    }
    return shapes;
}

TEST(ScaleClick, EnlargesEveryControlAndShrinksBackExactly) {
    WindowRig rig;
    const QRect window = rig.Form().geometry();
    const auto before = Shapes(rig.Form());
    ASSERT_GE(before.size(), 37u);

    rig.Click("Scale");
    EXPECT_EQ(rig.Text("Scale"), "Small Buttons");
    EXPECT_EQ(rig.Form().ScaleTag, 1);
    EXPECT_EQ(rig.Form().geometry(), window);
    EXPECT_TRUE(rig.Form().isVisible());
    // Edges multiplied by 486/408, halves away from zero: a button at
    // 4, 64, 110 x 20 has its edges at 4.76, 76.24, 135.79, 100.06.
    EXPECT_EQ(rig.Find<QWidget>("File_But")->geometry(), QRect(5, 76, 131, 24));
    EXPECT_EQ(rig.Find<QWidget>("File_But")->font().pixelSize(), 13);
    // The hidden pages move too.
    EXPECT_EQ(rig.Find<QWidget>("Upper")->geometry(), QRect(152, 38, 592, 459));
    EXPECT_EQ(rig.Find<QWidget>("Memo1")->font().pixelSize(), 15);

    rig.Click("Scale");
    EXPECT_EQ(rig.Text("Scale"), "Large Buttons");
    EXPECT_EQ(rig.Form().ScaleTag, 0);
    EXPECT_EQ(Shapes(rig.Form()), before);
    EXPECT_EQ(rig.Form().geometry(), window);
}

TEST(ApplicationErrorReport, ShowsTheMessageWithAFullStopAfterALetterOnly) {
    WindowRig rig;
    rig.Form().Deliver([] { StrToInt("1G"); });
    rig.Form().Deliver([] { throw std::runtime_error("Disk full!"); });
    rig.Form().Deliver([] { throw std::runtime_error("ends in a stop."); });
    ASSERT_EQ(rig.Dialogs.Boxes.size(), 3u);
    EXPECT_EQ(rig.Dialogs.Boxes[0].Icon, MessageBoxRequest::Kind::Error);
    EXPECT_EQ(rig.Dialogs.Boxes[0].Title, "Quennel");
    EXPECT_EQ(rig.Dialogs.Boxes[0].Text, "'1G' is not a valid integer value.");
    EXPECT_EQ(rig.Dialogs.Boxes[1].Text, "Disk full!");
    EXPECT_EQ(rig.Dialogs.Boxes[2].Text, "ends in a stop.");
}

TEST(ApplicationErrorReport, AbandonsTheCommandAndTheWindowRunsOn) {
    WindowRig rig;
    rig.StartUp();
    bool after = false;
    rig.Form().Deliver([&] {
        rig.Form().LockControls();
        StrToInt("$");
        after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(rig.Dialogs.Boxes.back().Text, "'$' is not a valid integer value.");
    rig.Form().UnlockControls();
    rig.Click("Blank_Chk");
    EXPECT_EQ(rig.Text("StaticText3"), "Device is Erased....");
}

} // namespace
} // namespace quennel::test
