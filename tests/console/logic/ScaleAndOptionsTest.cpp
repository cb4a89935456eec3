// The button-size arithmetic, the help file's places and reading, and the
// simulator program's command line.

#include "buffer/TempDirectory.h"
#include "console/logic/HelpFileLocation.h"
#include "console/logic/ScaleArithmetic.h"
#include "console/logic/SimOptions.h"

#include <cstdlib>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace quennel {
namespace {

using ::testing::ElementsAre;

TEST(ScaleValue, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(ScaleValue(1, 3, 2), 2);   // 1.5
    EXPECT_EQ(ScaleValue(-1, 3, 2), -2); // -1.5
    EXPECT_EQ(ScaleValue(5, 1, 4), 1);   // 1.25
    EXPECT_EQ(ScaleValue(7, 1, 4), 2);   // 1.75
    EXPECT_EQ(ScaleValue(-7, 1, 4), -2);
    EXPECT_EQ(ScaleValue(11, 486, 408), 13); // 13.10
    EXPECT_EQ(ScaleValue(64, 486, 408), 76); // 76.24
    EXPECT_EQ(ScaleValue(204, 486, 408), 243);
}

TEST(ScaleBounds, SizesComeFromTheScaledEdges) {
    // 4, 64 .. 114, 84 gives edges 4.76, 76.24, 135.79, 100.06.
    EXPECT_EQ(ScaleBounds({4, 64, 110, 20}, 486, 408), (ControlBounds{5, 76, 131, 24}));
    // Two neighbours that touch still touch after scaling.
    const ControlBounds upper = ScaleBounds({4, 4, 110, 20}, 486, 408);
    const ControlBounds lower = ScaleBounds({4, 24, 110, 20}, 486, 408);
    EXPECT_EQ(upper.Top + upper.Height, lower.Top);
}

TEST(ScaleBounds, EnlargingThenShrinkingRestoresEveryEdge) {
    for (int32_t left = 0; left < 700; left += 7)
        for (int32_t width = 1; width < 520; width += 13) {
            const ControlBounds original{left, left / 2, width, width / 3 + 1};
            const ControlBounds large =
                ScaleBounds(original, LargeButtonsNumerator, LargeButtonsDenominator);
            ASSERT_EQ(ScaleBounds(large, LargeButtonsDenominator, LargeButtonsNumerator), original)
                << left << ' ' << width;
        }
}

TEST(HelpFile, CurrentDirectoryFirstThenTheProgramsCopies) {
    EXPECT_THAT(HelpFileCandidates("/work/here", "/opt/q/bin"),
                ElementsAre("/work/here/Halden.Txt", "/opt/q/bin/Halden.Txt", "/opt/q/share/quennel/Halden.Txt"));
}

class HelpLinesTest : public ::testing::Test {
protected:
    std::vector<std::string> Read(const std::string& text) {
        test::WriteFile(Directory / "help-lines.txt", text);
        std::vector<std::string> lines{"stale"};
        EXPECT_TRUE(ReadHelpLines(Directory / "help-lines.txt", lines));
        return lines;
    }
    test::TempDirectory Directory;
};

TEST_F(HelpLinesTest, LinesEndAtLfWithACrBeforeItDropped) {
    EXPECT_THAT(Read("one\r\ntwo\nthree"), ElementsAre("one", "two", "three"));
    EXPECT_THAT(Read("one\n\nthree\n"), ElementsAre("one", "", "three"));
    EXPECT_THAT(Read(""), ElementsAre(""));
    std::vector<std::string> lines;
    EXPECT_FALSE(ReadHelpLines("/nonexistent/Halden.Txt", lines));
    EXPECT_FALSE(ReadHelpLines(Directory.Path, lines));
}

SimOptions Parse(std::vector<std::string> arguments) {
    SimOptions options;
    std::string error;
    EXPECT_TRUE(ParseSimOptions(arguments, options, error)) << error;
    return options;
}

std::string Refused(std::vector<std::string> arguments) {
    SimOptions options;
    std::string error;
    EXPECT_FALSE(ParseSimOptions(arguments, options, error));
    return error;
}

TEST(SimOptions, DefaultsAndEveryOption) {
    const SimOptions none = Parse({});
    EXPECT_EQ(none.ChipFile, "quennel-sim-chip.bin");
    EXPECT_EQ(none.Model, 2);
    EXPECT_EQ(none.Base, 0x378);
    EXPECT_FALSE(none.Absent);
    EXPECT_EQ(Parse({"--base", "0xD010"}).Base, 0xD010);
    EXPECT_EQ(Parse({"--base=0x3bc"}).Base, 0x3BC);
    const SimOptions all = Parse({"--chip", "a.bin", "--model=1", "--absent", "--trace", "t.txt", "--fault",
                                  "unpowered", "--fault=stuck-fuses", "--fault", "no-ecr", "--help", "--version"});
    EXPECT_EQ(all.ChipFile, "a.bin");
    EXPECT_EQ(all.Model, 1);
    EXPECT_TRUE(all.Absent);
    EXPECT_EQ(all.TraceFile, "t.txt");
    EXPECT_TRUE(all.Help && all.Version);
    ASSERT_EQ(all.Faults.size(), 3U);
    SimulatedProgrammer bench;
    for (const SimulatedFaultChoice& fault : all.Faults)
        fault.ApplyTo(bench);
    EXPECT_FALSE(bench.Powered);
    EXPECT_FALSE(bench.FusesBlow);
    EXPECT_FALSE(bench.HasEcr);
    EXPECT_TRUE(none.Faults.empty());

    // The faults of the part's lines, each line by its number.
    const SimOptions lines =
        Parse({"--fault", "data-stuck-0:2", "--fault=address-stuck-1:9", "--fault", "data-bridge:3:4",
               "--fault", "data-stuck-1:7", "--fault", "address-open:0"});
    SimulatedProgrammer wired;
    for (const SimulatedFaultChoice& fault : lines.Faults)
        fault.ApplyTo(wired);
    EXPECT_EQ(wired.DataStuckLow, 0x04);
    EXPECT_EQ(wired.DataStuckHigh, 0x80);
    EXPECT_EQ(wired.AddressStuckHigh, 0x200);
    EXPECT_EQ(wired.AddressOpen, 0x001);
    EXPECT_EQ(wired.DataBridges, (std::vector<std::pair<int, int>>{{3, 4}}));
    EXPECT_TRUE(wired.Powered);
}

TEST(SimOptions, BadUsageIsNamed) {
    EXPECT_EQ(Refused({"--model", "3"}), "--model takes 1 (the older model) or 2 (the current one), not '3'");
    EXPECT_EQ(Refused({"--chip"}), "--chip needs a value");
    EXPECT_EQ(Refused({"--chip="}), "--chip needs a value");
    EXPECT_EQ(Refused({"--fault", "smoke"}), "unknown fault 'smoke'; see --help");
    EXPECT_EQ(Refused({"--fault", "data-stuck-0"}), "fault 'data-stuck-0' takes the form data-stuck-0:N");
    EXPECT_EQ(Refused({"--fault", "data-bridge:2"}), "fault 'data-bridge:2' takes the form data-bridge:N:M");
    EXPECT_EQ(Refused({"--fault", "unpowered:1"}), "fault 'unpowered:1' takes the form unpowered");
    EXPECT_EQ(Refused({"--fault", "data-stuck-1:8"}),
              "fault 'data-stuck-1:8': line 8 is not between 0 and 7");
    EXPECT_EQ(Refused({"--fault", "address-open:10"}),
              "fault 'address-open:10': line 10 is not between 0 and 9");
    EXPECT_EQ(Refused({"--fault", "address-open:-1"}),
              "fault 'address-open:-1': line -1 is not between 0 and 9");
    EXPECT_EQ(Refused({"--fault", "address-open:x"}), "fault 'address-open:x': 'x' is no line number");
    EXPECT_EQ(Refused({"--fault", "address-open:1x"}), "fault 'address-open:1x': '1x' is no line number");
    EXPECT_EQ(Refused({"--fault", "data-bridge:2:2"}), "fault 'data-bridge:2:2' names one line twice");
    EXPECT_EQ(Refused({"chip.bin"}), "unknown option 'chip.bin'; see --help");
    for (const char* base : {"D010", "0x", "0xD01G", "0xFFFD", "0x10000", "0xFF", "-0x378"})
        EXPECT_EQ(Refused({"--base", base}),
                  "--base takes a port base in hex from 0x100 to 0xFFFC, such as 0xD010, not '" + std::string(base) +
                      "'")
            << base;
}

TEST(SimOptions, UsageNamesEveryOptionAndFault) {
    const std::string usage = SimUsage();
    for (const char* option : {"--chip FILE", "--model 1|2", "--absent", "--base ADDR", "--trace FILE",
                               "--fault NAME", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    for (const char* fault : {"unpowered", "stuck-fuses", "no-ecr", "data-stuck-0:N", "data-stuck-1:N",
                              "address-open:N", "a9-open", "address-stuck-1:N", "data-bridge:N:M"})
        EXPECT_NE(usage.find(std::string("    ") + fault + " "), std::string::npos) << fault;
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80U) << line;
}

} // namespace
} // namespace quennel
