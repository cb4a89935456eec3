// The buffer commands from their buttons: the check sum, the fill choice and
// its value field, the file-type choice, and load and save through the
// dialogs, answered in advance.

#include "ScratchFolder.h"
#include "WindowRig.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace quennel::test {
namespace {

class BufferCommandsTest : public ::testing::Test {
protected:
    BufferCommandsTest() {
        Rig.StartUp();
        Rig.Find<QWidget>("Device_Box")->hide();
    }

    void Select(int row) {
        Rig.Click("Device");
        Rig.ChooseDeviceRow(row);
    }

    // A row of a list clicked with the mouse.
    void ChooseRow(const char* listName, int row) {
        auto* list = Rig.Find<QListWidget>(listName);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    void ChooseFileType(int row) {
        Rig.Click("File_But");
        ChooseRow("File_Type", row);
    }

    QLineEdit* FillEdit() { return Rig.Find<QLineEdit>("Fill_Edit"); }

    bool AllButtons(bool enabled) {
        for (const char* name : SixteenButtons)
            if (Rig.Enabled(name) != enabled)
                return false;
        return true;
    }

    std::string MemoText() { return Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().toStdString(); }

    bool BufferIsAll(uint8_t value) {
        return std::all_of(Rig.State().DataBuffer.begin(), Rig.State().DataBuffer.end(),
                           [value](uint8_t byte) { return byte == value; });
    }

    WindowRig Rig;
};

TEST_F(BufferCommandsTest, CheckSumSumsTheDeviceOnly) {
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "&Check Sum=0000");
    // Before any device is known only byte 0 counts.
    Rig.State().DataBuffer[0] = 0x42;
    Rig.State().DataBuffer[1] = 0x01;
    Rig.Click("Chk_Sum_But");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0042");

