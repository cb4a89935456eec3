// Faults put on the simulated bench by their names, as the programs take
// them, and what the diagnosis makes of them: every single fault of every
// device width over a hundred random images read through the simulated
// part, and a table of them through the real operations on the simulated
// programmer.
#include "DeviceCycleRig.h"
#include "DiagnosisWords.h"
#include "device/FaultDiagnosis.h"
#include "device/Quennel.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedFaults.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

namespace quennel {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// One fault of one line and what its diagnosis must say first.
struct LineFault {
    std::string Name; // as --fault takes it
    std::set<std::string> Suspects;
    std::string Says;
};

void PutOn(SimulatedProgrammer& programmer, const std::string& name) {
    SimulatedFaultChoice fault;
    std::string error;
    ASSERT_TRUE(ParseSimulatedFault(name, fault, error)) << error;
    fault.ApplyTo(programmer);
}

int AddressLinesOf(const CatalogueRow& row) {
    return std::bit_width(static_cast<unsigned>(row.DeviceEnd));
}

// Each data line stuck both ways, each neighbouring pair bridged, each
// address line open and stuck at 1.
std::vector<LineFault> FaultsOf(const CatalogueRow& row) {
    const int bits = DataBitsOfClass(row.DeviceClass);
    std::vector<LineFault> faults;
    for (int line = 0; line < bits; ++line) {
        const std::string d = "D" + std::to_string(line), n = std::to_string(line);
        faults.push_back({"data-stuck-0:" + n, {d}, "reads 0 in every cell"});
        faults.push_back({"data-stuck-1:" + n, {d}, "reads 1 in every cell"});
        if (line + 1 < bits)
            faults.push_back({"data-bridge:" + n + ":" + std::to_string(line + 1),
                              {d, "D" + std::to_string(line + 1)},
                              "are bridged"});
    }
    for (int line = 0; line < AddressLinesOf(row); ++line) {
        const std::string a = "A" + std::to_string(line), n = std::to_string(line);
        faults.push_back({"address-open:" + n, {a}, "is open or stuck at 0"});
        faults.push_back({"address-stuck-1:" + n, {a}, "is stuck at 1"});
    }
    return faults;
}

constexpr const char* Devices[] = {"82S123", "82S129", "74S571", "74S471", "82S147", "82S181"};

class FaultSweep : public ::testing::TestWithParam<const char*> {};

// A hundred random images per fault, each with at least 16 cells that read
// wrong, read cell by cell through the simulated part as the read cycle
// would see them.
TEST_P(FaultSweep, EverySingleFaultIsNamedFirst) {
    const CatalogueRow& row = *FindDeviceByCaption(GetParam());
    const int bits = DataBitsOfClass(row.DeviceClass);
    const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
    const size_t cells = static_cast<size_t>(row.DeviceEnd) + 1;
    std::mt19937 random(static_cast<uint32_t>(row.Row));
    const std::vector<LineFault> faults = FaultsOf(row);
    ASSERT_EQ(faults.size(), static_cast<size_t>(3 * bits - 1 + 2 * AddressLinesOf(row)));
    for (const LineFault& fault : faults) {
        SCOPED_TRACE(fault.Name);
        SimulatedProgrammer part;
        part.Width = bits;
        PutOn(part, fault.Name);
        int images = 0;
        for (int attempt = 0; images < 100 && attempt < 1000; ++attempt) {
            const std::vector<uint8_t> chip = test::RandomImage(random, SimulatedChipSize, 8);
            std::copy(chip.begin(), chip.end(), part.Fuses.begin());
            std::vector<uint8_t> image(cells), read(cells);
            size_t affected = 0;
            for (size_t cell = 0; cell < cells; ++cell) {
                image[cell] = chip[cell] & mask;
                read[cell] = part.PartOutputs(static_cast<uint16_t>(cell)) & mask;
                affected += read[cell] != image[cell];
            }
            if (affected < 16)
                continue;
            ++images;
            const std::vector<std::string> lines = DiagnoseFaults(read, image, bits, &row);
            ASSERT_FALSE(lines.empty());
            EXPECT_EQ(test::SignalWords(lines.front()), fault.Suspects) << lines.front();
            EXPECT_THAT(lines.front(), HasSubstr(fault.Says));
            if (::testing::Test::HasFailure())
                return;
        }
        EXPECT_EQ(images, 100) << "too few images with 16 cells affected";
    }
}

INSTANTIATE_TEST_SUITE_P(DiagnosisOnTheSimulator, FaultSweep, ::testing::ValuesIn(Devices));

// The operations on a simulated programmer at 0x378, with the port opened
// and the programmer taken as found, as detection would leave them.
class DiagnosisOperations : public ::testing::TestWithParam<const char*> {
protected:
    DiagnosisOperations() {
        Bus.Attach(0x378, Programmer);
        test::TakeProgrammerAsFound(Core);
    }

