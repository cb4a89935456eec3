#include "CliRunner.h"
#include "DumpShelf.h"
#include "cli/ImageDigest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <span>
#include <string>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

std::span<const uint8_t> BytesOf(const std::string& image) {
    return {reinterpret_cast<const uint8_t*>(image.data()), image.size()};
}

std::string Digests(const std::string& image) {
    return "CRC32=" + cli::Crc32Text(BytesOf(image)) + "  SHA-1=" + cli::Sha1Text(BytesOf(image));
}

// Bit bit of cell, set or cleared.
std::string WithBit(std::string image, size_t cell, int bit, bool set) {
    const auto mask = static_cast<char>(1 << bit);
    image[cell] = static_cast<char>(set ? (image[cell] | mask) : (image[cell] & ~mask));
    return image;
}

// The operator's collection: loose files in nested folders, boards' archives
// of several members, a damaged archive, files of other sizes, a 4-bit dump.
class CliIdentifyTest : public ::testing::Test {
protected:
    CliIdentifyTest() : Shelf(Cli.PathOf("lib")) {
        Target = SeededImage(256, 1);
        Target[0x10] = 0x5A;
        Target[0x40] = static_cast<char>(0xFF); // every fuse of a cell blown,
        Target[0x41] = 0x00;                    // and none of the next
        Shelf.File("loose/82s135.bin", SeededImage(256, 2));
        Shelf.File("loose/deeper/still/other.bin", SeededImage(256, 3));
        Shelf.File("loose/big.bin", SeededImage(1024, 4));
        Shelf.Archive("boards/invaders.zip", {{"readme.txt", "four proms"},
                                              {"prom.6e", Target},
                                              {"prom.7e", SeededImage(256, 5)},
                                              {"prom.8e", SeededImage(512, 6)}});
        Shelf.Archive("boards/other.zip", {{"a.bin", SeededImage(256, 7)}, {"b.bin", SeededImage(256, 8)}});
        Shelf.DamagedArchive("boards/broken.zip", {"ok.bin", SeededImage(256, 9)},
                             {"bad.bin", SeededImage(256, 10)});
        Shelf.File("nibbles/82s129.6f", Nibbles);
    }

    CliResult Identify(const std::string& part) {
        WriteFile(Cli.PathOf("part.bin"), part);
        return Cli.Run({"identify", "part.bin", "--library", "lib", "-q"});
    }

    CliRunner Cli;
    DumpShelf Shelf;
    std::string Target;
    const std::string Nibbles = SeededImage(256, 11, 0x0F);
    const std::string Where = "lib/boards/invaders.zip:prom.6e";
};

TEST_F(CliIdentifyTest, AnExactMatchIsNamedWithItsCrc32AndSha1) {
    const CliResult run = Identify(Target);
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("Searched lib: 4 files, 3 archives with 8 members; 8 dumps of 256 bytes "
                                   "compared; 1 skipped\n"));
    EXPECT_THAT(run.Out, HasSubstr("Identical: " + Where + "  " + Digests(Target) + "\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Closest")));
    EXPECT_THAT(run.Out, EndsWith("Verdict: identical to " + Where + "\n"));
}

TEST_F(CliIdentifyTest, APartShortOfTwoFusesCanBeCompleted) {
    const std::string part = WithBit(WithBit(Target, 0x10, 3, false), 0x40, 6, false);
    ASSERT_NE(part, Target);
    const CliResult run = Identify(part);
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("Closest: " + Where +
                                   ": 2 bits differ in 2 cells: 2 fuses a Program can still blow, none blown "
                                   "that the dump lacks\n"));
    EXPECT_THAT(run.Out, HasSubstr("    0010: part 52, dump 5A (to blow: bit 3)\n"
                                   "    0040: part BF, dump FF (to blow: bit 6)\n"));
    EXPECT_THAT(run.Out, EndsWith("Verdict: can be completed to " + Where + " by programming (2 fuses)\n"));
}