    Select(3); // 82S123, 32 x 8
    Rig.State().DataBuffer.fill(0xFF);
    Rig.Click("Chk_Sum_But");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=1FE0");
    EXPECT_TRUE(AllButtons(true));
    EXPECT_EQ(Rig.StatusColour(), Lime);
}

TEST_F(BufferCommandsTest, FillWithFFReachesEveryByteAndALargerDeviceLater) {
    Select(3);
    Rig.Click("Fill");
    EXPECT_TRUE(Rig.Visible("FillBox"));
    EXPECT_FALSE(Rig.Visible("Fill_Edit"));
    EXPECT_TRUE(AllButtons(false));
    EXPECT_EQ(Rig.StatusColour(), Yellow);

    ChooseRow("FillBox", 1);
    EXPECT_TRUE(BufferIsAll(0xFF));
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=1FE0");
    EXPECT_FALSE(Rig.Visible("FillBox"));
    EXPECT_TRUE(AllButtons(true));

    Select(20); // 82S181, 1k x 8: sees the fill above the old end
    Rig.Click("Chk_Sum_But");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=FC00");

    Rig.Click("Fill");
    ChooseRow("FillBox", 0);
    EXPECT_TRUE(BufferIsAll(0x00));
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0000");
}

TEST_F(BufferCommandsTest, TypedValueShowsInUpperCaseAndTakesTwoDigitsAtMost) {
    Select(3);
    Rig.Click("Fill");
    ChooseRow("FillBox", 2);
    EXPECT_TRUE(Rig.Visible("Fill_Edit"));
    EXPECT_TRUE(Rig.Visible("FillBox"));
    EXPECT_TRUE(FillEdit()->hasFocus());
    EXPECT_TRUE(AllButtons(false));

    // Only hex digits and Backspace pass.
    QTest::keyClicks(FillEdit(), "g- x");
    QTest::keyClick(FillEdit(), Qt::Key_Escape);
    EXPECT_EQ(FillEdit()->text(), "");
    QTest::keyClicks(FillEdit(), "7");
    QTest::keyClick(FillEdit(), Qt::Key_Backspace);
    EXPECT_EQ(FillEdit()->text(), "");

    QTest::keyClicks(FillEdit(), "ab");
    EXPECT_EQ(FillEdit()->text(), "AB");
    QTest::keyClicks(FillEdit(), "c");
    EXPECT_EQ(FillEdit()->text(), "AB") << "a third character is refused";
    EXPECT_TRUE(BufferIsAll(0x00)) << "nothing is filled before Enter";

    QTest::keyClick(FillEdit(), Qt::Key_Return);
    EXPECT_TRUE(BufferIsAll(0xAB));
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=1560"); // 32 x AB
    EXPECT_FALSE(Rig.Visible("Fill_Edit"));
    EXPECT_FALSE(Rig.Visible("FillBox"));
    EXPECT_TRUE(AllButtons(true));

    // One digit is a value below 10 hex.
    Rig.Click("Fill");
    ChooseRow("FillBox", 2);
    QTest::keyClicks(FillEdit(), "7");
    QTest::keyClick(FillEdit(), Qt::Key_Enter);
    EXPECT_TRUE(BufferIsAll(0x07));
}

TEST_F(BufferCommandsTest, EnterOnAnEmptyFieldOnlyRecomputesAndCancelDoesNot) {
    Select(3);
    Rig.State().DataBuffer[5] = 0x11;
    Rig.Click("Fill");
    ChooseRow("FillBox", 2);
    QTest::keyClicks(FillEdit(), "5");
    ChooseRow("FillBox", 2); // row 2 again: the field starts afresh
    EXPECT_EQ(FillEdit()->text(), "");
    EXPECT_TRUE(Rig.Visible("Fill_Edit"));
    QTest::keyClick(FillEdit(), Qt::Key_Return);
    EXPECT_EQ(Rig.State().DataBuffer[5], 0x11);
    EXPECT_EQ(Rig.State().DataBuffer[6], 0x00);
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0011");
    EXPECT_TRUE(AllButtons(true));

    Rig.State().DataBuffer[6] = 0x22;
    Rig.Click("Fill");
    ChooseRow("FillBox", 2);
    QTest::keyClicks(FillEdit(), "FF");
    ChooseRow("FillBox", 3);
    EXPECT_EQ(Rig.State().DataBuffer[7], 0x00);
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0011") << "Cancel leaves the sum as it was";
    EXPECT_FALSE(Rig.Visible("FillBox"));
    EXPECT_FALSE(Rig.Visible("Fill_Edit"));
    EXPECT_TRUE(AllButtons(true));
}

TEST_F(BufferCommandsTest, AClickOnNoRowChangesNothing) {
    Rig.Click("Fill");
    auto* list = Rig.Find<QListWidget>("FillBox");
    const QRect lastRow = list->visualItemRect(list->item(3));
    const QPoint belowRows(lastRow.center().x(), lastRow.bottom() + 2);
    ASSERT_TRUE(list->viewport()->rect().contains(belowRows)) << "no room below the rows";
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, belowRows);
    // Also with no row current at all, as a stray click can leave it.
    list->setCurrentRow(-1);
    Rig.Form().Deliver([&] { Rig.Form().FillBoxClick(); });
    EXPECT_TRUE(Rig.Visible("FillBox"));
    EXPECT_FALSE(Rig.Visible("Fill_Edit"));
    EXPECT_TRUE(AllButtons(false));
    EXPECT_TRUE(BufferIsAll(0x00));
}

