// The reading of a failed pass: each signature on its own, the pins each
// package names, what is too little to name a line, and passes that must
// never name one.
#include "device/FaultDiagnosis.h"

#include "DiagnosisWords.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StartsWith;
using Image = std::vector<uint8_t>;

const CatalogueRow& Device(const char* caption) {
    const CatalogueRow* row = FindDeviceByCaption(caption);
    EXPECT_NE(row, nullptr) << caption;
    return *row;
}

std::vector<std::string> Diagnose(const Image& found, const Image& expected, const char* caption) {
    const CatalogueRow& row = Device(caption);
    return DiagnoseFaults(found, expected, DataBitsOfClass(row.DeviceClass), &row);
}

// What a part with one faulty line reads, written out cell by cell.
Image Transformed(const Image& image, uint8_t (*line)(const Image&, size_t)) {
    Image read(image.size());
    for (size_t cell = 0; cell < image.size(); ++cell)
        read[cell] = line(image, cell);
    return read;
}

class FaultDiagnosisTest : public ::testing::Test {
protected:
    Image Random(size_t cells, int bits = 8) { return test::RandomImage(Generator, cells, bits); }
    std::mt19937 Generator{2024};
};

TEST_F(FaultDiagnosisTest, APassThatReadWhatWasWantedSaysNothing) {
    const Image image = Random(256);
    EXPECT_THAT(Diagnose(image, image, "82S135"), IsEmpty());
    const Image nibbles = Random(512, 4);
    EXPECT_THAT(Diagnose(nibbles, nibbles, "74S571"), IsEmpty());
    EXPECT_THAT(DiagnoseFaults({}, {}, 8, nullptr), IsEmpty());
}

TEST_F(FaultDiagnosisTest, ADataBitThatNeverChangesIsNamedWithItsPins) {
    const Image image = Random(512);
    Image low = image, high = image;
    for (size_t cell = 0; cell < image.size(); ++cell) {
        low[cell] &= static_cast<uint8_t>(~0x04);
        high[cell] |= 0x80;
    }
    EXPECT_THAT(
        Diagnose(low, image, "82S147"),
        ElementsAre("Diagnosis: D2 (PROM pin 8, socket pin 11) reads 0 in every cell: the line is open or "
                    "stuck at 0"));
    EXPECT_THAT(
        Diagnose(high, image, "74S472"),
        ElementsAre("Diagnosis: D7 (PROM pin 14, socket pin 17) reads 1 in every cell: the line is open "
                    "or stuck at 1"));

    // The 16-pin parts by their package pins; a selection that is no device by the signal alone.
    const Image small = Random(32);
    Image d7 = small;
    for (uint8_t& cell : d7)
        cell |= 0x80;
    EXPECT_THAT(Diagnose(d7, small, "82S123"), ElementsAre(StartsWith("Diagnosis: D7 (pin 9) reads 1")));
    EXPECT_THAT(DiagnoseFaults(d7, small, 8, nullptr), ElementsAre(StartsWith("Diagnosis: D7 reads 1")));
    const Image nibbles = Random(256, 4);
    Image d0 = nibbles;
    for (uint8_t& cell : d0)
        cell &= 0x0E;
    EXPECT_THAT(Diagnose(d0, nibbles, "82S129"), ElementsAre(StartsWith("Diagnosis: D0 (pin 12) reads 0")));
}

TEST_F(FaultDiagnosisTest, ABlankCheckOfAPartWithALineStuckAtOne) {
    const Image blank(32, 0x00);
    const Image read(32, 0x20);
    EXPECT_THAT(Diagnose(read, blank, "74S288"),
                ElementsAre("Diagnosis: D5 (pin 6) reads 1 in every cell: the line is open or stuck at 1"));
    // A stuck-at-0 line leaves no mark on a blank part: nothing to say.
    EXPECT_THAT(Diagnose(blank, blank, "74S288"), IsEmpty());
}

