#include "cli/DumpMatch.h"

#include <algorithm>
#include <bit>
#include <tuple>

namespace quennel::cli {

DumpComparison CompareWithDump(std::span<const uint8_t> part, std::span<const uint8_t> dump,
                               uint8_t cellBits) {
    DumpComparison comparison;
    const size_t cells = std::min(part.size(), dump.size());
    for (size_t address = 0; address < cells; ++address) {
        const uint8_t onPart = part[address] & cellBits;
        const uint8_t inDump = dump[address] & cellBits;
        if (onPart == inDump)
            continue;
        comparison.ToBlow += std::popcount(static_cast<uint8_t>(inDump & ~onPart));
        comparison.Unmendable += std::popcount(static_cast<uint8_t>(onPart & ~inDump));
        ++comparison.Cells;
        if (comparison.FirstCells.size() < ShownCells)
            comparison.FirstCells.push_back({static_cast<int32_t>(address), onPart, inDump});
    }
    return comparison;
}

bool FitsCells(std::span<const uint8_t> dump, uint8_t cellBits) {
    return std::ranges::all_of(dump, [cellBits](uint8_t byte) { return (byte & ~cellBits) == 0; });
}

namespace {

auto RankKey(const RankedDump& dump) {
    return std::tuple(dump.Comparison.Bits(), dump.Comparison.Unmendable, std::string_view(dump.Where));
}

bool SameBytes(const RankedDump& kept, std::span<const uint8_t> bytes) {
    return std::ranges::equal(kept.Bytes, bytes);
}

// A second place with the same bytes is counted on the entry kept, which
// goes by the first of the places in order.
bool FoldCopy(RankedDump& kept, const RankedDump& candidate) {
    if (!SameBytes(kept, candidate.Bytes))
        return false;
    ++kept.Copies;
    if (candidate.Where < kept.Where)
        kept.Where = candidate.Where;
    return true;
}

} // namespace

DumpRanking::DumpRanking(std::span<const uint8_t> part, uint8_t cellBits)
    : Part(part.begin(), part.end()), CellBits(cellBits) {
    for (uint8_t& cell : Part)
        cell &= cellBits;
}

void DumpRanking::Offer(std::string_view where, std::span<const uint8_t> dump) {
    if (dump.size() != Part.size() || !FitsCells(dump, CellBits))
        return;
    ++ComparedCount;
    DumpComparison comparison = CompareWithDump(Part, dump, CellBits);
    if (comparison.Exact()) {
        ++ExactTotal;
        if (ExactKept.size() < ExactListed)
            ExactKept.push_back({std::string(where), {dump.begin(), dump.end()}, std::move(comparison), 0});
        return;
    }
    // Only a dump that could be kept is copied.
    const bool mayBeClosest =
        ClosestKeptList.size() < ClosestKept || comparison.Bits() <= ClosestKeptList.back().Comparison.Bits();
    const bool mayComplete =
        comparison.Completable() && (!Completable || comparison.ToBlow <= Completable->Comparison.ToBlow);
    if (!mayBeClosest && !mayComplete)
        return;
    RankedDump candidate{std::string(where), {dump.begin(), dump.end()}, std::move(comparison), 0};
    if (mayComplete)
        KeepCompletable(candidate);
    if (mayBeClosest)
        KeepClosest(std::move(candidate));
}

void DumpRanking::KeepClosest(RankedDump candidate) {
    for (RankedDump& kept : ClosestKeptList) {
        if (FoldCopy(kept, candidate)) {
            std::ranges::sort(ClosestKeptList, {}, RankKey);
            return;
        }
    }
    const auto at = std::ranges::upper_bound(ClosestKeptList, RankKey(candidate), {}, RankKey);
    ClosestKeptList.insert(at, std::move(candidate));
    if (ClosestKeptList.size() > ClosestKept)
        ClosestKeptList.pop_back();
}

void DumpRanking::KeepCompletable(const RankedDump& candidate) {
    if (Completable && FoldCopy(*Completable, candidate))
        return;
    if (!Completable || std::tuple(candidate.Comparison.ToBlow, std::string_view(candidate.Where)) <
                            std::tuple(Completable->Comparison.ToBlow, std::string_view(Completable->Where)))
        Completable = candidate;
}

std::string VerdictText(const DumpRanking& ranking) {
    if (!ranking.Exact().empty())
        return "identical to " + ranking.Exact().front().Where;
    if (const std::optional<RankedDump>& best = ranking.BestCompletable()) {
        const int64_t fuses = best->Comparison.ToBlow;
        return "can be completed to " + best->Where + " by programming (" + std::to_string(fuses) +
               (fuses == 1 ? " fuse)" : " fuses)");
    }
    return "differs from every dump";
}

} // namespace quennel::cli