TEST_F(BufferCommandsTest, PastedTextThatIsNotHexIsReportedAndTheFieldStaysOpen) {
    Select(3);
    Rig.State().DataBuffer[0] = 0x5A;
    Rig.Click("Fill");
    ChooseRow("FillBox", 2);
    QApplication::clipboard()->setText("g1");
    QTest::keyClick(FillEdit(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(FillEdit()->text(), "G1") << "the paste passes the filter, in upper case";
    const size_t boxes = Rig.Dialogs.Boxes.size();
    QTest::keyClick(FillEdit(), Qt::Key_Return);
    ASSERT_EQ(Rig.Dialogs.Boxes.size(), boxes + 1);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Icon, MessageBoxRequest::Kind::Error);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Text, "'$G1' is not a valid integer value.");
    EXPECT_EQ(Rig.State().DataBuffer[0], 0x5A);
    EXPECT_EQ(Rig.State().DataBuffer[1], 0x00);
    EXPECT_TRUE(Rig.Visible("Fill_Edit"));
    EXPECT_TRUE(AllButtons(false));

    // Corrected, the value goes in.
    FillEdit()->selectAll();
    QTest::keyClicks(FillEdit(), "c3");
    QTest::keyClick(FillEdit(), Qt::Key_Return);
    EXPECT_TRUE(BufferIsAll(0xC3));
    EXPECT_TRUE(AllButtons(true));
}

TEST_F(BufferCommandsTest, FileTypeSetsTheButtonAndBothDialogs) {
    Rig.Click("File_But");
    EXPECT_TRUE(Rig.Visible("File_Type"));
    EXPECT_TRUE(AllButtons(false));
    ChooseRow("File_Type", 2);
    EXPECT_EQ(Rig.State().FileType, 2);
    EXPECT_EQ(Rig.Text("File_But"), "Motorola Hex File");
    EXPECT_FALSE(Rig.Visible("File_Type"));
    EXPECT_TRUE(AllButtons(true));
    for (const FileDialogRequest* dialog : {&Rig.Form().OpenDialog1, &Rig.Form().SaveDialog1}) {
        EXPECT_EQ(dialog->DefaultExtension, "Hex");
        EXPECT_EQ(dialog->FilterIndex, 2);
        EXPECT_EQ(dialog->Filter, "Bin|*.Bin|Hex|*.Hex|All|*.*");
    }
    EXPECT_TRUE(Rig.Form().OpenDialog1.MustExist);
    EXPECT_TRUE(Rig.Form().SaveDialog1.AskBeforeOverwrite);

    ChooseFileType(3);
    EXPECT_EQ(Rig.Text("File_But"), "Ascii Hex File");
    ChooseFileType(1);
    EXPECT_EQ(Rig.Text("File_But"), "Intel Hex File");
    ChooseFileType(0);
    EXPECT_EQ(Rig.Text("File_But"), "Binary File");
    EXPECT_EQ(Rig.Form().SaveDialog1.DefaultExtension, "Bin");
    EXPECT_EQ(Rig.Form().OpenDialog1.FilterIndex, 1);

    // A type the program does not know keeps the caption and sets hex files.
    Rig.State().FileType = 7;
    Rig.Form().ShowFileType();
    EXPECT_EQ(Rig.Text("File_But"), "Binary File");
    EXPECT_EQ(Rig.Form().OpenDialog1.DefaultExtension, "Hex");
    EXPECT_EQ(Rig.Form().SaveDialog1.FilterIndex, 2);
}

