#include "CliRunner.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
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

void CliRunner::Start(const std::vector<std::string>& arguments) {
    const std::string out = PathOf(".stdout").string();
    const std::string err = PathOf(".stderr").string();
    std::vector<std::string> argv{QUENNEL_CLI_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    Child = ::fork();
    if (Child == 0) {
        if (::chdir(Scratch.c_str()) != 0)
            ::_exit(127);
        ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        std::vector<char*> pointers;
        for (std::string& argument : argv)
            pointers.push_back(argument.data());
        pointers.push_back(nullptr);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
}

std::string CliRunner::OutputSoFar() const {
    return ReadFile(PathOf(".stdout"));
}

void CliRunner::Signal(int signal) {
    ::kill(Child, signal);
}

CliResult CliRunner::Wait() {
    int status = 0;
    ::waitpid(Child, &status, 0);
    Child = -1;
    CliResult result;
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.Out = ReadFile(PathOf(".stdout"));
    result.Err = ReadFile(PathOf(".stderr"));
    return result;
}

CliResult CliRunner::Run(const std::vector<std::string>& arguments) {
    Start(arguments);
    return Wait();
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
