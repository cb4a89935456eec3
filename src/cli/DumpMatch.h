#pragma once
// How a part stands against known-good dumps of its size, fuse by fuse. A
// blown fuse reads 1, and a fuse once blown stays blown: a bit the dump has
// and the part lacks can still be blown by a Program, a bit the part has and
// the dump lacks never goes away.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quennel::cli {

// The bits of a cell that exist on the part: 0x0F for a 4-bit part.
inline constexpr uint8_t EightBitCells = 0xFF;
inline constexpr uint8_t FourBitCells = 0x0F;

// Differing cells kept for the report, the first in address order.
inline constexpr size_t ShownCells = 4;

struct DifferingCell {
    int32_t Address = 0;
    uint8_t Part = 0;
    uint8_t Dump = 0;
    uint8_t ToBlow() const { return static_cast<uint8_t>(Dump & ~Part); }
    uint8_t Unmendable() const { return static_cast<uint8_t>(Part & ~Dump); }
};

struct DumpComparison {
    int64_t ToBlow = 0;     // fuses a Program could still blow: 0 on the part, 1 in the dump
    int64_t Unmendable = 0; // fuses blown on the part that the dump does not have
    int64_t Cells = 0;      // cells that differ
    std::vector<DifferingCell> FirstCells;

    int64_t Bits() const { return ToBlow + Unmendable; }
    bool Exact() const { return Bits() == 0; }
    bool Completable() const { return Unmendable == 0 && ToBlow > 0; }
};

// part and dump of one size; only the bits in cellBits count.
DumpComparison CompareWithDump(std::span<const uint8_t> part, std::span<const uint8_t> dump,
                               uint8_t cellBits);

// Whether an image of the part's size can be a dump of it at all: a 4-bit
// part's dumps hold one nibble a byte (0x00-0x0F); a file with higher bits
// set is an image of some other, 8-bit part.
bool FitsCells(std::span<const uint8_t> dump, uint8_t cellBits);

struct RankedDump {
    std::string Where; // "lib/board.zip:82s129.6e"
    std::vector<uint8_t> Bytes;
    DumpComparison Comparison;
    int64_t Copies = 0; // further places that hold the same bytes
};

// Keeps, of every dump offered, the exact matches (the first few listed, all
// counted), the closest few by differing bits and the one a Program could
// complete with the fewest fuses; nothing else is held, however many are
// offered.
class DumpRanking {
public:
    static constexpr size_t ClosestKept = 3;
    static constexpr size_t ExactListed = 20;

    DumpRanking(std::span<const uint8_t> part, uint8_t cellBits);

    // Dumps that do not fit the part's cells, or are of another size, are not compared.
    void Offer(std::string_view where, std::span<const uint8_t> dump);

    int64_t Compared() const { return ComparedCount; }
    int64_t ExactCount() const { return ExactTotal; }
    const std::vector<RankedDump>& Exact() const { return ExactKept; }
    // Fewest differing bits first, then fewest that cannot be mended, then by place.
    const std::vector<RankedDump>& Closest() const { return ClosestKeptList; }
    const std::optional<RankedDump>& BestCompletable() const { return Completable; }

private:
    std::vector<uint8_t> Part;
    uint8_t CellBits;
    int64_t ComparedCount = 0;
    int64_t ExactTotal = 0;
    std::vector<RankedDump> ExactKept;
    std::vector<RankedDump> ClosestKeptList;
    std::optional<RankedDump> Completable;

    void KeepClosest(RankedDump candidate);
    void KeepCompletable(const RankedDump& candidate);
};

// The verdict in one line: "identical to X", "can be completed to X by
// programming (N fuses)" or "differs from every dump".
std::string VerdictText(const DumpRanking& ranking);

} // namespace quennel::cli
