// One command at a time: what the operator does while a pass runs (a click on
// the status line, an accelerator, a row of the device list, editor keys, a
// second button) never reaches the device, the buffer or the selection, and
// keys typed in a burst reach the editor in the order typed. Every event is
// a real one, delivered to the window the way Qt delivers the operator's.

#include "WindowRig.h"
#include "buffer/BufferImage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <functional>
#include <gmock/gmock.h>

namespace quennel::test {
namespace {

using ::testing::IsEmpty;

constexpr int Row82S23 = 2;   // 32 x 8, class 1
constexpr int Row74S188 = 24; // 32 x 8, class 2
constexpr int Row82S181 = 20; // 1k x 8

// What the part saw of one pass: each pulse's cell and bit, in order.
using PulseOrder = std::vector<std::pair<uint16_t, uint8_t>>;

PulseOrder OrderOf(const std::vector<ProgrammingPulse>& pulses) {
    PulseOrder order;
    for (const ProgrammingPulse& pulse : pulses)
        order.emplace_back(pulse.Cell, pulse.Bit);
    return order;
}

// Runs something once, from inside the pass's own message pumps, as soon as
// the part has seen this many pulses and the next one is on.
class AtPulse {
public:
    AtPulse(SimulatedProgrammer& programmer, size_t pulses, std::function<void()> action)
        : Action(std::move(action)) {
        Timer.setInterval(1);
        QObject::connect(&Timer, &QTimer::timeout, [this, &programmer, pulses] {
            if (Done || !programmer.PulseOn() || programmer.Pulses().size() < pulses)
                return;
            Done = true;
            Timer.stop();
            Action();
        });
        Timer.start();
    }
    bool Done = false;

private:
    QTimer Timer;
    std::function<void()> Action;
};

class OneCommandAtATimeTest : public ::testing::Test {
protected:
    OneCommandAtATimeTest() {
        Rig.StartUp();
        Rig.Form().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Rig.Form()));
    }

    void Select(int row) {
        Rig.Click("Device");
        Rig.ChooseDeviceRow(row);
    }

    // Six fuses in three cells of a 32-cell part.
    void LoadImage() {
        Rig.State().DataBuffer.fill(0);
        Rig.State().DataBuffer[0x03] = 0x81;
        Rig.State().DataBuffer[0x0A] = 0x10;
        Rig.State().DataBuffer[0x14] = 0x07;
        Image = Rig.State().DataBuffer;
    }

    // The pass as the part saw it, with nothing done meanwhile.
    PulseOrder Undisturbed() {
        return {{0x03, 0}, {0x03, 7}, {0x0A, 4}, {0x14, 0}, {0x14, 1}, {0x14, 2}};
    }

    // The pass went on exactly as without the interference, and ended as it should.
    void ExpectUndisturbedPass() {
        EXPECT_EQ(OrderOf(Rig.Programmer.Pulses()), Undisturbed());
        for (const ProgrammingPulse& pulse : Rig.Programmer.Pulses()) {
            EXPECT_GE(pulse.WidthMs, MinimumPulseMs) << "cell " << pulse.Cell << " bit " << int(pulse.Bit);
            EXPECT_TRUE(pulse.InProgrammingMode);
        }
        EXPECT_THAT(Rig.Bus.Violations(), IsEmpty());
        EXPECT_EQ(Rig.State().DataBuffer, Image);
        EXPECT_EQ(Rig.Text("StaticText3"), "Device is Programmed....");
        EXPECT_EQ(Rig.StatusColour(), Lime);
        for (uint16_t cell : {0x03, 0x0A, 0x14})
            EXPECT_EQ(Rig.Programmer.Fuses[cell], Image[cell]);
    }

    void ProgramWith(std::function<void()> interference, size_t atPulse = 2) {
        AtPulse during(Rig.Programmer, atPulse, std::move(interference));
        Rig.Click("Program_Eprom");
        EXPECT_TRUE(during.Done) << "the interference never ran during the pass";
    }

    static void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : nullptr, key, modifiers);
    }

    WindowRig Rig;
    DataImage Image{};
};

TEST_F(OneCommandAtATimeTest, AClickOnTheStatusLineIsIgnored) {
    Select(Row82S23);
    LoadImage();
    ProgramWith([this] { Rig.Click("StaticText3"); });
    ExpectUndisturbedPass();
}

