// How long the diagnosis of a failed 1k x 8 pass takes, for the passes that
// make it work hardest: no pattern at all, each kind of faulty line, and a
// mostly empty image with one fuse too many, where every hypothesis runs far
// before it fails.
// Usage: diagnosis_bench [runs]   (default 2000 of each)

#include "device/Catalogue.h"
#include "device/FaultDiagnosis.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

using namespace quennel;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t Cells = 1024;
using Image = std::vector<uint8_t>;

Image Random(std::mt19937& random) {
    Image image(Cells);
    for (uint8_t& cell : image)
        cell = static_cast<uint8_t>(random());
    return image;
}

Image Read(const Image& image, const std::function<uint8_t(const Image&, size_t)>& line) {
    Image read(Cells);
    for (size_t cell = 0; cell < Cells; ++cell)
        read[cell] = line(image, cell);
    return read;
}

struct Pass {
    const char* Name;
    Image Found, Expected;
};

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const CatalogueRow& row = *FindDeviceByCaption("82S181");
    std::mt19937 random(1);

    const Image image = Random(random);
    Image sparse(Cells, 0x00);
    for (size_t cell = 0; cell < Cells; cell += 97)
        sparse[cell] = 0x5A;
    Image oneMore = sparse;
    oneMore[Cells - 1] |= 0x01;
    const std::vector<Pass> passes{
        {"another image", Random(random), image},
        {"D2 stuck at 0", Read(image, [](const Image& e, size_t c) { return uint8_t(e[c] & ~0x04); }), image},
        {"D5-D6 bridged",
         Read(image,
              [](const Image& e, size_t c) { return uint8_t((e[c] & 0x60) == 0x60 ? e[c] : e[c] & ~0x60); }),
         image},
        {"A9 open", Read(image, [](const Image& e, size_t c) { return e[c & ~size_t{0x200}]; }), image},
        {"A0 stuck at 1", Read(image, [](const Image& e, size_t c) { return e[c | 1]; }), image},
        {"every cell FF", Image(Cells, 0xFF), image},
        {"sparse, one fuse more", oneMore, sparse},
    };

    std::printf("%d analyses of each 1k x 8 pass, times in microseconds\n", runs);
    std::printf("%-24s %9s %9s %9s %9s  first line\n", "", "min", "median", "p99", "max");
    for (const Pass& pass : passes) {
        std::vector<double> us;
        std::vector<std::string> lines;
        for (int run = 0; run < runs; ++run) {
            const auto start = Clock::now();
            lines = DiagnoseFaults(pass.Found, pass.Expected, 8, &row);
            us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
        std::sort(us.begin(), us.end());
        const auto at = [&](double q) {
            return us[static_cast<size_t>(q * static_cast<double>(us.size() - 1))];
        };
        std::printf("%-24s %9.1f %9.1f %9.1f %9.1f  %.60s\n", pass.Name, us.front(), at(0.5), at(0.99),
                    us.back(), lines.empty() ? "(none)" : lines.front().c_str());
    }
    return 0;
}