    const CatalogueRow& Select(const char* caption) {
        const CatalogueRow& row = *FindDeviceByCaption(caption);
        Core.SelectDevice(row);
        Programmer.Width = DataBitsOfClass(row.DeviceClass);
        return row;
    }

    // A fresh part holding a random image, which the buffer holds too.
    std::vector<uint8_t> Burn(const CatalogueRow& row) {
        const std::vector<uint8_t> image = test::RandomImage(Random, static_cast<size_t>(row.DeviceEnd) + 1,
                                                             DataBitsOfClass(row.DeviceClass));
        Programmer = SimulatedProgrammer();
        Programmer.Width = DataBitsOfClass(row.DeviceClass);
        S.DataBuffer.fill(0);
        std::ranges::copy(image, Programmer.Fuses.begin());
        std::ranges::copy(image, S.DataBuffer.begin());
        return image;
    }

    // The fault lines first, in address order, then the diagnosis lines.
    std::vector<std::string> DiagnosisAfterTheFaultList() {
        static const std::regex faultLine("[0-9A-F]{4}  EXPECTED-[0-9A-F]{2} FOUND-[0-9A-F]{2}");
        const auto first = std::ranges::find_if(
            Console.Results, [](const std::string& line) { return line.starts_with(DiagnosisPrefix); });
        EXPECT_NE(first, Console.Results.begin()) << "no fault list before the diagnosis";
        for (auto line = Console.Results.begin(); line != first; ++line)
            EXPECT_TRUE(std::regex_match(*line, faultLine)) << *line;
        std::vector<std::string> diagnosis(first, Console.Results.end());
        for (const std::string& line : diagnosis)
            EXPECT_THAT(line, StartsWith(DiagnosisPrefix));
        FaultLines = static_cast<size_t>(first - Console.Results.begin());
        return diagnosis;
    }