TEST_F(OneCommandAtATimeTest, EveryAcceleratorIsIgnored) {
    Select(Row82S23);
    LoadImage();
    ProgramWith([] {
        for (Qt::Key key : {Qt::Key_P, Qt::Key_B, Qt::Key_V, Qt::Key_M, Qt::Key_E, Qt::Key_F, Qt::Key_C,
                            Qt::Key_L, Qt::Key_S})
            Key(key, Qt::AltModifier);
    });
    ExpectUndisturbedPass();
    EXPECT_THAT(Rig.Dialogs.OpenRequests, IsEmpty()) << "Alt+L opened the load dialog";
    EXPECT_FALSE(Rig.Visible("FillBox")) << "Alt+F opened the fill choice";
    EXPECT_FALSE(Rig.Visible("Edit_1")) << "Alt+E opened the editor";
}

TEST_F(OneCommandAtATimeTest, ARowOfTheDeviceListLeftOpenIsIgnored) {
    Select(Row82S23);
    LoadImage();
    // As the start-up leaves it when no device is known: open, commands enabled.
    auto* list = Rig.Find<QListWidget>("Device_Box");
    list->show();
    list->raise();
    const QRect row = list->visualItemRect(list->item(Row74S188));
    ProgramWith([this, list, row] {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
        QTest::keyClick(list, Qt::Key_Return);
    });
    ExpectUndisturbedPass();
    EXPECT_EQ(Rig.State().DeviceClass, 1);
    EXPECT_EQ(Rig.State().DeviceEnd, 0x1F);
    EXPECT_EQ(Rig.Text("Device"), "82S23");
    EXPECT_FALSE(Rig.Visible("Device_Box")) << "a command closes the list it finds open";
}

TEST_F(OneCommandAtATimeTest, EditorKeysDuringAPassStoreNothing) {
    Select(Row82S23);
    LoadImage();
    Rig.Click("Edit");
    ASSERT_EQ(QApplication::focusWidget(), Rig.Find<QWidget>("Edit_1"));
    // The pass is started from the keyboard, the editor still open.
    AtPulse during(Rig.Programmer, 2, [] {
        QTest::keyClicks(QApplication::focusWidget(), "ff77");
        Key(Qt::Key_Down);
    });
    Key(Qt::Key_P, Qt::AltModifier);
    QTest::qWait(200); // the accelerator's click comes a moment after the key
    ASSERT_TRUE(QTest::qWaitFor([&] { return during.Done; }, 3000));
    ExpectUndisturbedPass();
}

TEST_F(OneCommandAtATimeTest, ASecondButtonClickIsIgnored) {
    Select(Row82S23);
    LoadImage();
    ProgramWith([this] {
        for (const char* button : {"Program_Eprom", "Verify_Eprom", "Device", "Fill", "Load_But"})
            Rig.Click(button);
    });
    ExpectUndisturbedPass();
    EXPECT_THAT(Rig.Dialogs.OpenRequests, IsEmpty());
}

