// The start-up with and without a settings file, the settings lines applied
// one by one up to the first that does not convert, the reload of the last
// file, and the settings written at the close, also in the middle of
// programming.

#include "ScratchFolder.h"
#include "WindowRig.h"
#include "device/DeviceOperations.h"

#include <QApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <gmock/gmock.h>
#include <sys/stat.h>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// One S1 record of 16 bytes at 0010 and an end record.
const std::string MotorolaImage = "S1130010123456789ABCDEF00F1E2D3C4B5A697888\r\nS9030000FC\r\n";

class StartUpTest : public ::testing::Test {
protected:
    StartUpTest() {
        Image = (Rig.Folder / "image.s19").string();
        WriteAll(Image, MotorolaImage);
    }

    std::filesystem::path SettingsFile() { return Rig.Folder / "Quennel.Cfg"; }

    void WriteSettings(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines)
            text += line + "\r\n";
        WriteAll(SettingsFile(), text);
    }

    // 82S129 (256 x 4) as the device row, Motorola files, an end of 001F,
    // 700 x 500 at left 30, top 40, large buttons, and the image.
    std::vector<std::string> FullSettings() { return {"7", "2", "31", "700", "500", "40", "30", "1", Image}; }

    // The window closed as by its close box; the settings file's lines.
    std::vector<std::string> CloseAndReadSettings() {
        Rig.Form().close();
        QCoreApplication::processEvents();
        std::vector<std::string> lines;
        const std::string text = ReadAll(SettingsFile());
        size_t start = 0;
        for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
            lines.push_back(text.substr(start, end - start));
        EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
        return lines;
    }

    bool ImageLoaded() {
        return Rig.State().DataBuffer[0x10] == 0x12 && Rig.State().DataBuffer[0x1F] == 0x78;
    }

    WindowRig Rig;
    std::string Image;
};

TEST_F(StartUpTest, WithoutASettingsFileTheDefaultsStandAndTheCloseWritesThem) {
    const QPoint centred = Rig.Form().pos();
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_TRUE(Rig.Visible("Device_Box"));
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=0000");
    EXPECT_EQ(Rig.Text("File_But"), "Binary File");
    EXPECT_EQ(Rig.Text("Scale"), "Large Buttons");
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_EQ(Rig.Form().size(), QSize(662, 476));
    EXPECT_EQ(Rig.Form().pos(), centred);
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_THAT(Rig.Dialogs.Boxes, IsEmpty());
    EXPECT_EQ(Rig.Form().SettingsDirectory, std::filesystem::canonical(Rig.Folder.Path).string());

    EXPECT_THAT(CloseAndReadSettings(), ElementsAre("0", "0", "0", "662", "476", std::to_string(centred.y()),
                                                    std::to_string(centred.x()), "0", ""));
}

TEST_F(StartUpTest, AFullFileRestoresEverythingAndReloadsTheLastFile) {
    WriteSettings(FullSettings());
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "82S129");
    EXPECT_EQ(Rig.State().DeviceRow, 7);
    EXPECT_EQ(Rig.Find<QListWidget>("Device_Box")->currentRow(), 7);
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 1u) << "the seating prompt of the device";
    EXPECT_EQ(Rig.Dialogs.Boxes[0].X, 170);
    EXPECT_EQ(Rig.State().FileType, 2);
    EXPECT_EQ(Rig.Text("File_But"), "Motorola Hex File");
    EXPECT_EQ(Rig.Form().OpenDialog1.DefaultExtension, "Hex");
    EXPECT_EQ(Rig.Form().SaveDialog1.FilterIndex, 2);
    // Line 3 wins over the device's own end.
    EXPECT_EQ(Rig.State().DeviceEnd, 31);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=001F");
    EXPECT_EQ(Rig.Form().pos(), QPoint(30, 40));
    EXPECT_EQ(Rig.Form().size(), QSize(700, 500));
    EXPECT_EQ(Rig.Text("Scale"), "Small Buttons");
    EXPECT_EQ(Rig.Form().ScaleTag, 1);
    EXPECT_EQ(Rig.Find<QWidget>("File_But")->geometry(), QRect(5, 76, 131, 24));
    EXPECT_TRUE(ImageLoaded());
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + Image);
    EXPECT_EQ(Rig.Text("StaticText3"), "Hex File Loaded....");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "&Check Sum=0000") << "a reload leaves the sum to be asked for";
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_FALSE(Rig.Visible("Device_Box"));

    // A file only saved is not the last file.
    Rig.Dialogs.SaveFiles.push_back((Rig.Folder / "saved.s19").string());
    Rig.Click("Save_But");
    ASSERT_TRUE(std::filesystem::exists(Rig.Folder / "saved.s19"));
    EXPECT_THAT(CloseAndReadSettings(), ElementsAreArray(FullSettings()));
}

