#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/MessageQueue.h"

using namespace quennel;

TEST(MessageQueue, CallFromAnotherThreadRunsOnTheMessageThreadWhenItPumps) {
    MessageQueue queue;
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        queue.RunOnMessageThread([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    queue.WaitForMessages();
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MessageQueue, CallOnTheMessageThreadRunsAtOnce) {
    MessageQueue queue;
    bool ran = false;
    queue.RunOnMessageThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(queue.ProcessMessages(), 0);
}

TEST(MessageQueue, TimedWaitGivesUpWhenNothingArrives) {
    MessageQueue queue;
    EXPECT_EQ(queue.WaitForMessages(std::chrono::milliseconds(5)), 0);
    queue.Post([] {});
    EXPECT_EQ(queue.WaitForMessages(std::chrono::milliseconds(5)), 1);
}