TEST_F(BufferCommandsTest, EachFormatSavesAndLoadsBackThroughTheButtons) {
    Select(3);
    const std::filesystem::path folder = Rig.Folder / "images";
    std::filesystem::create_directory(folder);
    for (int fileType : {0, 1, 2, 3}) {
        SCOPED_TRACE(fileType);
        ChooseFileType(fileType);
        for (int a = 0; a < BufferSize; ++a)
            Rig.State().DataBuffer[a] = static_cast<uint8_t>(a * 7 + fileType);
        const auto saved = Rig.State().DataBuffer;
        const std::string name = (folder / ("image" + std::to_string(fileType))).string();
        Rig.Form().ShowStatus("before");
        const std::string lastLoaded = Rig.Text("StaticText4");
        Rig.Dialogs.SaveFiles.push_back(name);
        Rig.Click("Save_But");
        EXPECT_EQ(Rig.Text("StaticText3"), fileType == 0 ? "before" : "Hex File Saved....");
        EXPECT_EQ(Rig.Text("StaticText4"), lastLoaded) << "a save names nothing";
        EXPECT_EQ(Rig.StatusColour(), Lime);

        Rig.State().DataBuffer.fill(0xEE);
        Rig.Dialogs.OpenFiles.push_back(name);
        Rig.Click("Load_But");
        EXPECT_EQ(Rig.Dialogs.OpenRequests.back().DefaultExtension, fileType == 0 ? "Bin" : "Hex");
        EXPECT_EQ(Rig.Dialogs.OpenRequests.back().FilterIndex, fileType == 0 ? 1 : 2);
        for (int a = 0; a <= 0x1F; ++a)
            ASSERT_EQ(Rig.State().DataBuffer[a], saved[a]) << a;
        EXPECT_EQ(Rig.State().DataBuffer[0x20], 0xEE) << "only what the file holds is stored";
        EXPECT_EQ(Rig.Text("StaticText3"), fileType == 0 ? "before" : "Hex File Loaded....");
        EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + name);
        EXPECT_EQ(Rig.Form().OpenDialog1.FileName, name);
        EXPECT_EQ(Rig.StatusColour(), Lime);
        EXPECT_TRUE(AllButtons(true));
    }
    EXPECT_EQ(Rig.Text("Chk_Sum_But").rfind("CheckSum=", 0), 0u);

    // The Intel file of 32 FF bytes, as an operator's other tools expect it.
    ChooseFileType(1);
    Rig.State().DataBuffer.fill(0xFF);
    Rig.Dialogs.SaveFiles.push_back((folder / "ff.hex").string());
    Rig.Click("Save_But");
    EXPECT_EQ(ReadAll(folder / "ff.hex"), ":020000020000FC\r\n:10000000" + std::string(32, 'F') +
                                              "00\r\n:10001000" + std::string(32, 'F') +
                                              "F0\r\n:00000001FF\r\n");
}

TEST_F(BufferCommandsTest, TheCurrentDirectoryFollowsTheChosenFile) {
    const std::filesystem::path there = Rig.Folder / "there";
    std::filesystem::create_directory(there);
    WriteAll(there / "a.bin", "\x01\x02");
    Rig.Dialogs.OpenFiles.push_back((there / "a.bin").string());
    Rig.Click("Load_But");
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(there));
    // A name typed without a folder is taken from the current directory.
    Rig.Dialogs.SaveFiles.push_back("b.bin");
    Rig.Click("Save_But");
    EXPECT_EQ(Rig.Form().SaveDialog1.FileName, (std::filesystem::canonical(there) / "b.bin").string());
    EXPECT_TRUE(std::filesystem::exists(there / "b.bin"));
}

TEST_F(BufferCommandsTest, ACancelledLoadStillRecomputesTheChecksum) {
    Rig.State().DataBuffer[0] = 0x33;
    Rig.Dialogs.OpenFiles.push_back(std::nullopt);
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0033");
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_TRUE(Rig.Form().OpenDialog1.FileName.empty());
    EXPECT_TRUE(AllButtons(true));

    // A cancelled save changes nothing either.
    Rig.Dialogs.SaveFiles.push_back(std::nullopt);
    Rig.Click("Save_But");
    EXPECT_TRUE(Rig.Form().SaveDialog1.FileName.empty());
    EXPECT_TRUE(AllButtons(true));
}

