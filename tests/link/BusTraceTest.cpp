// The bus trace's line format and its copy on disk.
#include "link/BusTrace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

using namespace quennel;

TEST(BusTrace, LinesCarryMicrosecondsKindAddressAndValueInUpperCaseHex) {
    BusTrace trace;
    trace.Write(0x378, 0xA5);
    trace.Read(0x3BD, 0x0F);
    trace.Call("EnablePorts", {0x378, 0x37A}, {4, 4});
    trace.Call("SetFastMode", {0});
    trace.Call("SetFastMode", {0xFFFFFFFF});
    trace.Call("IsWinNT");
    auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+ W 0378 A5)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+ R 03BD 0F)"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\d+ # EnablePorts 0378 037A)"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(\d+ # SetFastMode 0)"))) << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(\d+ # SetFastMode FFFFFFFF)"))) << lines[4];
    EXPECT_TRUE(std::regex_match(lines[5], std::regex(R"(\d+ # IsWinNT)"))) << lines[5];
    for (size_t i = 1; i < trace.Events().size(); ++i)
        EXPECT_GE(trace.Events()[i].Microseconds, trace.Events()[i - 1].Microseconds);
}

TEST(BusTrace, FileCopyHoldsEarlierAndLaterLines) {
    auto path =
        std::filesystem::temp_directory_path() /
        ("quennel-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".txt");
    {
        BusTrace trace;
        trace.Write(0x37A, 0x0C);
        ASSERT_TRUE(trace.WriteTo(path.string()));
        trace.Read(0x379, 0x7F);
        trace.Clear();
        EXPECT_TRUE(trace.Lines().empty());
    }
    std::ifstream in(path);
    std::string first, second, rest;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_FALSE(std::getline(in, rest));
    std::filesystem::remove(path);
    EXPECT_TRUE(std::regex_match(first, std::regex(R"(\d+ W 037A 0C)"))) << first;
    EXPECT_TRUE(std::regex_match(second, std::regex(R"(\d+ R 0379 7F)"))) << second;

    BusTrace trace;
    EXPECT_FALSE(trace.WriteTo("/nonexistent-dir/quennel/trace.txt"));
}
