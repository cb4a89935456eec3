#include "core/MessageQueue.h"

#include <memory>

namespace quennel {

MessageQueue::MessageQueue() : MessageThread(std::this_thread::get_id()) {}

void MessageQueue::Post(std::function<void()> call) {
    {
        std::lock_guard guard(Lock);
        Calls.push_back(std::move(call));
    }
    Pending.notify_all();
    if (OnPost)
        OnPost();
}

void MessageQueue::RunOnMessageThread(const std::function<void()>& call) {
    if (IsMessageThread()) {
        call();
        return;
    }
    // The done flag is shared so that the waiter's state outlives nothing it needs.
    auto done = std::make_shared<bool>(false);
    auto doneSignal = std::make_shared<std::condition_variable>();
    Post([this, &call, done, doneSignal] {
        call();
        {
            std::lock_guard guard(Lock);
            *done = true;
        }
        doneSignal->notify_all();
    });
    std::unique_lock guard(Lock);
    doneSignal->wait(guard, [&] { return *done; });
}

int MessageQueue::ProcessMessages() {
    std::deque<std::function<void()>> now;
    {
        std::lock_guard guard(Lock);
        now.swap(Calls);
    }
    for (auto& call : now)
        call();
    return static_cast<int>(now.size());
}

void MessageQueue::WaitForMessages() {
    {
        std::unique_lock guard(Lock);
        Pending.wait(guard, [&] { return !Calls.empty(); });
    }
    ProcessMessages();
}

} // namespace quennel

namespace quennel {

int MessageQueue::WaitForMessages(std::chrono::milliseconds limit) {
    {
        std::unique_lock guard(Lock);
        Pending.wait_for(guard, limit, [&] { return !Calls.empty(); });
    }
    return ProcessMessages();
}

} // namespace quennel