TEST_F(StartUpTest, TheLastFileLoadedIsWrittenBack) {
    Rig.StartUp();
    Rig.Dialogs.OpenFiles.push_back(Image);
    Rig.Click("Load_But");
    const std::vector<std::string> lines = CloseAndReadSettings();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[8], Image);
}

TEST_F(StartUpTest, AnEightLineFileRestoresAllButTheReload) {
    std::vector<std::string> lines = FullSettings();
    lines.pop_back();
    WriteSettings(lines);
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "82S129");
    EXPECT_EQ(Rig.Text("File_But"), "Motorola Hex File");
    EXPECT_EQ(Rig.Text("Scale"), "Small Buttons");
    EXPECT_EQ(Rig.Form().pos(), QPoint(30, 40));
    EXPECT_FALSE(ImageLoaded());
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_EQ(Rig.Dialogs.Boxes.size(), 1u) << "the seating prompt only";
}

TEST_F(StartUpTest, ARowOutsideTheListLeavesNoDeviceAndOpensTheList) {
    WriteSettings({"99", "0", "255", "662", "476", "10", "10", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_EQ(Rig.Find<QListWidget>("Device_Box")->currentRow(), -1);
    EXPECT_EQ(Rig.State().DeviceEnd, 255);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=00FF");
    EXPECT_TRUE(Rig.Visible("Device_Box"));
    EXPECT_THAT(Rig.Dialogs.Boxes, IsEmpty());
    EXPECT_EQ(CloseAndReadSettings()[0], "99");
}

TEST_F(StartUpTest, AHeadingRowSaysNoDeviceAndTakesTheEndFromLine3) {
    WriteSettings({"0", "0", "511", "662", "476", "10", "10", "0", ""});
    Rig.StartUp();
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Text, "No Device Was Selected.");
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_EQ(Rig.State().DeviceEnd, 511);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=01FF");
    EXPECT_TRUE(Rig.Visible("Device_Box"));
}

TEST_F(StartUpTest, A512CellDeviceShowsItsEndInFourDigits) {
    WriteSettings({"11", "0", "511", "662", "476", "10", "10", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "82S131");
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=01FF");
    EXPECT_FALSE(Rig.Visible("Device_Box"));
}

TEST_F(StartUpTest, ButtonSizeTwoKeepsTheNormalSizeButTheFirstClickShrinks) {
    WriteSettings({"7", "0", "255", "662", "476", "10", "10", "2", ""});
    const QRect normal = Rig.Find<QWidget>("File_But")->geometry();
    Rig.StartUp();
    EXPECT_EQ(Rig.Form().ScaleTag, 2);
    EXPECT_EQ(Rig.Text("Scale"), "Large Buttons");
    EXPECT_EQ(Rig.Find<QWidget>("File_But")->geometry(), normal);
    Rig.Click("Scale");
    // Edges 4, 64, 114, 84 times 408/486: 3.36, 53.73, 95.70, 70.52.
    EXPECT_EQ(Rig.Find<QWidget>("File_But")->geometry(), QRect(3, 54, 93, 17));
    EXPECT_EQ(Rig.Text("Scale"), "Large Buttons");
    EXPECT_EQ(Rig.Form().ScaleTag, 0);
}

// A line that does not convert stops the start-up there: what came before
// it stays applied, and nothing after it runs (no later line, no file type
// shown, no reload, no unlocking, no device list).
class BadSettingsLineTest : public StartUpTest, public ::testing::WithParamInterface<int> {};

TEST_P(BadSettingsLineTest, StopsTheStartUpAtThatLine) {
    const int bad = GetParam();
    std::vector<std::string> lines = FullSettings();
    lines[static_cast<size_t>(bad - 1)] = "12 ";
    WriteSettings(lines);
    const QPoint centred = Rig.Form().pos();
    Rig.StartUp();

    ASSERT_FALSE(Rig.Dialogs.Boxes.empty());
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Icon, MessageBoxRequest::Kind::Error);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Text, "'12 ' is not a valid integer value.");
    EXPECT_EQ(Rig.Text("Device"), bad > 1 ? "82S129" : "No Device");
    EXPECT_EQ(Rig.State().FileType, bad > 2 ? 2 : 0);
    EXPECT_EQ(Rig.State().DeviceEnd, bad > 3 ? 31 : bad > 1 ? 255 : 0);
    EXPECT_EQ(Rig.Form().width(), bad > 4 ? 700 : 662);
    EXPECT_EQ(Rig.Form().height(), bad > 5 ? 500 : 476);
    EXPECT_EQ(Rig.Form().y(), bad > 6 ? 40 : centred.y());
    EXPECT_EQ(Rig.Form().x(), bad > 7 ? 30 : centred.x());
    EXPECT_EQ(Rig.Form().ScaleTag, 0);
    EXPECT_EQ(Rig.Text("Scale"), "Large Buttons");
    EXPECT_EQ(Rig.Text("File_But"), "Binary File");
    EXPECT_EQ(Rig.Text("End_Add"), bad > 1 ? "Device End=0FF" : "Device End=0000");
    EXPECT_TRUE(Rig.Form().OpenDialog1.FileName.empty());
    EXPECT_FALSE(ImageLoaded());
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_FALSE(Rig.Enabled("Program_Eprom")) << "the commands were never unlocked";
    EXPECT_FALSE(Rig.Visible("Device_Box"));
    EXPECT_EQ(Rig.StatusColour(), Yellow);

    // The file was let go: the close writes it anew, and keeps the
    // operator's hand-edited one beside it as it was.
    const std::string handEdited = ReadAll(SettingsFile());
    const std::vector<std::string> written = CloseAndReadSettings();
    ASSERT_EQ(written.size(), 9u);
    EXPECT_EQ(written[0], bad > 1 ? "7" : "0");
    EXPECT_NE(written[static_cast<size_t>(bad - 1)], "12 ");
    EXPECT_EQ(ReadAll(Rig.Folder / "Quennel.Cfg.bad"), handEdited);
}

