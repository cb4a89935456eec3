#pragma once
// A message thread's queue of calls for front ends without a toolkit loop
// (the command line and the tests): other threads hand calls in, the message
// thread runs them when it processes its messages.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quennel {

class MessageQueue {
public:
    MessageQueue(); // the constructing thread is the message thread

    // Queues call and returns at once.
    void Post(std::function<void()> call);

    // Runs every call pending now; returns how many ran.
    int ProcessMessages();
    // Sleeps until a call is pending, then runs every pending call.
    void WaitForMessages();
    // The same, but gives up waiting after limit; returns how many ran.
    int WaitForMessages(std::chrono::milliseconds limit);

    bool IsMessageThread() const { return std::this_thread::get_id() == MessageThread; }

    // Runs on the posting thread after each call has been queued, outside
    // the lock: a front end with a loop of its own wakes that loop here, so
    // that the call is taken. Set before any other thread posts.
    std::function<void()> OnPost;

private:
    std::thread::id MessageThread;
    std::mutex Lock;
    std::condition_variable Pending;
    std::deque<std::function<void()>> Calls;
};

} // namespace quennel
