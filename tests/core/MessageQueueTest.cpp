#include "core/MessageQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

using namespace quennel;

TEST(MessageQueue, CallFromAnotherThreadRunsOnTheMessageThreadWhenItPumps) {
    MessageQueue queue;
    std::thread::id ranOn;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        queue.Post([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    worker.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(ranOn, std::thread::id()); // nothing runs before the message thread pumps
    queue.WaitForMessages();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MessageQueue, TimedWaitGivesUpWhenNothingArrives) {
    MessageQueue queue;
    EXPECT_EQ(queue.WaitForMessages(std::chrono::milliseconds(5)), 0);
    queue.Post([] {});
    EXPECT_EQ(queue.WaitForMessages(std::chrono::milliseconds(5)), 1);
}

TEST(MessageQueue, OnPostRunsOnceTheCallCanBeTaken) {
    MessageQueue queue;
    int ran = 0;
    int takenInHook = -1;
    queue.OnPost = [&] { takenInHook = queue.ProcessMessages(); };
    queue.Post([&] { ++ran; });
    EXPECT_EQ(takenInHook, 1);
    EXPECT_EQ(ran, 1);
}