TEST_F(FaultDiagnosisTest, CellsThatReadTheirNeighbourNameTheAddressLine) {
    const Image big = Random(1024);
    const Image a9Open =
        Transformed(big, [](const Image& e, size_t cell) { return e[cell & ~size_t{0x200}]; });
    EXPECT_THAT(
        Diagnose(a9Open, big, "82S181"),
        ElementsAre("Diagnosis: A9 (PROM pin 22, pin 26 of the programmer's ZIF socket) is open or stuck "
                    "at 0: cells with A9 = 1 read the data of the cells with A9 = 0"));
    const Image a7High = Transformed(big, [](const Image& e, size_t cell) { return e[cell | 0x80]; });
    EXPECT_THAT(
        Diagnose(a7High, big, "82S181"),
        ElementsAre("Diagnosis: A7 (PROM pin 1, socket pin 31) is stuck at 1: cells with A7 = 0 read the "
                    "data of the cells with A7 = 1"));

    const Image nibbles = Random(512, 4);
    const Image a8High = Transformed(nibbles, [](const Image& e, size_t cell) { return e[cell | 0x100]; });
    EXPECT_THAT(Diagnose(a8High, nibbles, "74S571"),
                ElementsAre(StartsWith("Diagnosis: A8 (pin 14) is stuck at 1")));
    const Image small = Random(32);
    const Image a0Open = Transformed(small, [](const Image& e, size_t cell) { return e[cell & ~size_t{1}]; });
    EXPECT_THAT(Diagnose(a0Open, small, "82S23"), ElementsAre(StartsWith("Diagnosis: A0 (pin 10) is open")));

    // Where the even cells happen never to set D7, that bit reads 0
    // throughout too; the one line that accounts for every bit comes first.
    Image evenLow = small;
    for (size_t cell = 0; cell < evenLow.size(); ++cell)
        evenLow[cell] = static_cast<uint8_t>(cell % 2 ? evenLow[cell] | 0x80 : evenLow[cell] & 0x7F);
    const Image a0OpenAgain =
        Transformed(evenLow, [](const Image& e, size_t cell) { return e[cell & ~size_t{1}]; });
    EXPECT_THAT(Diagnose(a0OpenAgain, evenLow, "82S23"),
                ElementsAre(StartsWith("Diagnosis: A0 (pin 10) is open")));
}

// Programmed through an open address line, both cells of each pair were
// blown into one, which every read of the pair then shows.
TEST_F(FaultDiagnosisTest, APartProgrammedThroughAFaultyAddressLine) {
    const Image image = Random(256);
    const Image read = Transformed(image, [](const Image& e, size_t cell) {
        return static_cast<uint8_t>(e[cell & ~size_t{0x08}] | e[cell | 0x08]);
    });
    EXPECT_THAT(
        Diagnose(read, image, "74S471"),
        ElementsAre("Diagnosis: A3 (PROM pin 4, socket pin 21) was open or stuck while the part was "
                    "programmed: each two cells that differ only in A3 read the same, the bits of both "
                    "blown together"));
}

TEST_F(FaultDiagnosisTest, TwoDataBitsThatAlwaysReadAlikeAreBridged) {
    const Image image = Random(512);
    const Image wiredAnd = Transformed(image, [](const Image& e, size_t cell) {
        const uint8_t both = (e[cell] & 0x18) == 0x18 ? 0x18 : 0x00;
        return static_cast<uint8_t>((e[cell] & ~0x18) | both);
    });
    EXPECT_THAT(
        Diagnose(wiredAnd, image, "82S147"),
        ElementsAre("Diagnosis: D3 (PROM pin 9, socket pin 12) and D4 (PROM pin 11, socket pin 13) are "
                    "bridged: they read alike in every cell"));
    // Programmed through the bridge, a pulse on either bit blew both.
    const Image wiredOr = Transformed(image, [](const Image& e, size_t cell) {
        const uint8_t both = (e[cell] & 0x03) != 0 ? 0x03 : 0x00;
        return static_cast<uint8_t>((e[cell] & ~0x03) | both);
    });
    EXPECT_THAT(
        Diagnose(wiredOr, image, "82S147"),
        ElementsAre(StartsWith("Diagnosis: D0 (PROM pin 6, socket pin 9) and D1 (PROM pin 7, socket pin 10) "
                               "are bridged")));
}

