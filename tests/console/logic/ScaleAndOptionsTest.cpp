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
    EXPECT_FALSE(none.Absent);
    const SimOptions all = Parse({"--chip", "a.bin", "--model=1", "--absent", "--trace", "t.txt", "--fault",
                                  "unpowered", "--fault=stuck-fuses", "--fault", "no-ecr", "--help", "--version"});
    EXPECT_EQ(all.ChipFile, "a.bin");
    EXPECT_EQ(all.Model, 1);
    EXPECT_TRUE(all.Absent);
    EXPECT_EQ(all.TraceFile, "t.txt");
    EXPECT_TRUE(all.Unpowered && all.StuckFuses && all.NoEcr && all.Help && all.Version);
}

TEST(SimOptions, BadUsageIsNamed) {
    EXPECT_EQ(Refused({"--model", "3"}), "--model takes 1 (the older model) or 2 (the current one), not '3'");
    EXPECT_EQ(Refused({"--chip"}), "--chip needs a value");
    EXPECT_EQ(Refused({"--chip="}), "--chip needs a value");
    EXPECT_EQ(Refused({"--fault", "smoke"}), "unknown fault 'smoke'; see --help");
    EXPECT_EQ(Refused({"chip.bin"}), "unknown option 'chip.bin'; see --help");
}

TEST(SimOptions, UsageNamesEveryOptionAndFault) {
    const std::string usage = SimUsage();
    for (const char* option : {"--chip FILE", "--model 1|2", "--absent", "--trace FILE", "--fault NAME", "--help",
                               "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    for (const SimFault& fault : SimFaults())
        EXPECT_NE(usage.find(fault.Name), std::string::npos) << fault.Name;
}

} // namespace
} // namespace quennel
