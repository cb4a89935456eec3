// Calls handed to the window's message thread by another thread (the
// timer's tick is one): they run in a wait, in Qt's own loop and in a modal
// loop opened inside a wait.

#include "WindowRig.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace quennel::test {
namespace {

using namespace std::chrono_literals;

// Hands a call over from a thread of its own and notes where it ran.
class Handing {
public:
    explicit Handing(TMainForm& form) : Form(form) {}
    // A call that was never taken would keep the thread blocked for good:
    // the pumps get a last chance, then the test program ends.
    ~Handing() {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!Returned && std::chrono::steady_clock::now() < limit) {
            QCoreApplication::processEvents();
            Form.ProcessMessages();
        }
        if (!Returned) {
            ADD_FAILURE() << "the handed-over call was never run";
            std::abort();
        }
        if (Thread.joinable())
            Thread.join();
    }

    void Start(std::function<void()> extra = {}) {
        Thread = std::thread([this, extra = std::move(extra)] {
            Form.PostToMessageThread([this, extra] {
                RanOn = std::this_thread::get_id();
                if (extra)
                    extra();
                Returned = true;
            });
        });
    }

    TMainForm& Form;
    std::thread::id RanOn;
    std::atomic<bool> Returned{false};
    std::thread Thread;
};

TEST(HandOver, RunsInAWait) {
    WindowRig rig;
    Handing handing(rig.Form());
    QTimer waker; // a wait that is never handed anything still returns
    waker.start(100);
    handing.Start();
    const auto limit = std::chrono::steady_clock::now() + 5s;
    while (handing.RanOn == std::thread::id() && std::chrono::steady_clock::now() < limit)
        rig.Form().WaitForMessages();
    EXPECT_EQ(handing.RanOn, std::this_thread::get_id());
}

TEST(HandOver, RunsInQtsOwnLoop) {
    WindowRig rig;
    Handing handing(rig.Form());
    handing.Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return handing.Returned.load(); }, 5000));
    EXPECT_EQ(handing.RanOn, std::this_thread::get_id());
}

TEST(HandOver, RunsInAModalLoopInsideAWait) {
    WindowRig rig;
    QEventLoop box;
    bool boxOpen = false;
    bool ranInBox = false;
    Handing handing(rig.Form()); // last: its call may still run as it ends
    QTimer::singleShot(0, &rig.Form(), [&] {
        QTimer::singleShot(5000, &box, &QEventLoop::quit);
        handing.Start([&] {
            ranInBox = boxOpen;
            box.quit();
        });
        boxOpen = true;
        box.exec();
        boxOpen = false;
    });
    rig.Form().WaitForMessages();
    EXPECT_TRUE(ranInBox);
}

} // namespace
} // namespace quennel::test