TEST_F(FaultDiagnosisTest, EveryCellReadingOneValuePointsAtThePartNotALine) {
    const Image image = Random(512);
    EXPECT_THAT(
        Diagnose(Image(512, 0xFF), image, "74S473"),
        ElementsAre("Diagnosis: every cell reads 0xFF: every fuse of the part is blown, or there is no "
                    "part, no supply (VCC at PROM pin 20, socket pin 24), or the part is not in the 20-pin "
                    "adapter socket"));
    EXPECT_THAT(
        Diagnose(Image(32, 0x00), Random(32), "82S123"),
        ElementsAre("Diagnosis: every cell reads 0x00: the part is blank, missing, without supply (VCC at "
                    "pin 16) or not in the lower half of the adapter's ZIF socket"));
    EXPECT_THAT(
        Diagnose(Image(256, 0x0F), Random(256, 4), "74S287"),
        ElementsAre(StartsWith("Diagnosis: every cell reads 0x0F: every fuse of the part is blown, or "
                               "there is no part, no supply (VCC at pin 16), or the part is not in the "
                               "upper half of the adapter's ZIF socket")));
    // A blank part against an image whose upper half is empty: A9 stuck at
    // 1 would read the same, but a part that reads one value is no address fault.
    Image half = Random(1024);
    std::fill(half.begin() + 512, half.end(), 0x00);
    EXPECT_THAT(Diagnose(Image(1024, 0x00), half, "82S181"),
                ElementsAre(StartsWith("Diagnosis: every cell reads 0x00: the part is blank")));
    // A blank check of a part that reads all ones: one programmed in full
    // reads so too.
    EXPECT_THAT(Diagnose(Image(1024, 0xFF), Image(1024, 0x00), "82S181"),
                ElementsAre(StartsWith("Diagnosis: every cell reads 0xFF: every fuse of the part is blown")));
    // Another single value is no part's full programming.
    EXPECT_THAT(Diagnose(Image(256, 0x7F), image, "82S135"),
                ElementsAre(StartsWith("Diagnosis: every cell reads 0x7F: no part, no supply")));
    // Digits that could read as a signal ("A5") are written as a number.
    EXPECT_THAT(test::SignalWords(Diagnose(Image(256, 0xA5), image, "82S135")), IsEmpty());
}

TEST_F(FaultDiagnosisTest, SeveralLinesStuckAtOnceAreNamedInOneLine) {
    const Image image = Random(256);
    Image read = image;
    for (uint8_t& cell : read)
        cell = static_cast<uint8_t>((cell & ~0x23) | 0x02);
    EXPECT_THAT(
        Diagnose(read, image, "82S135"),
        ElementsAre("Diagnosis: D0 (PROM pin 6, socket pin 9) at 0, D1 (PROM pin 7, socket pin 10) at 1 "
                    "and D5 (PROM pin 12, socket pin 14) at 0 read one value in every cell: more than one "
                    "contact at once; look at how the part is seated and at its supply"));
}

TEST_F(FaultDiagnosisTest, WithoutAPatternTheFaultsAreCountedByWhatAProgramCanMend) {
    Image image(32, 0x00), read(32, 0x00);
    image[3] = 0x11; // two bits missing
    read[16] = 0x01; // one bit too many
    image[31] = 0x80;
    EXPECT_THAT(
        Diagnose(read, image, "74S188"),
        ElementsAre("Diagnosis: no single-line pattern; the part differs in 3 cells: 3 bits read 0 where 1 "
                    "is wanted (still to be blown by a Program) and 1 bit reads 1 where 0 is wanted (never "
                    "to be mended)"));
    image.assign(32, 0x00);
    read[16] = 0x03;
    EXPECT_THAT(
        Diagnose(read, image, "74S188"),
        ElementsAre("Diagnosis: no single-line pattern; the part differs in 1 cell: 2 bits read 1 where 0 "
                    "is wanted (never to be mended)"));
}

