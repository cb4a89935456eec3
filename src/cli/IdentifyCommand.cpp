#include "cli/IdentifyCommand.h"

#include "buffer/IntegerText.h"
#include "cli/CliOptions.h"
#include "cli/DumpLibrary.h"
#include "cli/DumpMatch.h"
#include "cli/ImageDigest.h"

#include <algorithm>
#include <chrono>

namespace quennel::cli {

namespace {

using Clock = std::chrono::steady_clock;
// A scan shorter than this shows no progress line at all.
constexpr auto ProgressAfter = std::chrono::milliseconds(250);
constexpr auto RedrawEvery = std::chrono::milliseconds(100);

std::string Counted(int64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "bit 1", "bits 0, 2 and 5".
std::string BitList(uint8_t bits) {
    std::string list;
    int count = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (!(bits & (1u << bit)))
            continue;
        const bool last = (bits >> (bit + 1)) == 0;
        if (count > 0)
            list += last ? " and " : ", ";
        list += std::to_string(bit);
        ++count;
    }
    return (count == 1 ? "bit " : "bits ") + list;
}

std::string CellLine(const DifferingCell& cell) {
    std::string line = "    " + HexDigits(static_cast<uint32_t>(cell.Address), 4) + ": part " +
                       HexDigits(cell.Part, 2) + ", dump " + HexDigits(cell.Dump, 2) + " (";
    if (cell.ToBlow())
        line += "to blow: " + BitList(cell.ToBlow());
    if (cell.ToBlow() && cell.Unmendable())
        line += "; ";
    if (cell.Unmendable())
        line += "blown, not in the dump: " + BitList(cell.Unmendable());
    return line + ")";
}

class IdentifyRun : public LibraryVisitor {
public:
    IdentifyRun(std::span<const uint8_t> image, uint8_t cellBits, const std::string& library,
                CliConsole& console, std::ostream& err, bool showProgress)
        : Ranking(image, cellBits), Size(image.size()), Library(library), Console(console), Err(err),
          ShowProgress(showProgress), Start(Clock::now()) {}

    int Run();

    void Image(const std::string& where, std::span<const uint8_t> bytes) override {
        Ranking.Offer(where, bytes);
    }
    void Skipped(const std::string& where, const std::string& reason) override {
        EndProgress();
        Err << "quennel-cli: skipped " << where << ": " << reason << '\n' << std::flush;
    }
    void Progress(const LibraryTally& tally) override;

private:
    void EndProgress() {
        if (!ProgressShown)
            return;
        Err << "\r\x1b[K" << std::flush;
        ProgressShown = false;
    }
    void PrintSummary(const LibraryTally& tally);
    void PrintDump(const std::string& label, const RankedDump& dump);

    DumpRanking Ranking;
    const size_t Size;
    const std::string& Library;
    CliConsole& Console;
    std::ostream& Err;
    const bool ShowProgress;
    const Clock::time_point Start;
    Clock::time_point LastDrawn;
    bool ProgressShown = false;
};

void IdentifyRun::Progress(const LibraryTally& tally) {
    const auto now = Clock::now();
    if (!ShowProgress || now - Start < ProgressAfter || (ProgressShown && now - LastDrawn < RedrawEvery))
        return;
    LastDrawn = now;
    Err << "\rSearching " << Library << ": " << Counted(tally.Files, "file", "files") << ", "
        << Counted(tally.Archives, "archive", "archives") << ", " << Ranking.Compared() << " compared\x1b[K"
        << std::flush;
    ProgressShown = true;
}

void IdentifyRun::PrintSummary(const LibraryTally& tally) {
    std::string line = "Searched " + Library + ": " + Counted(tally.Files, "file", "files") + ", " +
                       Counted(tally.Archives, "archive", "archives") + " with " +
                       Counted(tally.Members, "member", "members") + "; " +
                       Counted(Ranking.Compared(), "dump", "dumps") + " of " + std::to_string(Size) +
                       " bytes compared";
    if (const int64_t other = tally.Images - Ranking.Compared(); other > 0)
        line +=
            ", " + Counted(other, "image", "images") + " of that size left out (bits 4-7 set: no 4-bit dump)";
    if (tally.Skipped > 0)
        line += "; " + std::to_string(tally.Skipped) + " skipped";
    Console.Print(line);
}

void IdentifyRun::PrintDump(const std::string& label, const RankedDump& dump) {
    const DumpComparison& c = dump.Comparison;
    std::string line = label + dump.Where + ": " + Counted(c.Bits(), "bit differs", "bits differ") + " in " +
                       Counted(c.Cells, "cell", "cells") + ": ";
    line +=
        c.ToBlow == 0 ? "no fuse to blow" : Counted(c.ToBlow, "fuse", "fuses") + " a Program can still blow";
    line += c.Unmendable == 0 ? ", none blown that the dump lacks"
                              : ", " + Counted(c.Unmendable, "fuse", "fuses") +
                                    " blown that the dump lacks (cannot be mended)";
    if (dump.Copies > 0)
        line += "; the same dump in " + Counted(dump.Copies, "other place", "other places");
    Console.Print(line);
    for (const DifferingCell& cell : c.FirstCells)
        Console.Print(CellLine(cell));
    if (c.Cells > static_cast<int64_t>(c.FirstCells.size()))
        Console.Print("    and " + Counted(c.Cells - static_cast<int64_t>(c.FirstCells.size()), "more cell",
                                           "more cells"));
}

int IdentifyRun::Run() {
    LibraryTally tally;
    std::string problem;
    const bool scanned = ScanDumpLibrary(Library, Size, *this, tally, problem);
    EndProgress();
    if (!scanned) {
        Err << "quennel-cli: library " << Library << ": " << problem << '\n' << std::flush;
        return ExitBadUsage;
    }
    PrintSummary(tally);
    for (const RankedDump& exact : Ranking.Exact())
        Console.Print("Identical: " + exact.Where + "  CRC32=" + Crc32Text(exact.Bytes) +
                      "  SHA-1=" + Sha1Text(exact.Bytes));
    if (const int64_t more = Ranking.ExactCount() - static_cast<int64_t>(Ranking.Exact().size()); more > 0)
        Console.Print("and " + Counted(more, "more identical dump", "more identical dumps"));
    if (Ranking.Exact().empty()) {
        for (const RankedDump& dump : Ranking.Closest())
            PrintDump("Closest: ", dump);
        // The dump a Program could complete the part to, when it is not among the closest.
        const std::optional<RankedDump>& best = Ranking.BestCompletable();
        const bool listed = best && std::ranges::any_of(Ranking.Closest(), [&](const RankedDump& dump) {
                                return dump.Where == best->Where;
                            });
        if (best && !listed)
            PrintDump("Completable: ", *best);
    }
    if (tally.Skipped > 0)
        Err << "quennel-cli: " << Counted(tally.Skipped, "file", "files") << " skipped\n" << std::flush;
    Console.Print("Verdict: " + VerdictText(Ranking));
    return Ranking.Exact().empty() ? ExitDeviceFailed : ExitOk;
}

} // namespace

int IdentifyImage(std::span<const uint8_t> image, uint8_t cellBits, const std::string& library,
                  CliConsole& console, std::ostream& err, bool showProgress) {
    IdentifyRun run(image, cellBits, library, console, err, showProgress);
    return run.Run();
}

} // namespace quennel::cli
