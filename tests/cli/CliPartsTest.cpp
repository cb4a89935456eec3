#include "buffer/FileType.h"
#include "cli/CliConsole.h"
#include "cli/FileTypeChoice.h"
#include "cli/ImageDigest.h"
#include "cli/OnePortBackEnd.h"
#include "cli/PortChoice.h"
#include "cli/ProgressLine.h"
#include "sim/SimulatedBus.h"
#include "support/FakeLinuxSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace quennel::cli {
namespace {

using namespace std::chrono_literals;

// --port: sim, a standard port whatever the kernel lists, and any port the
// kernel lists by its base or its node; anything else is named with what
// the kernel has.
TEST(PortChoice, NamesSimAStandardPortOrAPortTheKernelLists) {
    test::FakeLinuxSystem kernel;
    kernel.AddPort(0, 0x378);
    kernel.AddPort(1, 0xD010);
    auto choose = [&](const std::string& name) {
        std::string error;
        std::optional<PortChoice> choice = ChoosePort(kernel, name, error);
        EXPECT_EQ(choice.has_value(), error.empty()) << name;
        return choice;
    };
    EXPECT_FALSE(choose("")->Simulated);
    EXPECT_EQ(choose("")->Base, std::nullopt);
    EXPECT_TRUE(choose("SIM")->Simulated);
    EXPECT_EQ(choose("0x3BC")->Base, 0x3BC) << "a standard port need not be listed";
    EXPECT_EQ(choose("0x278")->Base, 0x278);
    EXPECT_EQ(choose("0xd010")->Base, 0xD010);
    EXPECT_EQ(choose("0xD010")->Base, 0xD010);
    EXPECT_EQ(choose("/dev/parport1")->Base, 0xD010);
    EXPECT_EQ(choose("/dev/parport0")->Base, 0x378);
    EXPECT_FALSE(choose("/dev/parport0")->Simulated);

    std::string error;
    EXPECT_EQ(ChoosePort(kernel, "0xE000", error), std::nullopt);
    EXPECT_EQ(error,
              "unknown port '0xE000'; use 0x278, 0x378, 0x3BC, sim, or a port the kernel lists by its "
              "base or its /dev/parportN (the kernel lists /dev/parport0 at 0x378, /dev/parport1 at 0xD010)");
    for (const char* bad : {"/dev/parport2", "0x", "0x1D010", "D010", "0xD01G", "lpt1"})
        EXPECT_EQ(ChoosePort(kernel, bad, error), std::nullopt) << bad;
    test::FakeLinuxSystem empty;
    EXPECT_EQ(ChoosePort(empty, "/dev/parport0", error), std::nullopt);
    EXPECT_THAT(error, ::testing::EndsWith("(the kernel lists no port)"));
}

// Told to use one port, the back-end lists it only when the system does.
TEST(PortChoice, OnePortBackEndListsItsPortOnlyWhenTheSystemDoes) {
    SimulatedBus bus;
    bus.Listed = {0x378, 0xD010};
    EXPECT_EQ(OnePortBackEnd(bus, 0xD010).ListedPorts(), std::vector<uint16_t>{0xD010});
    EXPECT_TRUE(OnePortBackEnd(bus, 0xE000).ListedPorts().empty());
}

// A box becomes one printed line with its title; its CR LF breaks become
// plain line breaks, and a box without text prints nothing.
TEST(CliConsole, PrintsABoxAsItsTitleAndText) {
    std::ostringstream out;
    std::ostringstream err;
    CliConsole console(out, err, false);
    console.ShowMessageBox({MessageBoxRequest::Kind::Plain, "", "Error:parport0: busy\r\nsecond\rthird", {}, {}});
    console.ShowMessageBox({MessageBoxRequest::Kind::Information, "Information", "", {}, {}});
    console.ShowMessageBox({MessageBoxRequest::Kind::Information, "Information", "No Device Was Selected.", {}, {}});
    EXPECT_EQ(out.str(), "[Quennel] Error:parport0: busy\nsecond\rthird\n[Information] No Device Was Selected.\n");
    EXPECT_EQ(err.str(), "");
}

TEST(FileTypeChoice, NamesAndExtensions) {
    EXPECT_EQ(FileTypeFromName("Intel"), IntelHexFileType);
    EXPECT_EQ(FileTypeFromName("MOTOROLA"), MotorolaHexFileType);
    EXPECT_EQ(FileTypeFromName("hex"), std::nullopt);
    EXPECT_EQ(FileTypeFromExtension("a/b/image.BIN"), BinaryFileType);
    EXPECT_EQ(FileTypeFromExtension("image.hex"), IntelHexFileType);
    EXPECT_EQ(FileTypeFromExtension("image.s19"), MotorolaHexFileType);
    EXPECT_EQ(FileTypeFromExtension("image.txt"), AsciiHexFileType);
    EXPECT_EQ(FileTypeFromExtension("image"), std::nullopt);
    EXPECT_EQ(FileTypeFromExtension("image.rom"), std::nullopt);
}

TEST(FileTypeChoice, RecognisesTheFirstRecord) {
    auto recognise = [](const std::string& name, const std::string& contents) {
        std::string error;
        std::optional<int32_t> type = RecogniseFileType(name, contents, error);
        EXPECT_EQ(type.has_value(), error.empty()) << name;
        return type;
    };
    EXPECT_EQ(recognise("a.hex", "\r\n:020000020000FC\r\n"), IntelHexFileType);
    EXPECT_EQ(recognise("a.s19", "S214000000000102030405060708090A0B0C0D0E0F73\r\n"), MotorolaHexFileType);
    EXPECT_EQ(recognise("a.dat", "00FF3a\r\n"), AsciiHexFileType);
    // .bin is taken at its word, whatever it holds.
    EXPECT_EQ(recognise("a.bin", ":00000001FF\r\n"), BinaryFileType);
    // Neither a record mark nor hex digits, nor an odd count of digits.
    EXPECT_EQ(recognise("b.hex", "\x01\x02\xFF"), std::nullopt);
    EXPECT_EQ(recognise("c.txt", "0FF\r\n"), std::nullopt);
    EXPECT_EQ(recognise("d.hex", "s214000000\r\n"), std::nullopt);
    EXPECT_EQ(recognise("e.hex", "\r\n\r\n"), std::nullopt);

    std::string error;
    EXPECT_EQ(RecogniseFileType("/dev/stdin", "", error), std::nullopt);
    EXPECT_NE(error.find("/dev/stdin: cannot tell its format: it is empty"), std::string::npos) << error;
}

TEST(ImageDigest, MatchesTheStandardCheckValues) {
    const std::string text = "123456789";
    std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(Crc32Text(bytes), "cbf43926");
    EXPECT_EQ(Sha1Text(bytes), "f7c3bc1d808e04732adf679965ccc34ca7ae3441");
    EXPECT_EQ(Crc32Text({}), "00000000");
    EXPECT_EQ(Sha1Text({}), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(ProgressLine, ShowsAddressShareAndTimeLeft) {
    EXPECT_EQ(ProgressLine(0x7F, 0xFF, 2000ms), "[###############---------------]  007F   50%  0:02 left");
    EXPECT_EQ(ProgressLine(0x3FF, 0x3FF, 5000ms), "[##############################]  03FF  100%  0:00 left");
    // Nothing to estimate from yet.
    EXPECT_EQ(ProgressLine(0, 0x1F, 0ms), "[------------------------------]  0000    3%");
    // 90 s for a quarter: about 4:30 to go.
    EXPECT_EQ(ProgressLine(0xFF, 0x3FF, 90000ms), "[#######-----------------------]  00FF   25%  4:30 left");
}

TEST(OnePortBackEnd, LetsThroughOnlyTheNamedPort) {
    SimulatedProgrammer programmer278;
    SimulatedProgrammer programmer378;
    SimulatedBus bus;
    bus.Attach(0x278, programmer278);
    bus.Attach(0x378, programmer378);
    OnePortBackEnd filter(bus, 0x378);
    std::string failure;
    EXPECT_TRUE(filter.OpenRange(0x278, 0x27A, failure));
    EXPECT_FALSE(bus.IsOpen(0x278));
    EXPECT_TRUE(filter.OpenRange(0x378, 0x37A, failure));
    EXPECT_TRUE(bus.IsOpen(0x378));

    filter.WriteByte(0x278, 0x5A);
    filter.WriteByte(0x378, 0xA5);
    EXPECT_EQ(programmer278.DataLines(), 0x00);
    EXPECT_EQ(programmer378.DataLines(), 0xA5);
    EXPECT_EQ(filter.ReadByte(0x278), 0xFF);
    EXPECT_EQ(filter.ReadByte(0x378), 0xA5);
    filter.WriteByte(0x378 + 0x402, 0x20); // the ECR passes too
    EXPECT_EQ(programmer378.ReadRegister(0x402), 0x20);
    filter.CloseRange(0x378, 0x37A);
    EXPECT_FALSE(bus.IsOpen(0x378));
    EXPECT_TRUE(bus.Violations().empty());
}

} // namespace
} // namespace quennel::cli
