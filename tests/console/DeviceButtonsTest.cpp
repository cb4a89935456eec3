// The five device operations started from their buttons on the simulated
// programmer, and the window's close in the middle of one.

#include "WindowRig.h"
#include "device/AddressBit9Guard.h"
#include "device/DeviceOperations.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTimer>
#include <gmock/gmock.h>
#include <random>

namespace quennel::test {
namespace {

using ::testing::IsEmpty;

class DeviceButtonsTest : public ::testing::Test {
protected:
    DeviceButtonsTest() {
        Rig.StartUp();
        Rig.Find<QWidget>("Device_Box")->hide();
    }

    void Select(int row) {
        Rig.Click("Device");
        Rig.ChooseDeviceRow(row);
    }

    QStringList MemoLines() {
        return Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }

    void ExpectHonestWire() {
        for (const ProgrammingPulse& pulse : Rig.Programmer.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs);
            EXPECT_TRUE(pulse.InProgrammingMode);
        }
        EXPECT_THAT(Rig.Bus.Violations(), IsEmpty());
    }

    WindowRig Rig;
};

TEST_F(DeviceButtonsTest, BlankCheckListsEveryNonBlankCellInAddressOrder) {
    Select(3); // 82S123, 32 x 8
    Rig.Programmer.Fuses[0x1A] = 0x0F;
    Rig.Programmer.Fuses[0x03] = 0x80;
    Rig.Click("Blank_Chk");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device is NOT Erased....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_EQ(MemoLines(),
              QStringList({"0003  EXPECTED-00 FOUND-80", "001A  EXPECTED-00 FOUND-0F",
                           "Diagnosis: no single-line pattern; the part differs in 2 cells: 5 bits "
                           "read 1 where 0 is wanted (never to be mended)"}));
    EXPECT_EQ(Rig.Text("Address"), "001F");

    Rig.Programmer.Fuses.fill(0);
    Rig.Click("Blank_Chk");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device is Erased....");
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_FALSE(Rig.Visible("Memo1"));
}

TEST_F(DeviceButtonsTest, VerifyAndMoveOnAFourBitPart) {
    Select(7); // 82S129, 256 x 4
    Rig.Programmer.Fuses[0x10] = 0x0F;
    Rig.Programmer.Fuses[0xFF] = 0x05;
    Rig.State().DataBuffer[0x10] = 0x3F;
    Rig.State().DataBuffer[0xFF] = 0x05;
    Rig.Click("Verify_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Did NOT Verify to Buffer....");
    EXPECT_EQ(
        MemoLines(),
        QStringList({"0010  EXPECTED-3F FOUND-0F",
                     "Diagnosis: the buffer sets bits 4 to 7, which a 4-bit part does not have, in 1 cell"}));
    EXPECT_EQ(Rig.StatusColour(), Red);

    Rig.State().DataBuffer[0x300] = 0xEE; // above the device: kept
    Rig.Click("Move_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Has Been Moved to Buffer....");
    EXPECT_EQ(Rig.State().DataBuffer[0x10], 0x0F);
    EXPECT_EQ(Rig.State().DataBuffer[0x300], 0xEE);
    EXPECT_EQ(Rig.Text("Chk_Sum_But"), "CheckSum=0014");
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_FALSE(Rig.Visible("Memo1"));

    Rig.Click("Verify_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Verified to Buffer....");
    EXPECT_EQ(Rig.Text("Address"), "00FF");
}

TEST_F(DeviceButtonsTest, CompareStopsAtTheFirstCellThatCannotTakeTheBuffer) {
    Select(3);
    Rig.Programmer.Fuses[0x04] = 0x05;
    Rig.Programmer.Fuses[0x09] = 0x05;
    Rig.State().DataBuffer[0x04] = 0x07;
    Rig.State().DataBuffer[0x09] = 0x03;
    const QStringList memoBefore = MemoLines();
    Rig.Click("Compare");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device CAN NOT be Reprogrammed....");
    EXPECT_EQ(Rig.Text("Address"), "0009");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_EQ(MemoLines(), memoBefore) << "the compare lists nothing";
    EXPECT_FALSE(Rig.Visible("Memo1"));

    Rig.State().DataBuffer[0x09] = 0x07;
    Rig.Click("Compare");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Can be Reprogrammed....");
    EXPECT_EQ(Rig.Text("Address"), "001F");
}

TEST_F(DeviceButtonsTest, ProgramThenTheFullVerify) {
    Select(3);
    Rig.State().DataBuffer[0x00] = 0x81;
    Rig.State().DataBuffer[0x1F] = 0x10;
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device is Programmed....");
    EXPECT_EQ(Rig.StatusColour(), Lime);
    EXPECT_EQ(Rig.Programmer.Fuses[0x00], 0x81);
    EXPECT_EQ(Rig.Programmer.Fuses[0x1F], 0x10);
    EXPECT_EQ(Rig.Programmer.Pulses().size(), 3u);
    ExpectHonestWire();

    // A blown fuse the buffer does not want: the verify after programming lists it.
    Rig.Programmer.Fuses[0x05] = 0x02;
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Did NOT Program....");
    EXPECT_EQ(MemoLines(),
              QStringList({"0005  EXPECTED-00 FOUND-02",
                           "Diagnosis: no single-line pattern; the part differs in 1 cell: 1 bit "
                           "reads 1 where 0 is wanted (never to be mended)"}));
    EXPECT_EQ(Rig.StatusColour(), Red);
}

// The close box during programming: the pulse in flight keeps its 10 ms,
// the pass ends, the programmer is left idle and its port given back, and
// nothing touches the port afterwards.
TEST_F(DeviceButtonsTest, CloseDuringProgrammingStopsSafely) {
    Select(3);
    Rig.State().DataBuffer.fill(0xFF);
    Rig.CloseDuringPulse(3);
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), StoppedCaption);
    EXPECT_FALSE(Rig.Programmer.PulseOn());
    EXPECT_LE(Rig.Programmer.Pulses().size(), 5u);
    EXPECT_TRUE(Rig.Form().isVisible()) << "the close waits for the command to return";

    // The close follows once the command has returned.
    QCoreApplication::processEvents();
    EXPECT_FALSE(Rig.Form().isVisible());
    EXPECT_FALSE(Rig.State().PortOpen);
    EXPECT_EQ(Rig.Programmer.Latch(0x02), 0x3B) << "idle before the release";
    ExpectHonestWire();
    Rig.ExpectNothingAfterTheRelease();
}