TEST_F(CliIdentifyTest, APartWithAFuseTooManyCannotBeMended) {
    const CliResult run = Identify(WithBit(Target, 0x41, 2, true));
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_THAT(
        run.Out,
        HasSubstr("Closest: " + Where +
                  ": 1 bit differs in 1 cell: no fuse to blow, 1 fuse blown that the dump lacks "
                  "(cannot be mended)\n    0041: part 04, dump 00 (blown, not in the dump: bit 2)\n"));
    EXPECT_THAT(run.Out, EndsWith("Verdict: differs from every dump\n"));
}

TEST_F(CliIdentifyTest, TheDumpAProgramCanCompleteIsShownThoughOthersAreCloser) {
    const std::string part = WithBit(Target, 0x41, 2, true);
    Shelf.File("near/2.bin", WithBit(Target, 0x40, 0, false));
    Shelf.File("near/3.bin", WithBit(Target, 0x40, 1, false));
    std::string complete = part;
    complete[0x41] = static_cast<char>(0xFF);
    Shelf.File("far/complete.bin", complete);
    const CliResult run = Identify(part);
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("Closest: " + Where + ": 1 bit differs"));
    EXPECT_THAT(run.Out, HasSubstr("Closest: lib/near/2.bin: 2 bits differ"));
    EXPECT_THAT(run.Out, HasSubstr("Closest: lib/near/3.bin: 2 bits differ"));
    EXPECT_THAT(run.Out,
                HasSubstr("Completable: lib/far/complete.bin: 7 bits differ in 1 cell: 7 fuses a Program "
                          "can still blow, none blown that the dump lacks\n"
                          "    0041: part 04, dump FF (to blow: bits 0, 1, 3, 4, 5, 6 and 7)\n"));
    EXPECT_THAT(run.Out,
                EndsWith("Verdict: can be completed to lib/far/complete.bin by programming (7 fuses)\n"));
}

TEST_F(CliIdentifyTest, APartLikeNoDumpDiffersFromEvery) {
    const CliResult run = Identify(SeededImage(256, 99));
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_THAT(run.Out, Not(HasSubstr("Identical")));
    EXPECT_THAT(run.Out, HasSubstr("Closest: "));
    EXPECT_THAT(run.Out, EndsWith("Verdict: differs from every dump\n"));

    // No image of the size at all.
    WriteFile(Cli.PathOf("small.bin"), SeededImage(100, 1));
    const CliResult none = Cli.Run({"identify", "small.bin", "--library", "lib"});
    EXPECT_EQ(none.Status, 1) << none.Out << none.Err;
    EXPECT_THAT(none.Out, HasSubstr("; 0 dumps of 100 bytes compared\n"));
    EXPECT_THAT(none.Out, EndsWith("Verdict: differs from every dump\n"));
}

TEST_F(CliIdentifyTest, SkippedFilesTakeOneLineEachAndAreCounted) {
    Shelf.File("boards/not a zip.zip", "PK\x03\x04 no archive");
    Shelf.Archive("boards/locked.zip",
                  {{"x.bin", SeededImage(256, 12), true}, {"y.bin", SeededImage(256, 13), true}});
    Shelf.Link("loose/gone.bin", "../nowhere.bin");
    const CliResult run = Identify(Target);
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_EQ(run.Err, "quennel-cli: skipped lib/boards/broken.zip: bad.bin: CRC error\n"
                       "quennel-cli: skipped lib/boards/locked.zip: x.bin is encrypted\n"
                       "quennel-cli: skipped lib/boards/not a zip.zip: Not a zip archive\n"
                       "quennel-cli: skipped lib/loose/gone.bin: No such file or directory\n"
                       "quennel-cli: 4 files skipped\n");
    EXPECT_THAT(run.Out, HasSubstr("; 4 skipped\n"));
    // The damaged archive's good member before the fault was still compared.
    EXPECT_THAT(run.Out, HasSubstr("8 dumps of 256 bytes compared"));
}

