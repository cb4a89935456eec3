// Identifies a 1k part against a collection of dumps made for the purpose
// in a scratch folder: 5,000 plain files and 500 zip archives of a few
// kilobytes each, in folders of a hundred. The real quennel-cli runs as a
// child, first once to warm the file cache, then for the runs measured: its
// wall time and its peak resident set (from the child's rusage). The
// scratch folder is removed at the end.
//
// Usage: identify_bench [--runs N] [--files N] [--archives N]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t PartSize = 1024; // an 82S181's image
constexpr int PerFolder = 100;
// Sizes of the dumps: a few of every device's size, most of them larger.
constexpr size_t Sizes[] = {32, 256, 512, 1024, 2048, 2048, 4096, 4096, 4096, 8192};

std::string RandomBytes(std::mt19937& random, size_t size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    return bytes;
}

fs::path FolderFor(const fs::path& root, const std::string& kind, int index) {
    fs::path folder = root / kind / ("set" + std::to_string(index / PerFolder));
    fs::create_directories(folder);
    return folder;
}

void WriteArchive(const fs::path& path, const std::vector<std::string>& members) {
    int error = 0;
    zip_t* archive = ::zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        throw std::runtime_error("cannot make " + path.string());
    for (size_t i = 0; i < members.size(); ++i) {
        zip_source_t* source = ::zip_source_buffer(archive, members[i].data(), members[i].size(), 0);
        if (::zip_file_add(archive, ("prom" + std::to_string(i) + ".bin").c_str(), source, 0) < 0)
            throw std::runtime_error("cannot add to " + path.string());
    }
    if (::zip_close(archive) != 0)
        throw std::runtime_error("cannot write " + path.string());
}

struct Library {
    int64_t Bytes = 0;
    int Members = 0;
};

// The part's own image goes into the last archive, so that the scan finds
// it only at the end.
Library MakeLibrary(const fs::path& root, int files, int archives, const std::string& part) {
    std::mt19937 random(1);
    Library library;
    for (int i = 0; i < files; ++i) {
        const std::string bytes = RandomBytes(random, Sizes[random() % std::size(Sizes)]);
        std::ofstream(FolderFor(root, "loose", i) / ("dump" + std::to_string(i) + ".bin"), std::ios::binary)
            << bytes;
        library.Bytes += static_cast<int64_t>(bytes.size());
    }
    for (int i = 0; i < archives; ++i) {
        std::vector<std::string> members;
        const size_t count = 2 + random() % 4;
        for (size_t m = 0; m < count; ++m)
            members.push_back(RandomBytes(random, Sizes[random() % 4])); // 32 to 1024 bytes each
        if (i == archives - 1)
            members.push_back(part);
        const fs::path path = FolderFor(root, "boards", i) / ("board" + std::to_string(i) + ".zip");
        WriteArchive(path, members);
        library.Members += static_cast<int>(members.size());
        library.Bytes += static_cast<int64_t>(fs::file_size(path));
    }
    return library;
}

struct Run {
    double Seconds = 0;
    double PeakMB = 0;
    int Status = -1;
};

Run RunIdentify(const fs::path& scratch) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(scratch.c_str()) != 0)
            ::_exit(127);
        const int nowhere = ::open("/dev/null", O_WRONLY);
        ::dup2(nowhere, STDOUT_FILENO);
        ::dup2(nowhere, STDERR_FILENO);
        ::execl(QUENNEL_CLI_PATH, "quennel-cli", "identify", "part.bin", "--library", "lib", "-q", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    Run run;
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

int Usage() {
    std::fprintf(stderr, "usage: identify_bench [--runs N] [--files N] [--archives N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 5, files = 5000, archives = 500;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const int value = std::atoi(argv[++i]);
        if (value <= 0)
            return Usage();
        if (option == "--runs")
            runs = value;
        else if (option == "--files")
            files = value;
        else if (option == "--archives")
            archives = value;
        else
            return Usage();
    }
    std::string pattern = (fs::temp_directory_path() / "identify-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("identify_bench: scratch folder");
        return 1;
    }
    const fs::path scratch = pattern;
    int status = 0;
    try {
        std::mt19937 random(2);
        const std::string part = RandomBytes(random, PartSize);
        std::ofstream(scratch / "part.bin", std::ios::binary) << part;
        const Library library = MakeLibrary(scratch / "lib", files, archives, part);
        std::printf("library: %d files, %d archives with %d members, %.1f MB on disk\n", files, archives,
                    library.Members, static_cast<double>(library.Bytes) / (1024.0 * 1024.0));

        if (const Run warm = RunIdentify(scratch); warm.Status != 0) {
            std::fprintf(stderr, "identify_bench: quennel-cli ended with %d, not 0 (an exact match)\n",
                         warm.Status);
            status = 1;
        } else {
            std::vector<double> seconds;
            double peak = 0;
            for (int i = 0; i < runs; ++i) {
                const Run run = RunIdentify(scratch);
                seconds.push_back(run.Seconds);
                peak = std::max(peak, run.PeakMB);
            }
            std::ranges::sort(seconds);
            std::printf("%d warm runs of quennel-cli identify, a 1024-byte part\n", runs);
            std::printf("identify_seconds %.3f (median; min %.3f, max %.3f)\n", seconds[seconds.size() / 2],
                        seconds.front(), seconds.back());
            std::printf("identify_peak_memory %.1f MB (largest of the runs)\n", peak);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "identify_bench: %s\n", error.what());
        status = 1;
    }
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
    return status;
}
