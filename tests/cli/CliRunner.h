#pragma once
// Runs the built quennel-cli in a scratch folder of its own and collects
// what it printed and how it ended.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quennel::test {

struct CliResult {
    int Status = -1;       // exit status, or 128 + signal when a signal ended it
    bool Signaled = false; // a signal ended it, rather than its own exit
    bool TimedOut = false; // it did not end in time and was killed
    std::string Out;
    std::string Err;
};

// Polls condition until it holds or limit has passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(60));

class CliRunner {
public:
    CliRunner();  // a fresh scratch folder
    ~CliRunner(); // removes it

    const std::filesystem::path& Folder() const { return Scratch; }
    std::filesystem::path PathOf(const std::string& name) const { return Scratch / name; }

    // input, when given, is what the program finds on a pipe as its
    // standard input; otherwise that is empty.
    CliResult Run(const std::vector<std::string>& arguments, std::optional<std::string> input = {});

    // Starts a run and returns at once; Wait collects it.
    void Start(const std::vector<std::string>& arguments, std::optional<std::string> input = {});
    // What the running program has printed so far.
    std::string OutputSoFar() const;
    std::string ErrorSoFar() const;
    void Signal(int signal);
    // Waits for the end; a run that outlives limit is killed and marked.
    CliResult Wait(std::chrono::seconds limit = std::chrono::seconds(120));

private:
    std::filesystem::path Scratch;
    pid_t Child = -1;
};

// Arguments that put a run on the simulated programmer with its chip kept
// in chip.bin, without a progress line.
std::vector<std::string> SimArguments(std::vector<std::string> more);

// Writes contents into the FIFO at path once a reader has opened it; gives
// up after limit, so a test never hangs on a reader that never comes.
void FeedFifo(const std::filesystem::path& path, const std::string& contents,
              std::chrono::seconds limit = std::chrono::seconds(60));

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& contents);

} // namespace quennel::test