// The load stops at the bad field and stores nothing of the file; the
// buttons then work again, and the status line and the result list say so.
TEST_F(BufferCommandsTest, AFailedConversionLeavesTheButtonsUsableAndTheStatusRed) {
    Select(7); // 82S129, 256 x 4
    ChooseFileType(1);
    Rig.State().DataBuffer.fill(0x5A);
    const std::filesystem::path file = Rig.Folder / "bad.hex";
    WriteAll(file, ":020000001234B8\r\n:02001000GG0000\r\n:00000001FF\r\n");
    Rig.Dialogs.OpenFiles.push_back(file.string());
    Rig.Click("Load_But");
    ASSERT_FALSE(Rig.Dialogs.Boxes.empty());
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Icon, MessageBoxRequest::Kind::Error);
    EXPECT_EQ(Rig.Dialogs.Boxes.back().Text, "'$GG' is not a valid integer value.");
    EXPECT_TRUE(BufferIsAll(0x5A)) << "the record before the bad one was stored";
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_THAT(MemoText(), ::testing::HasSubstr("line 2: '$GG' is not a valid integer value; nothing was loaded"));
    EXPECT_TRUE(AllButtons(true));
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "&Check Sum=0000");

    Rig.Click("Blank_Chk");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device is Erased....");
    EXPECT_EQ(Rig.StatusColour(), Lime);
}

// Loads are all or nothing: a checksum question answered No, a record over
// a cell the file filled, each leaves the buffer byte for byte as it was.
TEST_F(BufferCommandsTest, ARefusedLoadLeavesTheBufferAsItWas) {
    Select(3); // 82S123, 32 x 8
    ChooseFileType(1);
    for (int a = 0; a < BufferSize; ++a)
        Rig.State().DataBuffer[a] = static_cast<uint8_t>(a * 13);
    const auto before = Rig.State().DataBuffer;

    const std::filesystem::path badSum = Rig.Folder / "sum.hex";
    WriteAll(badSum, ":0100000011EE\r\n:0100010022DD\r\n:00000001FF\r\n");
    Rig.Dialogs.OpenFiles.push_back(badSum.string());
    Rig.Dialogs.Answers.push_back(false);
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Rig.State().DataBuffer, before);
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");

    const std::filesystem::path twice = Rig.Folder / "twice.hex";
    WriteAll(twice, ":0100000011EE\r\n:0100200022BD\r\n:00000001FF\r\n"); // 0020 wraps onto 0000
    Rig.Dialogs.OpenFiles.push_back(twice.string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.State().DataBuffer, before);
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
}

// A FIFO (or any file that never ends) never holds the window: it is
// refused at once, with the reason.
TEST_F(BufferCommandsTest, AFifoIsRefusedWithoutWaiting) {
    const std::filesystem::path fifo = Rig.Folder / "pipe.bin";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Rig.State().DataBuffer.fill(0x66);
    Rig.Dialogs.OpenFiles.push_back(fifo.string());
    Rig.Click("Load_But");
    EXPECT_TRUE(BufferIsAll(0x66));
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_THAT(MemoText(), ::testing::HasSubstr("it is a FIFO, not a file that ends"));
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_TRUE(AllButtons(true));
}

// Both dialogs open where the last chosen file left the current folder, so
// that an image is never saved into the folder the program started in.
TEST_F(BufferCommandsTest, TheSaveDialogOpensWhereTheLoadLeftTheFolder) {
    const std::filesystem::path there = Rig.Folder / "roms";
    std::filesystem::create_directory(there);
    WriteAll(there / "a.bin", "\x01");
    Rig.Dialogs.OpenFiles.push_back((there / "a.bin").string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Dialogs.OpenRequests.back().Folder, std::filesystem::canonical(Rig.Folder.Path).string());
    Rig.Dialogs.SaveFiles.push_back(std::nullopt);
    Rig.Click("Save_But");
    EXPECT_EQ(Rig.Dialogs.SaveRequests.back().Folder, std::filesystem::canonical(there).string());
}

TEST_F(BufferCommandsTest, AFileThatCannotBeReadIsReportedInRedAndNotNamed) {
    const std::filesystem::path good = Rig.Folder / "good.bin";
    WriteAll(good, "\x09");
    Rig.Dialogs.OpenFiles.push_back(good.string());
    Rig.Click("Load_But");
    ASSERT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + good.string());

    Rig.State().DataBuffer[0] = 0x44;
    Rig.Dialogs.OpenFiles.push_back((Rig.Folder / "gone.bin").string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + good.string());
    EXPECT_EQ(Rig.State().DataBuffer[0], 0x44);
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0044") << "the sum is shown all the same";
    EXPECT_TRUE(AllButtons(true));
}

