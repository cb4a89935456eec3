// What quennel-cli does with the file it is given: read once, whatever it
// is; refused, before any part is touched, when damaged, empty or larger
// than the device; and counted by what it holds when no device is named.
#include "CliRunner.h"
#include "buffer/BufferTextHelpers.h"
#include "cli/ImageDigest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace quennel::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::string Pattern(size_t length, int step) {
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>((i * static_cast<size_t>(step) + i / 256 + 1) & 0xFF);
    return bytes;
}

TEST(CliInput, PipeAndFifoAreReadOnce) {
    CliRunner cli;
    // Intel hex down a pipe, its format told from what came down it.
    CliResult run = cli.Run(SimArguments({"-d", "82S123", "program", "/dev/stdin"}),
                            IntelRecord(0, 0x00, {0x11, 0x22, 0x33}) + ":00000001FF\r\n");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, EndsWith("Device is Programmed....\n"));
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(0, 4), std::string("\x11\x22\x33\x00", 4));

    // Binary needs its name: -t bin.
    const std::string image = Pattern(32, 37);
    run = cli.Run({"--port", "sim", "--sim-chip", "other.bin", "-q", "-d", "74S288", "-t", "bin", "program",
                   "/dev/stdin"},
                  image);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("other.bin")).substr(0, 32), image);

    // A FIFO gives its contents once; the program must not wait for more.
    ASSERT_EQ(::mkfifo(cli.PathOf("in.s19").c_str(), 0600), 0);
    std::thread writer([&] { FeedFifo(cli.PathOf("in.s19"), SRecord(1, 0, {1, 2, 3}) + "S9030000FC\r\n"); });
    cli.Start({"checksum", "in.s19"});
    run = cli.Wait(std::chrono::seconds(60));
    writer.join();
    EXPECT_FALSE(run.TimedOut) << "the FIFO was opened a second time";
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_THAT(run.Out, HasSubstr("CheckSum=0006\n"));
}