// A close that lands while the verify's frame paints its lock (the moment
// the frame used to rewind the stop) still ends in a stop, never a verdict.
TEST_F(DeviceButtonsTest, CloseAtTheStartOfAVerifyIsNotLost) {
    Select(3);
    Rig.State().DataBuffer[0x02] = 0x40;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (!Rig.Enabled("Verify_Eprom")) {
            closer.stop();
            Rig.Form().close();
        }
    });
    closer.start();
    Rig.Click("Verify_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), StoppedCaption);
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_THAT(MemoLines(), IsEmpty());
    QCoreApplication::processEvents();
    EXPECT_FALSE(Rig.State().PortOpen);
    EXPECT_THAT(Rig.Bus.Violations(), IsEmpty());
}

// The diagnosis follows the fault list in Memo1, once, at the end of the
// pass, also of the verify after programming; a verify that passes shows none.
TEST_F(DeviceButtonsTest, TheDiagnosisFollowsTheFaultList) {
    Select(19); // 82S147, 512 x 8, in the 20-pin adapter socket
    std::mt19937 random(5);
    int affected = 0;
    for (size_t cell = 0; cell < 512; ++cell) {
        const uint8_t byte = static_cast<uint8_t>(random());
        Rig.State().DataBuffer[cell] = Rig.Programmer.Fuses[cell] = byte;
        affected += (byte & 0x08) != 0;
    }
    Rig.Programmer.DataStuckLow = 0x08;
    Rig.Click("Verify_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Did NOT Verify to Buffer....");
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Visible("Memo1"));
    const QStringList lines = MemoLines();
    ASSERT_EQ(lines.size(), affected + 1);
    const QRegularExpression faultLine("^[0-9A-F]{4}  EXPECTED-[0-9A-F]{2} FOUND-[0-9A-F]{2}$");
    for (int k = 0; k < affected; ++k)
        EXPECT_TRUE(faultLine.match(lines[k]).hasMatch()) << lines[k].toStdString();
    EXPECT_EQ(lines.back(),
              "Diagnosis: D3 (PROM pin 9, socket pin 12) reads 0 in every cell: the line is open or "
              "stuck at 0");

    Rig.Programmer.DataStuckLow = 0;
    Rig.Click("Verify_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Verified to Buffer....");
    EXPECT_FALSE(Rig.Visible("Memo1"));
    EXPECT_FALSE(Rig.Find<QPlainTextEdit>("Memo1")->toPlainText().contains("Diagnosis"));

    Select(3); // 82S123, 32 x 8
    Rig.Programmer.Fuses.fill(0);
    Rig.State().DataBuffer.fill(0);
    for (size_t cell : {2, 7, 11, 19, 23, 30})
        Rig.State().DataBuffer[cell] = 0x04;
    Rig.Programmer.DataStuckLow = 0x04;
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Did NOT Program....");
    EXPECT_EQ(MemoLines().size(), 7);
    EXPECT_EQ(MemoLines().back(),
              "Diagnosis: D2 (pin 3) reads 0 in every cell: the line is open or stuck at 0");
    EXPECT_EQ(MemoLines().filter("Diagnosis").size(), 1);
}

// On a programmer whose address bit 9 does not reach the 82S181, Program
// stops after the first upper-half pulse, in red, with the cell named; a
// Move of the part then says its halves read the same.
TEST_F(DeviceButtonsTest, ProgramStopsWhenAddressBit9DoesNotReachThePart) {
    Rig.Programmer.AddressOpen = 0x200; // A9 floats to 0
    Select(20);                         // 82S181, 1k x 8
    Rig.State().DataBuffer[0x010] = 0x01;
    Rig.State().DataBuffer[0x210] = 0x10;
    Rig.Click("Program_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), AddressBit9Caption);
    EXPECT_EQ(Rig.StatusColour(), Red);
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_EQ(MemoLines(), QStringList({"0210  BIT 4 PULSED, FOUND IN 0010: address bit 9 does not reach the "
                                        "device; programming stopped after that pulse"}));
    EXPECT_EQ(Rig.Programmer.Pulses().size(), 2u);
    EXPECT_EQ(Rig.Programmer.Fuses[0x010], 0x11);
    EXPECT_TRUE(Rig.Enabled("Program_Eprom"));
    ExpectHonestWire();

    Rig.Click("Move_Eprom");
    EXPECT_EQ(Rig.Text("StaticText3"), "Device Has Been Moved to Buffer....");
    EXPECT_TRUE(Rig.Visible("Memo1"));
    EXPECT_EQ(MemoLines(), QStringList({IdenticalHalvesLine}));
}

} // namespace
} // namespace quennel::test
