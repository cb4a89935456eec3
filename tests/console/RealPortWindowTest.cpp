// The window on a real port: a fake kernel whose parallel-port driver has
// a simulated programmer behind it, on a standard port or on a card. A
// register access the driver refuses during a pass shows in the status line
// (red) and the result list, the device buttons go off, and a click on the
// status line searches again.

#include "ScratchFolder.h"
#include "ScriptedDialogs.h"
#include "console/MainForm.h"
#include "device/CommandFrame.h"
#include "link/PpdevPort.h"
#include "support/FakeLinuxSystem.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

namespace quennel::test {
namespace {

// The window started on a kernel whose one port, with the programmer on
// it, is at base.
class PortWindow : public ::testing::Test {
protected:
    explicit PortWindow(uint16_t base) : PreviousDirectory(QDir::currentPath()) {
        QDir::setCurrent(QString::fromStdString(Folder.Path.string()));
        Kernel.AddPort(0, base);
        Kernel.Programmer = &Chip;
        Window = std::make_unique<TMainForm>(Port, Dialogs);
        Window->StartUpOnActivate = false;
        Window->show();
        Window->Deliver([this] { Window->FormActivate(); });
        Window->findChild<QWidget*>("Device_Box")->hide();
    }
    ~PortWindow() override {
        Window->close();
        Window.reset();
        QDir::setCurrent(PreviousDirectory);
    }

    void Click(const char* name) {
        auto* control = Window->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name;
        QTest::mouseClick(control, Qt::LeftButton, {}, control->rect().center());
    }
    std::string Status() { return Window->findChild<QLabel*>("StaticText3")->text().toStdString(); }
    QStringList MemoLines() {
        return Window->findChild<QPlainTextEdit*>("Memo1")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    bool Enabled(const char* name) { return Window->findChild<QWidget*>(name)->isEnabled(); }
    void ChooseDevice(int row) {
        Click("Device");
        auto* list = Window->findChild<QListWidget*>("Device_Box");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    ScratchFolder Folder;
    QString PreviousDirectory;
    FakeLinuxSystem Kernel;
    SimulatedProgrammer Chip;
    PpdevPort Port{Kernel};
    ScriptedDialogs Dialogs;
    std::unique_ptr<TMainForm> Window;
};

class RealPortWindowTest : public PortWindow {
protected:
    RealPortWindowTest() : PortWindow(0x378) {}
};

class PortCardWindowTest : public PortWindow {
protected:
    PortCardWindowTest() : PortWindow(0xD010) {}
};

// A card is found by the start-up's search, named by its base, and works.
TEST_F(PortCardWindowTest, TheProgrammerOnACardIsFoundAndNamedByItsBase) {
    ChooseDevice(3);
    EXPECT_EQ(Status(), "The Trevalo Programmer was Found at D010");
    EXPECT_TRUE(Enabled("Program_Eprom"));
    Chip.Fuses[0x07] = 0x40;
    Click("Blank_Chk");
    EXPECT_EQ(Status(), "Device is NOT Erased....");
    EXPECT_EQ(MemoLines().first(), "0007  EXPECTED-00 FOUND-40");
}

TEST_F(RealPortWindowTest, ARefusedReadEndsTheCheckInRedAndASearchFindsTheProgrammerAgain) {
    ASSERT_EQ(Status(), "Testing") << "found through the driver";
    ChooseDevice(3);
    ASSERT_EQ(Window->State().DeviceEnd, 0x1F);

    Kernel.Refuse = FakeLinuxSystem::Refusal{PPRSTATUS, Kernel.RegisterCalls[PPRSTATUS] + 20, EIO, false, {}};
    Click("Blank_Chk");
    const std::string reason = "parport0: status read failed: Input/output error";
    EXPECT_EQ(Status(), PortFaultCaption(reason));
    EXPECT_EQ(Window->findChild<QWidget*>("StaticText3")->palette().color(QPalette::Window),
              QColor(255, 0, 0));
    EXPECT_TRUE(Window->findChild<QWidget*>("Memo1")->isVisible());
    EXPECT_EQ(MemoLines().last().toStdString(), PortFaultLine(reason, true));
    for (const char* device : {"Program_Eprom", "Verify_Eprom", "Move_Eprom", "Blank_Chk", "Compare"})
        EXPECT_FALSE(Enabled(device)) << device;
    EXPECT_TRUE(Enabled("Load_But"));
    EXPECT_EQ(Chip.Latch(0x01), 0xE4) << "left idle";
    EXPECT_TRUE(Kernel.OpenDescriptors.empty()) << "the port given back";

    // The port answers again: a click on the status line searches anew.
    Click("StaticText3");
    EXPECT_EQ(Status(), "The Trevalo Programmer was Found at 0378");
    EXPECT_TRUE(Enabled("Blank_Chk"));
    Click("Blank_Chk");
    EXPECT_EQ(Status(), "Device is Erased....");
}

} // namespace
} // namespace quennel::test