INSTANTIATE_TEST_SUITE_P(Lines1To8, BadSettingsLineTest, ::testing::Range(1, 9));

// As a Linux editor writes it, with LF line ends: every line applies, and
// the file is used, so nothing is kept aside at the close.
TEST_F(StartUpTest, ASettingsFileWithLfLineEndsIsReadLineByLine) {
    std::string text;
    for (const std::string& line : FullSettings())
        text += line + "\n";
    WriteAll(SettingsFile(), text);
    Rig.StartUp();
    EXPECT_THAT(Rig.Dialogs.Boxes.size(), 1u) << "the seating prompt only";
    EXPECT_EQ(Rig.Text("Device"), "82S129");
    EXPECT_EQ(Rig.State().DeviceEnd, 31);
    EXPECT_EQ(Rig.Form().size(), QSize(700, 500));
    EXPECT_EQ(Rig.Text("Scale"), "Small Buttons");
    EXPECT_TRUE(ImageLoaded());
    EXPECT_THAT(CloseAndReadSettings(), ElementsAreArray(FullSettings()));
    EXPECT_FALSE(std::filesystem::exists(Rig.Folder / "Quennel.Cfg.bad"));
}

// A FIFO where the settings file should be: the start-up does not wait for
// a writer, nor the close for a reader; the FIFO is moved aside.
TEST_F(StartUpTest, ASettingsFifoBlocksNeitherTheStartUpNorTheClose) {
    ASSERT_EQ(::mkfifo(SettingsFile().c_str(), 0600), 0);
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_TRUE(Rig.Visible("Device_Box"));
    EXPECT_THAT(CloseAndReadSettings(), ElementsAre("0", "0", "0", "662", "476", ::testing::_, ::testing::_, "0", ""));
    EXPECT_TRUE(std::filesystem::is_fifo(Rig.Folder / "Quennel.Cfg.bad"));
}

TEST_F(StartUpTest, AnEmptyFileFailsOnItsFirstLine) {
    WriteAll(SettingsFile(), "");
    Rig.StartUp();
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Text, "'' is not a valid integer value.");
    EXPECT_FALSE(Rig.Visible("Device_Box"));
}