    std::mt19937 Random{77};
    SimulatedProgrammer Programmer;
    SimulatedBus Bus;
    test::FakeConsole Console;
    QuennelCore Core{Bus, Console};
    SharedState& S = Core.State;
    size_t FaultLines = 0;
};

// One fault of each kind per device width through the verify the operator
// starts, the lines varied from device to device; the core and its port
// stay set up from one verify to the next.
TEST_P(DiagnosisOperations, AVerifyNamesTheFaultyLineAfterItsFaultList) {
    const CatalogueRow& row = Select(GetParam());
    const int bits = DataBitsOfClass(row.DeviceClass);
    const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
    const int lines = AddressLinesOf(row);
    const int k =
        static_cast<int>(std::ranges::find(Devices, std::string_view(GetParam())) - std::begin(Devices));
    const std::vector<std::string> faults{
        "data-stuck-0:" + std::to_string(k % bits),
        "data-stuck-1:" + std::to_string((k + 1) % bits),
        "data-bridge:" + std::to_string((k + 2) % (bits - 1)) + ":" +
            std::to_string((k + 2) % (bits - 1) + 1),
        "address-open:" + std::to_string(lines - 1),
        "address-stuck-1:" + std::to_string(k % lines),
    };
    for (const LineFault& fault : FaultsOf(row)) {
        if (std::ranges::find(faults, fault.Name) == faults.end())
            continue;
        SCOPED_TRACE(fault.Name);
        size_t affected = 0;
        while (affected < 16) {
            const std::vector<uint8_t> image = Burn(row);
            PutOn(Programmer, fault.Name);
            affected = 0;
            for (size_t cell = 0; cell < image.size(); ++cell)
                affected += (Programmer.PartOutputs(static_cast<uint16_t>(cell)) & mask) != image[cell];
        }
        Console.Results.clear();
        Core.Operations.Verify_EpromClick();
        EXPECT_EQ(Console.Status, "Device Did NOT Verify to Buffer....");
        const std::vector<std::string> diagnosis = DiagnosisAfterTheFaultList();
        ASSERT_FALSE(diagnosis.empty());
        EXPECT_EQ(test::SignalWords(diagnosis.front()), fault.Suspects) << diagnosis.front();
        EXPECT_THAT(diagnosis.front(), HasSubstr(fault.Says));
        EXPECT_EQ(FaultLines, affected);
    }
}

// Against another image, or with a few fuses blown besides, no line is named.
TEST_P(DiagnosisOperations, NoLineIsNamedWithoutAFaultyLine) {
    const CatalogueRow& row = Select(GetParam());
    const size_t cells = static_cast<size_t>(row.DeviceEnd) + 1;
    Burn(row);
    const std::vector<uint8_t> other = test::RandomImage(Random, cells, DataBitsOfClass(row.DeviceClass));
    std::ranges::copy(other, S.DataBuffer.begin());
    Core.Operations.Verify_EpromClick();
    EXPECT_THAT(DiagnosisAfterTheFaultList(), ElementsAre(StartsWith("Diagnosis: no single-line pattern;")));

    Burn(row);
    for (size_t cell : {cells / 3, cells / 2, cells - 1}) {
        S.DataBuffer[cell] = 0x02;
        Programmer.Fuses[cell] = cell % 2 ? 0x03 : 0x06;
    }
    Console.Results.clear();
    Core.Operations.Verify_EpromClick();
    const std::vector<std::string> extra = DiagnosisAfterTheFaultList();
    EXPECT_EQ(FaultLines, 3U);
    EXPECT_THAT(extra, ElementsAre(StartsWith("Diagnosis: no single-line pattern;")));
    EXPECT_THAT(test::SignalWords(extra), IsEmpty());

    // A part that verifies shows no diagnosis at all.
    Programmer = SimulatedProgrammer();
    std::ranges::copy_n(S.DataBuffer.begin(), static_cast<ptrdiff_t>(cells), Programmer.Fuses.begin());
    Programmer.Width = DataBitsOfClass(row.DeviceClass);
    Console.Results.clear();
    Core.Operations.Verify_EpromClick();
    EXPECT_EQ(Console.Status, "Device Verified to Buffer....");
    EXPECT_THAT(Console.Results, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(DiagnosisOnTheSimulator, DiagnosisOperations, ::testing::ValuesIn(Devices));

class DiagnosisOperationsOnOnePart : public DiagnosisOperations {};

TEST_F(DiagnosisOperationsOnOnePart, ABlankCheckOfAPartWithALineStuckAtOne) {
    Select("82S181");
    PutOn(Programmer, "data-stuck-1:6");
    Core.Operations.Blank_ChkClick();
    EXPECT_EQ(Console.Status, "Device is NOT Erased....");
    EXPECT_THAT(
        DiagnosisAfterTheFaultList(),
        ElementsAre("Diagnosis: D6 (PROM pin 16, socket pin 15) reads 1 in every cell: the line is open or "
                    "stuck at 1"));
    EXPECT_EQ(FaultLines, 1024U);

    // With no device chosen the lines are named without their pins.
    S.DeviceRow = 0;
    Console.Results.clear();
    Core.Operations.Blank_ChkClick();
    EXPECT_THAT(DiagnosisAfterTheFaultList(),
                ElementsAre("Diagnosis: D6 reads 1 in every cell: the line is open or stuck at 1"));
}

// Programming through a bridge blows both fuses of the pair; through an
// open address line it blows each pair of cells into one. The verify that
// follows names the line either way.
TEST_F(DiagnosisOperationsOnOnePart, ProgrammingThroughAFaultyLineIsNamedByItsVerify) {
    Select("82S123");
    std::ranges::fill(S.DataBuffer, 0);
    for (size_t cell : {1, 4, 9, 12, 18, 27})
        S.DataBuffer[cell] = cell % 2 ? 0x04 : 0x08;
    PutOn(Programmer, "data-bridge:2:3");
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(
        DiagnosisAfterTheFaultList(),
        ElementsAre("Diagnosis: D2 (pin 3) and D3 (pin 4) are bridged: they read alike in every cell"));
    EXPECT_EQ(Programmer.Fuses[1], 0x0C);

    Programmer = SimulatedProgrammer();
    std::ranges::fill(S.DataBuffer, 0);
    for (size_t cell : {0, 3, 5, 6, 8, 26})
        S.DataBuffer[cell | (cell % 3 ? 0x10 : 0)] = static_cast<uint8_t>(1u << (cell % 8));
    PutOn(Programmer, "address-open:4");
    Console.Results.clear();
    Core.Operations.Program_EpromClick();
    EXPECT_EQ(Console.Status, "Device Did NOT Program....");
    EXPECT_THAT(
        DiagnosisAfterTheFaultList(),
        ElementsAre(StartsWith("Diagnosis: A4 (pin 14) was open or stuck while the part was programmed")));
}

} // namespace
} // namespace quennel
