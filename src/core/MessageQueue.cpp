#include "core/MessageQueue.h"

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