// Only a hand-edited file holds these; the program never indexes outside
// its buffer because of them.
TEST_F(StartUpTest, ADeviceEndOrFileTypeOutOfRangeIsBroughtIntoRange) {
    WriteSettings({"99", "9", "5000", "662", "476", "10", "10", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.State().DeviceEnd, 1023);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=03FF");
    EXPECT_EQ(Rig.State().FileType, 0);
    EXPECT_EQ(Rig.Text("File_But"), "Binary File");
    Rig.State().DataBuffer.fill(0xFF);
    Rig.Click("Chk_Sum_But");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=FC00");
    Rig.Dialogs.SaveFiles.push_back((Rig.Folder / "all.bin").string());
    Rig.Click("Save_But");
    EXPECT_EQ(std::filesystem::file_size(Rig.Folder / "all.bin"), 1024u);
}

TEST_F(StartUpTest, ANegativeDeviceEndBecomesZero) {
    WriteSettings({"99", "-1", "-7", "662", "476", "10", "10", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.State().DeviceEnd, 0);
    EXPECT_EQ(Rig.Text("End_Add"), "Device End=0000");
    EXPECT_EQ(Rig.State().FileType, 0);
    EXPECT_THAT(CloseAndReadSettings(), ElementsAre("99", "0", "0", "662", "476", "10", "10", "0", ""));
}

TEST_F(StartUpTest, AWindowNoScreenWouldShowGoesBackToTheMiddle) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    WriteSettings({"99", "0", "0", "900", "700", "5000", "4000", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.Form().size(), QSize(662, 476));
    EXPECT_EQ(Rig.Form().pos(),
              screen.topLeft() + QPoint((screen.width() - 662) / 2, (screen.height() - 476) / 2));
}

TEST_F(StartUpTest, AWindowPartlyOnTheScreenStaysWhereItWas) {
    WriteSettings({"99", "0", "0", "700", "500", "300", "500", "0", ""});
    Rig.StartUp();
    EXPECT_EQ(Rig.Form().size(), QSize(700, 500));
    EXPECT_EQ(Rig.Form().pos(), QPoint(500, 300));
    // Its title strip above the screen, though, cannot be grabbed.
    Rig.Form().close();
    WindowRig again;
    WriteAll(again.Folder / "Quennel.Cfg", "99\r\n0\r\n0\r\n700\r\n500\r\n-200\r\n10\r\n0\r\n\r\n");
    again.StartUp();
    EXPECT_EQ(again.Form().size(), QSize(662, 476));
}

TEST_F(StartUpTest, ALastFileThatCannotBeReadIsNotShownButKeptForTheNextRun) {
    std::vector<std::string> lines = FullSettings();
    lines[8] = (Rig.Folder / "gone.s19").string();
    WriteSettings(lines);
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_EQ(CloseAndReadSettings()[8], lines[8]);
}

// A last file that never ends (a FIFO with no writer) is refused at once:
// the start-up goes on to its end instead of waiting for good.
TEST_F(StartUpTest, ALastFileThatIsAFifoDoesNotHoldTheStartUp) {
    const std::filesystem::path fifo = Rig.Folder / "image.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> lines = FullSettings();
    lines[8] = fifo.string();
    WriteSettings(lines);
    Rig.StartUp();
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_EQ(CloseAndReadSettings()[8], lines[8]);
}

// The reload's bad field is reported, the commands work again with the
// fault shown, and the start-up goes no further.
TEST_F(StartUpTest, ABadFieldInTheReloadedFileEndsTheStartUpWithTheButtonsUsable) {
    const std::filesystem::path bad = Rig.Folder / "bad.s19";
    WriteAll(bad, "S1050000AB\r\n");
    WriteSettings({"99", "2", "255", "662", "476", "10", "10", "0", bad.string()});
    Rig.StartUp();
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), 1u);
    EXPECT_EQ(Rig.Dialogs.Boxes[0].Text, "'$\r' is not a valid integer value.");
    EXPECT_EQ(Rig.State().DataBuffer[0], 0x00) << "nothing of the file is stored";
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    EXPECT_TRUE(Rig.Enabled("Load_But"));
    EXPECT_FALSE(Rig.Visible("Device_Box"));
}

