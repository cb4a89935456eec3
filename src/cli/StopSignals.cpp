#include "cli/StopSignals.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace quennel::cli {

namespace {

constexpr int Handled[3] = {SIGINT, SIGTERM, SIGHUP};
constexpr char WakeToEnd = 0;

std::atomic<int> FirstSignal{0};
// The handler's end of the pipe the watcher waits on; -1 while nobody watches.
std::atomic<int> WakeDescriptor{-1};
int WatchDescriptor = -1;
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs lock-free state");

// Only async-signal-safe calls here: a note on standard error, so the
// operator sees the stop is under way, and a byte down the pipe.
extern "C" void NoteSignal(int signal) {
    const int saved = errno;
    int none = 0;
    FirstSignal.compare_exchange_strong(none, signal);
    static constexpr char Notice[] = "quennel-cli: stopping after the cell or the pulse in hand\n";
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, Notice, sizeof Notice - 1);
    const char byte = static_cast<char>(signal);
    const int wake = WakeDescriptor.load();
    if (wake >= 0)
        ignored = ::write(wake, &byte, 1);
    errno = saved;
}

} // namespace

StopSignals::StopSignals(MessageQueue& queue, std::function<void()> onStop)
    : Queue(queue), OnStop(std::move(onStop)) {
    FirstSignal.store(0);
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "no pipe for the stop signals");
    // The watcher blocks on its end; the handler's end must never block.
    ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
    WatchDescriptor = ends[0];
    WakeDescriptor.store(ends[1]);
    struct sigaction action {};
    action.sa_handler = NoteSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls keep the core's waits and port calls undisturbed.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        sigaction(Handled[i], &action, &Previous[i]);
    Watcher = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(Handled[i], &Previous[i], nullptr);
    const int wake = WakeDescriptor.exchange(-1);
    [[maybe_unused]] const ssize_t ignored = ::write(wake, &WakeToEnd, 1);
    Watcher.join();
    ::close(wake);
    ::close(WatchDescriptor);
    WatchDescriptor = -1;
}

int StopSignals::Raised() const {
    return FirstSignal.load();
}

void StopSignals::Watch() {
    for (;;) {
        char byte = 0;
        const ssize_t count = ::read(WatchDescriptor, &byte, 1);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0 || byte == WakeToEnd)
            return;
        Queue.Post(OnStop);
    }
}

} // namespace quennel::cli