TEST_F(CliIdentifyTest, BadUsageEndsWithStatus2) {
    WriteFile(Cli.PathOf("part.bin"), Target);
    std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"identify", "part.bin"}, "'identify' needs the folder of dumps: --library FOLDER"},
        {{"identify", "--library", "lib"}, "'identify' needs the device"},
        {{"identify", "part.bin", "--library", "missing"}, "library missing: No such file or directory"},
        {{"identify", "part.bin", "--library", ""}, "an empty value names no folder"},
        {{"checksum", "part.bin", "--library", "lib"}, "--library goes with identify"},
        {{"identify", "part.bin", "--identify", "lib"}, "identify takes its folder with --library FOLDER"},
        {{"-d", "82S129", "blank", "--identify", "lib"}, "--identify goes with read"},
        {{"-d", "82S129", "identify", "big.bin", "--library", "lib"}, "past the last address of the 82S129"},
    };
    WriteFile(Cli.PathOf("big.bin"), SeededImage(512, 1));
    // A library that is not there is found before the part is read.
    cases.push_back({SimArguments({"-d", "82S129", "identify", "--library", "missing"}), "library missing"});
    cases.push_back(
        {SimArguments({"-d", "82S129", "read", "out.bin", "--identify", "missing"}), "library missing"});
    for (const auto& [arguments, complaint] : cases) {
        const CliResult run = Cli.Run(arguments);
        EXPECT_EQ(run.Status, 2) << arguments[0] << ' ' << arguments[1] << '\n' << run.Out << run.Err;
        EXPECT_THAT(run.Err, HasSubstr(complaint));
        EXPECT_THAT(run.Out, Not(HasSubstr("Verdict")));
        EXPECT_THAT(run.Out, Not(HasSubstr("Moving Device")));
    }
}

TEST_F(CliIdentifyTest, TheSimulatedPartIsReadAndIdentified) {
    // A 256 x 4 part holding the nibble dump; its chip image keeps 1024 cells.
    WriteFile(Cli.PathOf("chip.bin"), Nibbles + std::string(768, '\0'));
    CliResult run = Cli.Run(SimArguments({"identify", "-d", "82S129", "--library", "lib"}));
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("Device Has Been Moved to Buffer....\n"));
    EXPECT_THAT(run.Out, HasSubstr("7 images of that size left out (bits 4-7 set: no 4-bit dump)"));
    EXPECT_THAT(run.Out, HasSubstr("Identical: lib/nibbles/82s129.6f  " + Digests(Nibbles) + "\n"));
    EXPECT_THAT(run.Out, EndsWith("Verdict: identical to lib/nibbles/82s129.6f\n"));

    // read writes the image first, then identifies it; one fuse short of the dump.
    WriteFile(Cli.PathOf("chip.bin"), WithBit(Nibbles, 0x80, 0, false) + std::string(768, '\0'));
    ASSERT_NE(WithBit(Nibbles, 0x80, 0, false), Nibbles) << "the seed left bit 0 of cell 80 clear";
    run = Cli.Run(SimArguments({"-d", "82s129", "read", "out.bin", "--identify", "lib"}));
    EXPECT_EQ(run.Status, 1) << run.Out << run.Err;
    EXPECT_EQ(ReadFile(Cli.PathOf("out.bin")), WithBit(Nibbles, 0x80, 0, false));
    EXPECT_THAT(run.Out, HasSubstr("SHA-1=" + cli::Sha1Text(BytesOf(WithBit(Nibbles, 0x80, 0, false))) +
                                   "\nSearched lib:"));
    EXPECT_THAT(run.Out,
                EndsWith("Verdict: can be completed to lib/nibbles/82s129.6f by programming (1 fuse)\n"));

    // A 4-bit file with bits 4-7 set names the same part.
    std::string highBits = Nibbles;
    for (char& cell : highBits)
        cell = static_cast<char>(cell | 0xF0);
    WriteFile(Cli.PathOf("high.bin"), highBits);
    run = Cli.Run({"-d", "82S129", "identify", "high.bin", "--library", "lib"});
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("CRC32=" + cli::Crc32Text(BytesOf(Nibbles)) + "\n"));
}

} // namespace
} // namespace quennel::test
