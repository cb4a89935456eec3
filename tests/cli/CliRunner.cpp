#include "CliRunner.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace quennel::test {

CliRunner::CliRunner() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quennel-cli-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("no scratch folder");
    Scratch = pattern;
}

CliRunner::~CliRunner() {
    if (Child > 0) {
        ::kill(Child, SIGKILL);
        ::waitpid(Child, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(Scratch, ignored);
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void CliRunner::Start(const std::vector<std::string>& arguments, std::optional<std::string> input) {
    const std::string out = PathOf(".stdout").string();
    const std::string err = PathOf(".stderr").string();
    std::vector<std::string> argv{QUENNEL_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    int pipeEnds[2] = {-1, -1};
    if (input && ::pipe(pipeEnds) != 0)
        throw std::runtime_error("no pipe");
    // A program that ends before reading its input must not take the test with it.
    ::signal(SIGPIPE, SIG_IGN);
    Child = ::fork();
    if (Child == 0) {
        ::signal(SIGPIPE, SIG_DFL);
        if (::chdir(Scratch.c_str()) != 0)
            ::_exit(127);
        if (input) {
            ::dup2(pipeEnds[0], STDIN_FILENO);
            ::close(pipeEnds[0]);
            ::close(pipeEnds[1]);
        } else {
            ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
        }
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        std::vector<char*> pointers;
        for (std::string& argument : argv)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    if (input) {
        // Small inputs fit the pipe whole; the program reads them at its pace.
        ::close(pipeEnds[0]);
        size_t done = 0;
        while (done < input->size()) {
            const ssize_t written = ::write(pipeEnds[1], input->data() + done, input->size() - done);
            if (written <= 0)
                break;
            done += static_cast<size_t>(written);
        }
        ::close(pipeEnds[1]);
    }
}

std::string CliRunner::ErrorSoFar() const {
    return ReadFile(PathOf(".stderr"));
}

std::string CliRunner::OutputSoFar() const {
    return ReadFile(PathOf(".stdout"));
}

void CliRunner::Signal(int signal) {
    ::kill(Child, signal);
}

CliResult CliRunner::Wait(std::chrono::seconds limit) {
    int status = 0;
    CliResult result;
    const pid_t child = Child;
    result.TimedOut = !WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, limit);
    if (result.TimedOut) {
        ::kill(Child, SIGKILL);
        ::waitpid(Child, &status, 0);
    }
    Child = -1;
    result.Signaled = WIFSIGNALED(status);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Out = ReadFile(PathOf(".stdout"));
    result.Err = ReadFile(PathOf(".stderr"));
    return result;
}

CliResult CliRunner::Run(const std::vector<std::string>& arguments, std::optional<std::string> input) {
    Start(arguments, std::move(input));
    return Wait();
}

std::vector<std::string> SimArguments(std::vector<std::string> more) {
    std::vector<std::string> arguments{"--port", "sim", "--sim-chip", "chip.bin", "-q"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

void FeedFifo(const std::filesystem::path& path, const std::string& contents, std::chrono::seconds limit) {
    int descriptor = -1;
    // A FIFO opened for writing without blocking fails until it has a reader.
    if (!WaitUntil([&] { return (descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }, limit))
        return;
    ::fcntl(descriptor, F_SETFL, 0);
    size_t done = 0;
    while (done < contents.size()) {
        const ssize_t written = ::write(descriptor, contents.data() + done, contents.size() - done);
        if (written <= 0)
            break;
        done += static_cast<size_t>(written);
    }
    ::close(descriptor);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::filesystem::path& path, const std::string& contents) {
    std::ofstream file(path, std::ios::binary);
    file << contents;
}

} // namespace quennel::test
