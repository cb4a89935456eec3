#pragma once
// Runs the built quennel-cli in a scratch folder of its own and collects
// what it printed and how it ended.

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quennel::test {

struct CliResult {
    int Status = -1; // exit status, or 128 + signal when a signal ended it
    std::string Out;
    std::string Err;
};

class CliRunner {
public:
    CliRunner();  // a fresh scratch folder
    ~CliRunner(); // removes it

    const std::filesystem::path& Folder() const { return Scratch; }
    std::filesystem::path PathOf(const std::string& name) const { return Scratch / name; }

    CliResult Run(const std::vector<std::string>& arguments);

    // Starts a run and returns at once; Wait collects it.
    void Start(const std::vector<std::string>& arguments);
    // What the running program has printed so far.
    std::string OutputSoFar() const;
    void Signal(int signal);
    CliResult Wait();

private:
    std::filesystem::path Scratch;
    pid_t Child = -1;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& contents);

} // namespace quennel::test
