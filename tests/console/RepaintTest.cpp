// The Address display during a pass: the address shown last reaches the
// button at the next pump, the next wait or the end of the command, and a
// pump repaints the window, so that what a pass shows is on view before it
// goes on.

#include "WindowRig.h"

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

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

TEST_F(RepaintTest, APumpShowsTheAddressAndRepaints) {
    Rig.Form().ShowAddress("01A5");
    EXPECT_EQ(Rig.Text("Address"), "0000") << "not yet: the caption waits for the next pump";
    Rig.Form().ProcessMessages();
    EXPECT_EQ(Rig.Text("Address"), "01A5");
    EXPECT_EQ(Address.Paints, 1);
}

TEST_F(RepaintTest, AWaitOrTheEndOfACommandShowsTheAddress) {
    Rig.Form().ShowAddress("0123");
    QTimer waker; // the wait returns even if nothing is pending
    waker.start(200);
    Rig.Form().WaitForMessages();
    EXPECT_EQ(Rig.Text("Address"), "0123");

    Rig.Form().Deliver([&] { Rig.Form().ShowAddress("0125"); });
    EXPECT_EQ(Rig.Text("Address"), "0125");
}

} // namespace
} // namespace quennel::test