// The same clicks, queued by the window system rather than sent at once:
// they wait in the queue while the pass pumps, and must not run there or after.
TEST_F(OneCommandAtATimeTest, QueuedClicksAndKeysDuringAPassAreDropped) {
    Select(Row82S23);
    LoadImage();
    QWidget* status = Rig.Find<QWidget>("StaticText3");
    ProgramWith([status] {
        const QPointF at = QPointF(status->rect().center());
        const QPointF global = QPointF(status->mapToGlobal(at.toPoint()));
        QCoreApplication::postEvent(status, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                            Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(status, new QMouseEvent(QEvent::MouseButtonRelease, at, global,
                                                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    });
    ExpectUndisturbedPass();
    const size_t pulses = Rig.Programmer.Pulses().size();
    QTest::qWait(50);
    EXPECT_EQ(Rig.Programmer.Pulses().size(), pulses);
}

// The close is the last command: a click waiting in the queue when the
// window closes starts nothing on the port the close gave back.
TEST_F(OneCommandAtATimeTest, AClickWaitingAtTheCloseStartsNothing) {
    Select(Row82S23);
    LoadImage();
    auto* program = Rig.Find<QWidget>("Program_Eprom");
    const QPointF at = QPointF(program->rect().center());
    const QPointF global = QPointF(program->mapToGlobal(at.toPoint()));
    QCoreApplication::postEvent(program, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                         Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(program, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                         Qt::NoButton, Qt::NoModifier));
    const std::string status = Rig.Text("StaticText3");
    Rig.Form().close();
    QTest::qWait(50);
    EXPECT_EQ(Rig.Text("StaticText3"), status) << "a command ran after the close";
    EXPECT_THAT(Rig.Programmer.Pulses(), IsEmpty());
    Rig.ExpectNothingAfterTheRelease();
}

// The search for the programmer is a command too: a second click on the
// status line, or a key, during its confirming pause starts nothing.
TEST(OneCommandAtATime, DetectionRunsOnceWhateverIsClickedMeanwhile) {
    WindowRig reference(true);
    reference.Click("StaticText3");
    ASSERT_EQ(reference.State().ProgrammerModel, 2);
    const size_t oneSearch = reference.Trace.Events().size();

    WindowRig rig(true);
    bool clicked = false;
    QTimer during;
    during.setInterval(20);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (clicked || rig.State().PortOpen == false)
            return;
        clicked = true;
        rig.Click("StaticText3");
        QTest::keyClick(&rig.Form(), Qt::Key_B, Qt::AltModifier);
    });
    during.start();
    rig.Click("StaticText3");
    during.stop();
    EXPECT_TRUE(clicked);
    EXPECT_EQ(rig.State().ProgrammerModel, 2);
    EXPECT_EQ(rig.Trace.Events().size(), oneSearch) << "a second search ran";
}

// Keys typed faster than the editor handles them land in the order typed.
TEST_F(OneCommandAtATimeTest, AKeyBurstReachesTheEditorInOrder) {
    Select(Row82S181);
    Rig.State().DataBuffer.fill(0);
    Rig.Click("Edit");
    QWidget* page = Rig.Find<QWidget>("Edit_1");
    ASSERT_EQ(QApplication::focusWidget(), page);
    const QString typed = "a5c30123456789abcdef";
    for (const QChar c : typed) {
        const int key = c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A + (c.unicode() - 'a');
        QCoreApplication::postEvent(page, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(c)));
        QCoreApplication::postEvent(page, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, QString(c)));
    }
    QTest::qWait(300);
    const std::vector<uint8_t> want{0xA5, 0xC3, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(std::vector<uint8_t>(Rig.State().DataBuffer.begin(), Rig.State().DataBuffer.begin() + 10), want);
    EXPECT_EQ(Rig.State().DataBuffer[10], 0x00);
    const auto* text = static_cast<QPlainTextEdit*>(page);
    EXPECT_EQ(text->document()->findBlockByNumber(0).text().left(14).toStdString(), "Address = 000A");
    EXPECT_EQ(text->textCursor().blockNumber(), 1);
    EXPECT_EQ(text->textCursor().positionInBlock(), 6 + 3 * 10);
}

// A busy window looks busy: a disabled button's caption is not drawn in the
// black of an enabled one.
int BlackPixels(const QImage& image) {
    int black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            black += std::max({colour.red(), colour.green(), colour.blue()}) < 50 ? 1 : 0;
        }
    return black;
}

TEST_F(OneCommandAtATimeTest, DisabledButtonsLookDisabled) {
    for (const char* name : SixteenButtons) {
        auto* button = Rig.Find<QPushButton>(name);
        button->setEnabled(true);
        EXPECT_GT(BlackPixels(button->grab().toImage()), 20) << name;
        button->setEnabled(false);
        EXPECT_EQ(BlackPixels(button->grab().toImage()), 0) << name;
    }
}

// The list opens ready for the keyboard, on the row chosen last.
TEST_F(OneCommandAtATimeTest, TheDeviceListTakesTheKeyboardWhenItOpens) {
    Select(Row82S23);
    Rig.Form().setFocus();
    Rig.Click("Device");
    auto* list = Rig.Find<QListWidget>("Device_Box");
    ASSERT_EQ(QApplication::focusWidget(), list);
    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_FALSE(Rig.Visible("Device_Box"));
    EXPECT_EQ(Rig.Text("Device"), "82S123");
    EXPECT_EQ(Rig.State().DeviceRow, Row82S23 + 1);
}

} // namespace
} // namespace quennel::test
