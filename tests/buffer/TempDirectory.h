#pragma once
// A fresh directory for one test's files, removed with everything in it.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <unistd.h>

namespace quennel::test {

class TempDirectory {
public:
    TempDirectory() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // A parameterised test's name holds a "/", which must not make a
        // folder of its own that nothing removes.
        std::string name = info ? info->name() : "test";
        std::replace(name.begin(), name.end(), '/', '-');
        Path = std::filesystem::temp_directory_path() / ("quennel-" + name + "-" + std::to_string(::getpid()));
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~TempDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return Path / name; }

    std::filesystem::path Path;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace quennel::test