// A save that cannot be written (here: the process may write no more than
// 16 bytes to any file) says so in red and leaves the old file alone.
TEST_F(BufferCommandsTest, AnUnwritableSaveTargetIsReportedAndTheOldFileKept) {
    Select(3);
    ChooseFileType(2);
    const std::filesystem::path target = Rig.Folder / "kept.hex";
    WriteAll(target, "the old file\r\n");
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = previous;
    tiny.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
    Rig.Dialogs.SaveFiles.push_back(target.string());
    Rig.Click("Save_But");
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Saved....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_EQ(ReadAll(target), "the old file\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Rig.Folder.Path), {}), 1)
        << "no file left behind";
    EXPECT_TRUE(AllButtons(true));

    // Binary saves show no text of their own, but a failure still does.
    ChooseFileType(0);
    Rig.Form().ShowStatus("before");
    Rig.Dialogs.SaveFiles.push_back((Rig.Folder / "nowhere" / "x.bin").string());
    Rig.Click("Save_But");
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Saved....");
    EXPECT_EQ(Rig.StatusColour(), Red);
}

// A save does not lock the commands, so a fault left by the command before
// it would colour its text; a good save shows its text in lime.
TEST_F(BufferCommandsTest, AGoodSaveAfterAFaultIsNotShownAsFailed) {
    Select(3);
    Rig.Programmer.Fuses[4] = 0x10;
    Rig.Click("Blank_Chk");
    ASSERT_EQ(Rig.StatusColour(), Red);
    ChooseFileType(3);
    Rig.Click("Blank_Chk");
    ASSERT_EQ(Rig.StatusColour(), Red);
    Rig.Dialogs.SaveFiles.push_back((Rig.Folder / "a.hex").string());
    Rig.Click("Save_But");
    EXPECT_EQ(Rig.Text("StaticText3"), "Hex File Saved....");
    EXPECT_EQ(Rig.StatusColour(), Lime);
}

// A record whose checksum does not match: the operator is asked once per
// load, and the file loads after a yes and is refused after a no.
TEST_F(BufferCommandsTest, AWrongChecksumAsksOnceWhetherToLoadAnyway) {
    Select(7);
    ChooseFileType(1);
    const std::filesystem::path file = Rig.Folder / "by-hand.hex";
    // Both data records carry a wrong sum (00 where 7B and 5E belong).
    WriteAll(file, ":0300000001020300\r\n:02001000ABCD00\r\n:00000001FF\r\n");

    Rig.Dialogs.OpenFiles.push_back(file.string());
    Rig.Dialogs.Answers.push_back(false);
    Rig.Click("Load_But");
    ASSERT_EQ(Rig.Dialogs.Questions.size(), 1u);
    EXPECT_NE(Rig.Dialogs.Questions[0].Text.find("line 1"), std::string::npos)
        << Rig.Dialogs.Questions[0].Text;
    EXPECT_NE(Rig.Dialogs.Questions[0].Text.find("Load it anyway?"), std::string::npos);
    EXPECT_EQ(Rig.State().DataBuffer[0], 0x00) << "a refused record stores nothing";
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_TRUE(AllButtons(true));

    Rig.Dialogs.OpenFiles.push_back(file.string());
    Rig.Dialogs.Answers.push_back(true);
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Dialogs.Questions.size(), 2u) << "one question for the whole load";
    EXPECT_EQ(Rig.State().DataBuffer[0x00], 0x01);
    EXPECT_EQ(Rig.State().DataBuffer[0x02], 0x03);
    EXPECT_EQ(Rig.State().DataBuffer[0x11], 0xCD);
    EXPECT_EQ(Rig.Text("StaticText3"), "Hex File Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + file.string());
}

// A file with data past the buffer's end loads what fits, and the result list
// says what was left out; one that fits says nothing.
TEST_F(BufferCommandsTest, DataPastTheBufferLoadsWhatFitsAndSaysSo) {
    Select(20); // 82S181, 1k x 8
    std::string bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += static_cast<char>(i * 7);
    const std::filesystem::path dump = Rig.Folder / "eprom.bin";
    WriteAll(dump, bytes);
    Rig.Dialogs.OpenFiles.push_back(dump.string());
    Rig.Click("Load_But");
    for (int a : {0, 1, 0x3FF})
        EXPECT_EQ(Rig.State().DataBuffer[static_cast<size_t>(a)], static_cast<uint8_t>(a * 7)) << a;
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + dump.string());
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_THAT(MemoText(),
                ::testing::HasSubstr("the file holds data up to address 0BB7, past the buffer's "
                                     "last address 03FF: only what lies at 0000 to 03FF was loaded"));
    EXPECT_TRUE(AllButtons(true));

    // An Intel record at 03F8 whose 16 bytes run past the end.
    ChooseFileType(1);
    const std::filesystem::path record = Rig.Folder / "tail.hex";
    WriteAll(record, ":1003F800000102030405060708090A0B0C0D0E0F7D\r\n:00000001FF\r\n");
    Rig.Dialogs.OpenFiles.push_back(record.string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.State().DataBuffer[0x3FF], 0x07);
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + record.string());
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_THAT(MemoText(), ::testing::HasSubstr("up to address 0407, past the buffer's last address 03FF"));
    ChooseFileType(0);

    const std::filesystem::path exact = Rig.Folder / "part.bin";
    WriteAll(exact, bytes.substr(0, 1024));
    Rig.Dialogs.OpenFiles.push_back(exact.string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=" + exact.string());
    EXPECT_THAT(MemoText(), ::testing::Not(::testing::HasSubstr("part.bin")));
}

