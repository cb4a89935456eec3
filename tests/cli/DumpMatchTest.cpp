#include "cli/DumpMatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace quennel::cli {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes RandomImage(size_t size, uint8_t cellBits, unsigned seed) {
    std::mt19937 random(seed);
    Bytes image(size);
    for (uint8_t& cell : image)
        cell = static_cast<uint8_t>(random() & cellBits);
    return image;
}

std::vector<std::string> Places(const std::vector<RankedDump>& dumps) {
    std::vector<std::string> places;
    for (const RankedDump& dump : dumps)
        places.push_back(dump.Where);
    return places;
}

TEST(CompareWithDump, FusesToBlowAndFusesThatCannotBeMended) {
    Bytes part(32, 0x00);
    part[3] = 0x81;
    part[7] = 0x10;

    // The dump has two fuses more: bits 1 and 6 of cell 3 are still to blow.
    Bytes dump = part;
    dump[3] = 0xC3;
    DumpComparison shortOfDump = CompareWithDump(part, dump, EightBitCells);
    EXPECT_EQ(shortOfDump.ToBlow, 2);
    EXPECT_EQ(shortOfDump.Unmendable, 0);
    EXPECT_EQ(shortOfDump.Cells, 1);
    EXPECT_TRUE(shortOfDump.Completable());
    EXPECT_FALSE(shortOfDump.Exact());
    ASSERT_EQ(shortOfDump.FirstCells.size(), 1u);
    EXPECT_EQ(shortOfDump.FirstCells[0].Address, 3);
    EXPECT_EQ(shortOfDump.FirstCells[0].ToBlow(), 0x42);
    EXPECT_EQ(shortOfDump.FirstCells[0].Unmendable(), 0x00);

    // One fuse blown that the dump lacks, beside one still to blow: no Program mends that.
    dump = part;
    dump[7] = 0x00;
    dump[20] = 0x04;
    DumpComparison blownTooMany = CompareWithDump(part, dump, EightBitCells);
    EXPECT_EQ(blownTooMany.ToBlow, 1);
    EXPECT_EQ(blownTooMany.Unmendable, 1);
    EXPECT_EQ(blownTooMany.Bits(), 2);
    EXPECT_FALSE(blownTooMany.Completable());
    ASSERT_EQ(blownTooMany.FirstCells.size(), 2u);
    EXPECT_EQ(blownTooMany.FirstCells[0].Address, 7);
    EXPECT_EQ(blownTooMany.FirstCells[0].Unmendable(), 0x10);
    EXPECT_EQ(blownTooMany.FirstCells[1].Address, 20);
    EXPECT_EQ(blownTooMany.FirstCells[1].ToBlow(), 0x04);

    EXPECT_TRUE(CompareWithDump(part, part, EightBitCells).Exact());
    EXPECT_FALSE(CompareWithDump(part, part, EightBitCells).Completable());
}

TEST(CompareWithDump, AFourBitPartHasNoBitsFourToSeven) {
    Bytes part = RandomImage(256, FourBitCells, 1);
    Bytes withHighBits = part;
    for (uint8_t& cell : withHighBits)
        cell |= 0xF0;
    EXPECT_TRUE(CompareWithDump(withHighBits, part, FourBitCells).Exact());
    EXPECT_EQ(CompareWithDump(withHighBits, part, EightBitCells).Unmendable, 4 * 256);

    EXPECT_TRUE(FitsCells(part, FourBitCells));
    EXPECT_FALSE(FitsCells(withHighBits, FourBitCells));
    EXPECT_TRUE(FitsCells(withHighBits, EightBitCells));
}

TEST(CompareWithDump, KeepsTheFirstCellsAndCountsThemAll) {
    Bytes part(1024, 0x00);
    Bytes dump(1024, 0xFF);
    DumpComparison comparison = CompareWithDump(part, dump, EightBitCells);
    EXPECT_EQ(comparison.ToBlow, 8 * 1024);
    EXPECT_EQ(comparison.Cells, 1024);
    ASSERT_EQ(comparison.FirstCells.size(), ShownCells);
    for (size_t i = 0; i < ShownCells; ++i)
        EXPECT_EQ(comparison.FirstCells[i].Address, static_cast<int32_t>(i));
}

TEST(DumpRanking, ExactMatchesAreListedAndCounted) {
    const Bytes part = RandomImage(256, EightBitCells, 2);
    DumpRanking ranking(part, EightBitCells);
    for (size_t i = 0; i < DumpRanking::ExactListed + 3; ++i)
        ranking.Offer("copy" + std::to_string(i), part);
    ranking.Offer("other", RandomImage(256, EightBitCells, 3));
    EXPECT_EQ(ranking.Compared(), static_cast<int64_t>(DumpRanking::ExactListed) + 4);
    EXPECT_EQ(ranking.ExactCount(), static_cast<int64_t>(DumpRanking::ExactListed) + 3);
    EXPECT_EQ(ranking.Exact().size(), DumpRanking::ExactListed);
    EXPECT_EQ(ranking.Exact().front().Where, "copy0");
    EXPECT_EQ(ranking.Exact().front().Bytes, part);
    EXPECT_EQ(VerdictText(ranking), "identical to copy0");
}