// A damaged file is refused with its line, and nothing is touched; a file
// made by hand with wrong sums loads when the operator says so.
TEST(CliInput, ChecksumMismatchIsRefusedUnlessLetPass) {
    CliRunner cli;
    WriteFile(cli.PathOf("bad.hex"), IntelRecord(0, 0x00, {0x01}) + IntelRecord(0, 0x01, {0x02}) +
                                         ":01000200035A\r\n" + IntelRecord(0, 0x03, {0x04}) +
                                         ":00000001FF\r\n");
    CliResult run = cli.Run(SimArguments({"-d", "82S123", "program", "bad.hex"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err,
                HasSubstr("bad.hex (read as intel) line 3: the record's checksum is 5A, its bytes call "
                          "for FA; nothing was loaded (--ignore-checksums"));
    EXPECT_THAT(run.Out, HasSubstr("File Could Not be Loaded....\n"));
    EXPECT_THAT(run.Out, Not(HasSubstr("Programming")));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin")));

    run = cli.Run({"convert", "bad.hex", "out.bin"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("out.bin")));

    run = cli.Run(SimArguments({"-d", "82S123", "--ignore-checksums", "program", "bad.hex"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(0, 5), std::string("\x01\x02\x03\x04\x00", 5));
}

// A 1 KB image converted to hex and programmed into a 256-byte part would
// wrap onto itself; as binary it would be cut. Either way nothing reaches
// the part.
TEST(CliInput, FileLargerThanTheDeviceIsRefusedBeforeAnyPart) {
    CliRunner cli;
    WriteFile(cli.PathOf("fw.bin"), Pattern(1024, 7));
    ASSERT_EQ(cli.Run({"convert", "fw.bin", "fw.hex"}).Status, 0);
    EXPECT_EQ(std::ranges::count(ReadFile(cli.PathOf("fw.hex")), '\n'), 66);

    CliResult run = cli.Run(SimArguments({"-d", "74S471", "program", "fw.hex"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err, HasSubstr("fw.hex (read as intel) line 18: the file holds more than the selected "
                                   "device: its address 0100 falls on cell 0000"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin")));

    run = cli.Run(SimArguments({"-d", "74S471", "verify", "fw.bin"}));
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err,
                HasSubstr("fw.bin holds data up to address 03FF, past the last address of the 74S471 "
                          "(00FF)"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin")));

    // What the device holds goes through (few bits: every pulse takes 10 ms).
    std::string small(256, '\0');
    small[0x00] = '\x81';
    small[0xFF] = '\x40';
    WriteFile(cli.PathOf("small.bin"), small);
    ASSERT_EQ(cli.Run({"convert", "small.bin", "small.hex"}).Status, 0);
    run = cli.Run(SimArguments({"-d", "74S471", "program", "small.hex"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(0, 256), small);
}

TEST(CliInput, FileWithoutDataIsNotLoaded) {
    CliRunner cli;
    WriteFile(cli.PathOf("notes.hex"), "hello\r\n");
    WriteFile(cli.PathOf("garbage.dat"), std::string("\x01\x02\xFF\x00", 4));
    WriteFile(cli.PathOf("empty.bin"), "");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"-t", "intel", "program", "notes.hex"},
         "notes.hex (read as intel): no Intel hex data record in the file"},
        {{"-t", "intel", "verify", "garbage.dat"}, "garbage.dat (read as intel): no Intel hex data record"},
        {{"program", "empty.bin"}, "empty.bin (read as bin): the file is empty"},
        {{"-t", "motorola", "compare", "notes.hex"}, "no S1, S2 or S3 data record in the file"},
    };
    for (const auto& [arguments, complaint] : cases) {
        std::vector<std::string> more{"-d", "82S123"};
        more.insert(more.end(), arguments.begin(), arguments.end());
        const CliResult run = cli.Run(SimArguments(more));
        EXPECT_EQ(run.Status, 2) << complaint;
        EXPECT_THAT(run.Out, EndsWith("File Could Not be Loaded....\n"));
        EXPECT_THAT(run.Err, HasSubstr(complaint));
    }
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("chip.bin")));
    EXPECT_EQ(cli.Run({"checksum", "empty.bin"}).Status, 2);
}

// Lines are read whole: the 77th byte of an S1 record, a long Intel record
// and a long ASCII hex line all arrive.
TEST(CliInput, LongLinesLoadWhole) {
    CliRunner cli;
    std::vector<uint8_t> data(77, 0x11);
    data.back() = 0x22;
    WriteFile(cli.PathOf("long.s19"), SRecord(1, 0, data) + "S9030000FC\r\n");
    CliResult run = cli.Run(SimArguments({"-d", "74S471", "program", "long.s19"}));
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadFile(cli.PathOf("chip.bin")).substr(75, 3), std::string("\x11\x22\x00", 3));

    std::string line;
    for (int i = 0; i < 100; ++i)
        line += HexDigits(static_cast<uint32_t>(i), 2);
    WriteFile(cli.PathOf("long.txt"), line + "\r\n");
    run = cli.Run({"convert", "long.txt", "long.bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    const std::string bytes = ReadFile(cli.PathOf("long.bin"));
    ASSERT_EQ(bytes.size(), 112u); // 100 bytes, rounded up to whole records
    EXPECT_EQ(bytes[99], 99);
}

TEST(CliInput, WithoutADeviceConvertAndChecksumCoverWhatTheInputHolds) {
    CliRunner cli;
    const std::string twenty = Pattern(20, 11);
    WriteFile(cli.PathOf("twenty.bin"), twenty);
    CliResult run = cli.Run({"checksum", "twenty.bin"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(twenty.data()), twenty.size());
    EXPECT_THAT(run.Out, HasSubstr("CRC32=" + cli::Crc32Text(bytes) + "\n"));
    ASSERT_EQ(cli.Run({"convert", "twenty.bin", "twenty.s19"}).Status, 0);
    const std::string records = ReadFile(cli.PathOf("twenty.s19"));
    EXPECT_EQ(std::ranges::count(records, '\n'), 3);
    EXPECT_THAT(records, HasSubstr("\r\nS208000010B1BCC7D2"));

    // A text file counts up to its highest address, in whole records.
    WriteFile(cli.PathOf("high.hex"), IntelRecord(0, 0x12, {0xAB}) + ":00000001FF\r\n");
    ASSERT_EQ(cli.Run({"convert", "high.hex", "high.bin"}).Status, 0);
    EXPECT_EQ(ReadFile(cli.PathOf("high.bin")).size(), 32u);

    // Past the buffer, bytes would be lost.
    WriteFile(cli.PathOf("past.hex"), IntelRecord(0, 0x3FF, {0x01, 0x02}));
    run = cli.Run({"convert", "past.hex", "past.bin"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err,
                HasSubstr("past.hex holds data up to address 0400, more than the buffer's 1024 bytes"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("past.bin")));
}

TEST(CliInput, ConversionErrorNamesFileAndLine) {
    CliRunner cli;
    WriteFile(cli.PathOf("bad.hex"),
              IntelRecord(0, 0, {0x01}) + ":10001000GG0102030405060708090A0B0C0D0E0F78\r\n");
    const CliResult run = cli.Run({"-d", "82S123", "convert", "bad.hex", "out.bin"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_THAT(run.Err,
                HasSubstr("quennel-cli: bad.hex (read as intel) line 2: '$GG' is not a valid integer "
                          "value\n"));
    EXPECT_FALSE(std::filesystem::exists(cli.PathOf("out.bin")));
}

} // namespace
} // namespace quennel::test