// A named line leaves the rest of the faults to the counting line.
TEST_F(FaultDiagnosisTest, WhatALineDoesNotExplainIsCountedAfterIt) {
    const Image image = Random(256);
    Image read = image;
    for (uint8_t& cell : read)
        cell &= static_cast<uint8_t>(~0x40);
    read[0x21] ^= 0x01;
    EXPECT_THAT(Diagnose(read, image, "82S135"),
                ElementsAre(StartsWith("Diagnosis: D6 (PROM pin 13, socket pin 15) reads 0"),
                            StartsWith("Diagnosis: beyond that, no single-line pattern in 1 cell: 1 bit")));
}

TEST_F(FaultDiagnosisTest, BufferBitsAFourBitPartDoesNotHaveAreSaidFirst) {
    Image expected = Random(256, 4);
    const Image read = expected;
    expected[7] |= 0x30;
    expected[9] |= 0x80;
    EXPECT_THAT(
        Diagnose(read, expected, "82S126"),
        ElementsAre("Diagnosis: the buffer sets bits 4 to 7, which a 4-bit part does not have, in 2 cells"));
    Image stuck = read;
    for (uint8_t& cell : stuck)
        cell |= 0x08;
    EXPECT_THAT(Diagnose(stuck, expected, "82S126"),
                ElementsAre(StartsWith("Diagnosis: the buffer sets bits 4 to 7"),
                            StartsWith("Diagnosis: D3 (pin 9) reads 1")));
}

// Three faulty cells could be three fuses of their own; four name the line.
TEST_F(FaultDiagnosisTest, ALineIsNamedOnlyOnEnoughCells) {
    Image image(32, 0x00);
    image[1] = image[5] = image[9] = 0x04;
    const Image read(32, 0x00);
    EXPECT_THAT(Diagnose(read, image, "82S123"),
                ElementsAre(StartsWith("Diagnosis: no single-line pattern")));
    image[13] = 0x04;
    EXPECT_THAT(Diagnose(read, image, "82S123"), ElementsAre(StartsWith("Diagnosis: D2 (pin 3) reads 0")));
}

// A part read against another image, or holding a few fuses too many or too
// few, must never have a line named: each names none of the signals.
TEST_F(FaultDiagnosisTest, NoLineIsNamedWithoutItsSignature) {
    std::uniform_int_distribution<int> few(1, 8);
    for (const char* caption : {"82S123", "82S129", "74S571", "74S471", "82S147", "82S181"}) {
        SCOPED_TRACE(caption);
        const CatalogueRow& row = Device(caption);
        const int bits = DataBitsOfClass(row.DeviceClass);
        const size_t cells = static_cast<size_t>(row.DeviceEnd) + 1;
        std::uniform_int_distribution<size_t> anyCell(0, cells - 1);
        std::uniform_int_distribution<int> anyBit(0, bits - 1);
        for (int trial = 0; trial < 200; ++trial) {
            const Image image = Random(cells, bits);
            const std::vector<std::string> other = Diagnose(Random(cells, bits), image, caption);
            ASSERT_THAT(other, SizeIs(1));
            EXPECT_THAT(other[0], StartsWith("Diagnosis: no single-line pattern;"));
            EXPECT_THAT(test::SignalWords(other), IsEmpty()) << other[0];

            Image extra = image, missing = image;
            for (int n = few(Generator); n > 0; --n)
                extra[anyCell(Generator)] |= static_cast<uint8_t>(1u << anyBit(Generator));
            for (int n = few(Generator); n > 0; --n)
                missing[anyCell(Generator)] &= static_cast<uint8_t>(~(1u << anyBit(Generator)));
            for (const Image* read : {&extra, &missing}) {
                for (const std::string& line : Diagnose(*read, image, caption)) {
                    EXPECT_THAT(line, StartsWith("Diagnosis: no single-line pattern;"));
                    EXPECT_THAT(test::SignalWords(line), IsEmpty()) << line;
                }
            }
        }
    }
}

} // namespace
} // namespace quennel
