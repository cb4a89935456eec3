// The bus trace's line format, its file, and what it keeps in memory.
#include "link/BusTrace.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <thread>

using namespace quennel;

namespace {

std::filesystem::path TracePath(const std::string& name) {
    return std::filesystem::temp_directory_path() /
           ("quennel-" + name + "-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ".txt");
}

std::vector<std::string> FileLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(BusTrace, LinesCarryMicrosecondsKindAddressAndValueInUpperCaseHex) {
    BusTrace trace(BusTrace::KeepInMemory);
    trace.Write(0x378, 0xA5);
    trace.Read(0x3BD, 0x0F);
    trace.Call("EnablePorts", {0x378, 0x37A}, {4, 4});
    trace.Call("SetFastMode", {0});
    trace.Call("SetFastMode", {0xFFFFFFFF});
    trace.Call("IsWinNT");
    trace.Write(0xFFFF, 0x00);
    auto lines = trace.Lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+ W 0378 A5)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+ R 03BD 0F)"))) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\d+ # EnablePorts 0378 037A)"))) << lines[2];
    EXPECT_TRUE(std::regex_match(lines[3], std::regex(R"(\d+ # SetFastMode 0)"))) << lines[3];
    EXPECT_TRUE(std::regex_match(lines[4], std::regex(R"(\d+ # SetFastMode FFFFFFFF)"))) << lines[4];
    EXPECT_TRUE(std::regex_match(lines[5], std::regex(R"(\d+ # IsWinNT)"))) << lines[5];
    EXPECT_TRUE(std::regex_match(lines[6], std::regex(R"(\d+ W FFFF 00)"))) << lines[6];
    const auto& events = trace.Events();
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[1].What, BusEvent::Kind::Read);
    EXPECT_EQ(events[1].Address, 0x3BD);
    EXPECT_EQ(events[1].Value, 0x0F);
    EXPECT_EQ(lines[0], BusTrace::Format(events[0]));
    for (size_t i = 1; i < events.size(); ++i)
        EXPECT_GE(events[i].Microseconds, events[i - 1].Microseconds);
}

TEST(BusTrace, FileCopyHoldsEarlierAndLaterLines) {
    const auto path = TracePath("trace");
    {
        BusTrace trace(BusTrace::KeepInMemory);
        trace.Write(0x37A, 0x0C);
        ASSERT_TRUE(trace.WriteTo(path.string()));
        trace.Read(0x379, 0x7F);
        trace.Clear();
        EXPECT_TRUE(trace.Lines().empty());
    }
    const auto lines = FileLines(path);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+ W 037A 0C)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+ R 0379 7F)"))) << lines[1];

    BusTrace trace;
    EXPECT_FALSE(trace.WriteTo("/nonexistent-dir/quennel/trace.txt"));
    trace.Write(0x378, 0x01); // goes nowhere, harms nothing
}

// A trace that streams keeps nothing in memory however long it runs, and its
// file is up to date after each port-library call and, while accesses go
// on, within a quarter second; the rest reaches it when the trace ends.
TEST(BusTrace, StreamingTraceKeepsNothingAndItsFileCatchesUp) {
    const auto path = TracePath("stream");
    constexpr int Accesses = 200'000;
    {
        BusTrace trace;
        ASSERT_TRUE(trace.WriteTo(path.string()));
        for (int i = 0; i < Accesses; ++i)
            trace.Write(static_cast<uint16_t>(0x378 + i % 3), static_cast<uint8_t>(i));
        EXPECT_TRUE(trace.Events().empty());
        EXPECT_TRUE(trace.Lines().empty());

        trace.Call("DisablePorts", {0x378, 0x37A}, {4, 4});
        auto lines = FileLines(path);
        ASSERT_EQ(lines.size(), Accesses + 1u) << "everything is on disk after a port-library call";
        EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+ W 0379 01)"))) << lines[1];
        EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(\d+ # DisablePorts 0378 037A)")))
            << lines.back();

        trace.Read(0x379, 0x87);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        trace.Read(0x379, 0x78);
        lines = FileLines(path);
        ASSERT_EQ(lines.size(), Accesses + 3u) << "an access a quarter second after the last flush flushes";
        EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(\d+ R 0379 78)"))) << lines.back();
        trace.Write(0x378, 0x5A);
    }
    const auto lines = FileLines(path);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), Accesses + 4u);
    EXPECT_TRUE(std::regex_match(lines.back(), std::regex(R"(\d+ W 0378 5A)"))) << lines.back();
}

// A line longer than the trace's buffer goes to the file whole, in its place.
TEST(BusTrace, ALineLongerThanTheBufferKeepsItsPlace) {
    const auto path = TracePath("long");
    {
        BusTrace trace;
        ASSERT_TRUE(trace.WriteTo(path.string()));
        trace.Write(0x378, 0x01);
        trace.Call("Many", std::vector<uint32_t>(10'000, 0xABCDEF01));
        trace.Write(0x378, 0x02);
    }
    const auto lines = FileLines(path);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+ W 0378 01)"))) << lines[0];
    EXPECT_EQ(lines[1].size(), lines[1].find(" # Many") + 7 + 10'000 * 9);
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\d+ W 0378 02)"))) << lines[2];
}

// A wait brings the file up to date once a flush is near (200 ms after the
// last), so that the access that would make it is spared the write.
TEST(BusTrace, FlushIfDueSoonWritesOnlyWhenAFlushIsNear) {
    const auto path = TracePath("soon");
    BusTrace trace;
    ASSERT_TRUE(trace.WriteTo(path.string()));
    trace.Write(0x378, 0x11);
    trace.FlushIfDueSoon();
    EXPECT_TRUE(FileLines(path).empty()) << "the last flush was just now";
    std::this_thread::sleep_for(std::chrono::milliseconds(210));
    trace.FlushIfDueSoon();
    const auto lines = FileLines(path);
    trace.CloseFile();
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+ W 0378 11)"))) << lines[0];
}