TEST(DumpRanking, KeepsOnlyTheClosestFewInOrder) {
    const Bytes part = RandomImage(512, EightBitCells, 4);
    DumpRanking ranking(part, EightBitCells);
    // Dumps differing from the part in 1..40 fuses, offered from the farthest.
    auto differing = [&](int bits, bool blowMore) {
        Bytes dump = part;
        for (int bit = 0, cell = 0; bit < bits; ++cell) {
            const uint8_t mask = blowMore ? static_cast<uint8_t>(~dump[cell]) : dump[cell];
            if (mask == 0)
                continue;
            dump[cell] ^= static_cast<uint8_t>(mask & -mask); // the lowest such bit
            ++bit;
        }
        return dump;
    };
    for (int bits = 40; bits >= 1; --bits)
        ranking.Offer("far" + std::to_string(bits), differing(bits, false));
    // Equal bits: fewer that cannot be mended come first.
    ranking.Offer("mendable2", differing(2, true));
    ranking.Offer("other size", Bytes(256));

    EXPECT_EQ(ranking.Compared(), 41);
    EXPECT_EQ(ranking.ExactCount(), 0);
    EXPECT_THAT(Places(ranking.Closest()), ::testing::ElementsAre("far1", "mendable2", "far2"));
    EXPECT_EQ(ranking.Closest()[1].Comparison.ToBlow, 2);
    ASSERT_TRUE(ranking.BestCompletable());
    EXPECT_EQ(ranking.BestCompletable()->Where, "mendable2");
    EXPECT_EQ(VerdictText(ranking), "can be completed to mendable2 by programming (2 fuses)");
}

TEST(DumpRanking, TheBestCompletableDumpIsKeptWhenItIsNotAmongTheClosest) {
    const Bytes part(256, 0x0F);
    DumpRanking ranking(part, EightBitCells);
    for (int i = 0; i < 6; ++i) {
        Bytes dump = part;
        dump[static_cast<size_t>(i)] = 0x0E; // one fuse too many on the part
        ranking.Offer("near" + std::to_string(i), dump);
    }
    auto blowingMore = [&](std::vector<size_t> cells) {
        Bytes dump = part;
        for (size_t cell : cells)
            dump[cell] = 0xFF; // four fuses each
        return dump;
    };
    ranking.Offer("needs 12", blowingMore({100, 101, 102}));
    ranking.Offer("needs 4", blowingMore({200}));
    EXPECT_THAT(Places(ranking.Closest()), ::testing::ElementsAre("near0", "near1", "near2"));
    ASSERT_TRUE(ranking.BestCompletable());
    EXPECT_EQ(ranking.BestCompletable()->Where, "needs 4");
    EXPECT_EQ(ranking.BestCompletable()->Comparison.ToBlow, 4);
    EXPECT_EQ(VerdictText(ranking), "can be completed to needs 4 by programming (4 fuses)");
}

TEST(DumpRanking, TheSameDumpInSeveralPlacesTakesOneRank) {
    const Bytes part(32, 0x00);
    Bytes dump(32, 0x00);
    dump[0] = 0x01;
    DumpRanking ranking(part, EightBitCells);
    ranking.Offer("set b", dump);
    ranking.Offer("set a", dump);
    ranking.Offer("set c", dump);
    ASSERT_EQ(ranking.Closest().size(), 1u);
    EXPECT_EQ(ranking.Closest()[0].Where, "set a");
    EXPECT_EQ(ranking.Closest()[0].Copies, 2);
    ASSERT_TRUE(ranking.BestCompletable());
    EXPECT_EQ(ranking.BestCompletable()->Where, "set a");
    EXPECT_EQ(VerdictText(ranking), "can be completed to set a by programming (1 fuse)");
}

TEST(DumpRanking, AFourBitPartIsComparedWithNibbleDumpsOnly) {
    const Bytes part = RandomImage(256, FourBitCells, 5);
    DumpRanking ranking(part, FourBitCells);
    Bytes eightBit = part;
    eightBit[9] |= 0x80;
    ranking.Offer("82S135 image", eightBit);
    EXPECT_EQ(ranking.Compared(), 0);
    EXPECT_EQ(VerdictText(ranking), "differs from every dump");

    ranking.Offer("nibbles", part);
    EXPECT_EQ(ranking.Compared(), 1);
    EXPECT_EQ(VerdictText(ranking), "identical to nibbles");
}

TEST(DumpRanking, NoCompletableDumpDiffersFromEvery) {
    const Bytes part(32, 0xFF);
    DumpRanking ranking(part, EightBitCells);
    ranking.Offer("blank", Bytes(32, 0x00));
    ASSERT_EQ(ranking.Closest().size(), 1u);
    EXPECT_FALSE(ranking.BestCompletable());
    EXPECT_EQ(ranking.Closest()[0].Comparison.Unmendable, 256);
    EXPECT_EQ(VerdictText(ranking), "differs from every dump");
}

} // namespace
} // namespace quennel::cli
