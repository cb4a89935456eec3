// The window's repaint while a pass pumps messages: ProcessMessages leaves
// it to the next wait, but never loses it, never holds it for long, and
// never holds it in a modal box's own loop. The address a programming pulse
// shows reaches the display at the pulse's wait.

#include "WindowRig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>

namespace quennel::test {
namespace {

class PaintCount : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return false;
    }
};

class RepaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Rig.Form()));
        QCoreApplication::processEvents();
        Rig.Find<QWidget>("Address")->installEventFilter(&Address);
    }

    WindowRig Rig;
    PaintCount Address;
};

TEST_F(RepaintTest, APumpLeavesItToTheNextWait) {
    Rig.Form().ShowAddress("01A5");
    Rig.Form().ProcessMessages();
    EXPECT_EQ(Address.Paints, 0);
    Rig.Form().ProcessMessages();
    EXPECT_EQ(Address.Paints, 0);

    QTimer waker; // the wait returns even if nothing is pending
    waker.start(200);
    Rig.Form().WaitForMessages();
    EXPECT_EQ(Address.Paints, 1);

    // Outside a pump nothing is held.
    Rig.Find<QPushButton>("Address")->setText("01A6");
    QCoreApplication::processEvents();
    EXPECT_EQ(Address.Paints, 2);
}

TEST_F(RepaintTest, APassThatNeverWaitsStillRepaints) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int address = 0;
    while (Address.Paints == 0 && std::chrono::steady_clock::now() < limit) {
        Rig.Form().ShowAddress(std::to_string(address++ % 10000));
        Rig.Form().ProcessMessages();
    }
    EXPECT_EQ(Address.Paints, 1);
    EXPECT_GT(address, 1) << "the first pump held the repaint";
}

// The box opens from a timer that is due when the pump begins, after the
// pump has put the repaint back.
TEST_F(RepaintTest, AModalLoopInsideThePumpRepaints) {
    int paintedInside = -1;
    QTimer::singleShot(1, &Rig.Form(), [&] {
        QEventLoop box;
        QTimer::singleShot(20, &box, &QEventLoop::quit);
        box.exec();
        paintedInside = Address.Paints;
    });
    Rig.Form().ShowAddress("0002");
    QTest::qSleep(5);
    Rig.Form().ProcessMessages();
    EXPECT_EQ(paintedInside, 1);
}

TEST_F(RepaintTest, AnAddressShownInAPulseReachesTheDisplayAtItsWait) {
    Rig.State().PulseInFlight = true;
    Rig.Form().ShowAddress("0123");
    Rig.Form().ProcessMessages();
    EXPECT_EQ(Rig.Text("Address"), "0000");
    QTimer waker;
    waker.start(200);
    Rig.Form().WaitForMessages();
    EXPECT_EQ(Rig.Text("Address"), "0123");
    Rig.State().PulseInFlight = false;

    // Outside a pulse the next pump shows it, and the end of a command.
    Rig.Form().ShowAddress("0124");
    Rig.Form().ProcessMessages();
    EXPECT_EQ(Rig.Text("Address"), "0124");
    Rig.Form().Deliver([&] { Rig.Form().ShowAddress("0125"); });
    EXPECT_EQ(Rig.Text("Address"), "0125");
}

} // namespace
} // namespace quennel::test