// A 1 KB image with a 256-cell device selected would wrap onto itself; a
// text file without a data record loads nothing. Both are refused in red,
// with the reason on view.
TEST_F(BufferCommandsTest, MoreThanTheDeviceOrNoDataIsReportedInRed) {
    Select(7); // 82S129: 256 cells
    ChooseFileType(1);
    // An image saved as Intel hex from a 1k device: records up to 0x3F0.
    const std::filesystem::path intel = Rig.Folder / "big.hex";
    std::string records;
    for (int address = 0; address < 0x400; address += 0x10) {
        std::string record = ":10";
        char field[8];
        std::snprintf(field, sizeof field, "%04X00", address);
        record += field;
        int sum = 0x10 + (address >> 8) + (address & 0xFF);
        const int value = address < 0x100 ? 0x11 : 0x22;
        for (int i = 0; i < 16; ++i) {
            std::snprintf(field, sizeof field, "%02X", value);
            record += field;
            sum += value;
        }
        std::snprintf(field, sizeof field, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
        records += record + field + "\r\n";
    }
    WriteAll(intel, records + ":00000001FF\r\n");
    Rig.Dialogs.OpenFiles.push_back(intel.string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_EQ(Rig.Text("StaticText4"), "Last File Loaded in Buffer=No File Loaded");

    const std::filesystem::path empty = Rig.Folder / "notes.hex";
    WriteAll(empty, "just some notes\r\n");
    Rig.Dialogs.OpenFiles.push_back(empty.string());
    Rig.Click("Load_But");
    EXPECT_EQ(Rig.Text("StaticText3"), "File Could Not be Loaded....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    const QString reason = Rig.Find<QPlainTextEdit>("Memo1")->toPlainText();
    EXPECT_TRUE(reason.contains("notes.hex")) << reason.toStdString();
    EXPECT_TRUE(AllButtons(true));
}

} // namespace
} // namespace quennel::test