TEST_F(StartUpTest, RunsOnTheFirstActivationOnly) {
    Rig.Form().StartUpOnActivate = true;
    QApplication::setActiveWindow(&Rig.Form());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Rig.Form()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rig.State().ProgrammerModel == 2; }));
    QTest::qWait(50);
    EXPECT_TRUE(Rig.Visible("Device_Box"));
    const size_t accesses = Rig.Trace.Events().size();

    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QApplication::setActiveWindow(&Rig.Form());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Rig.Form()));
    QTest::qWait(50);
    EXPECT_EQ(Rig.Trace.Events().size(), accesses) << "a later activation runs nothing";
}

// A close during the search comes before the settings were read: what the
// operator saved is left as it was, not replaced by the defaults.
TEST_F(StartUpTest, ACloseDuringTheSearchLeavesTheSettingsFileAlone) {
    WriteSettings(FullSettings());
    const std::string saved = ReadAll(SettingsFile());
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Rig.Form().isEnabled()) {
            closer.stop();
            Rig.Form().close();
        }
    });
    closer.start();
    Rig.StartUp();
    QCoreApplication::processEvents();
    EXPECT_FALSE(Rig.Form().isVisible());
    EXPECT_EQ(Rig.Text("Device"), "No Device");
    EXPECT_EQ(ReadAll(SettingsFile()), saved);
    EXPECT_FALSE(Rig.State().PortOpen);
}

// The close box during programming: the pulse in flight keeps its 10 ms, the
// port is given back with nothing after it, and the settings are written.
TEST_F(StartUpTest, ACloseDuringProgrammingWritesTheSettings) {
    WriteSettings({"3", "1", "31", "662", "476", "10", "20", "0", ""});
    Rig.StartUp();
    ASSERT_EQ(Rig.Text("Device"), "82S123");
    Rig.State().DataBuffer.fill(0xFF);
    std::filesystem::remove(SettingsFile());
    Rig.CloseDuringPulse(3);
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), StoppedCaption);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile())) << "written once the command has returned";
    QCoreApplication::processEvents();

    EXPECT_FALSE(Rig.Form().isVisible());
    EXPECT_FALSE(Rig.State().PortOpen);
    EXPECT_LE(Rig.Programmer.Pulses().size(), 5u);
    for (const ProgrammingPulse& pulse : Rig.Programmer.Pulses())
        EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
    EXPECT_THAT(Rig.Bus.Violations(), IsEmpty());
    Rig.ExpectNothingAfterTheRelease();
    EXPECT_EQ(ReadAll(SettingsFile()), "3\r\n1\r\n31\r\n662\r\n476\r\n10\r\n20\r\n0\r\n\r\n");
}

// Where the real-time waits are refused, the search's result list ends with
// the one line that says so and stays in view; the operations run as before
// and the line is not said again. Where they are granted the list goes.
TEST_F(StartUpTest, RefusedRealtimeWaitsAreSaidOnceBelowTheSearch) {
    WriteSettings(FullSettings());
    Rig.Realtime.RefuseAsAnOrdinaryUser();
    Rig.StartUp();
    ASSERT_TRUE(Rig.Visible("Memo1"));
    auto lines = [&] {
        return Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n', Qt::SkipEmptyParts);
    };
    ASSERT_GE(lines().size(), 2) << "the search's own lines come first";
    EXPECT_TRUE(lines().back().startsWith("Real-time waits not granted: no write access to /dev/cpu_dma_latency, "
                                          "no real-time priority;"))
        << lines().back().toStdString();
    EXPECT_EQ(Rig.Text("StaticText3"), "Hex File Loaded....") << "the start-up went on as always";

    Rig.Click("Blank_Chk");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device is Erased....");
    Rig.Click("Blank_Chk");
    EXPECT_FALSE(Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().contains("Real-time"));
    EXPECT_EQ(Rig.Realtime.OpenRequests, 0);
}

TEST_F(StartUpTest, GrantedRealtimeWaitsLeaveTheResultListClosed) {
    WriteSettings(FullSettings());
    Rig.StartUp();
    EXPECT_FALSE(Rig.Visible("Memo1"));
    EXPECT_EQ(Rig.Realtime.OpenRequests, 0) << "tried, and given back";
    EXPECT_FALSE(Rig.Realtime.ThreadIsRealtime());
    EXPECT_FALSE(Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().contains("Real-time"));
}

} // namespace
} // namespace quennel::test
