#include "link/ParportLookup.h"

#include "support/FakeLinuxSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(ParportLookupTest, MatchesEachBaseToThePortTheKernelReportsThere) {
    FakeLinuxSystem kernel;
    kernel.Directories["/proc/sys/dev/parport"].push_back("default");
    kernel.AddPort(2, 0x278);
    kernel.AddPort(0, 0x3BC);
    kernel.AddPort(1, 0x378);

    auto atSecond = FindParport(kernel, 0x378);
    ASSERT_TRUE(atSecond);
    EXPECT_EQ(atSecond->Number, 1);
    EXPECT_EQ(atSecond->DevicePath(), "/dev/parport1");
    EXPECT_EQ(atSecond->ProcDirectory(), "/proc/sys/dev/parport/parport1");
    ASSERT_TRUE(FindParport(kernel, 0x278));
    EXPECT_EQ(FindParport(kernel, 0x278)->Number, 2);
    ASSERT_TRUE(FindParport(kernel, 0x3BC));
    EXPECT_EQ(FindParport(kernel, 0x3BC)->Number, 0);
}

TEST(ParportLookupTest, ListsEveryPortInNumberOrderWithItsBase) {
    FakeLinuxSystem kernel;
    EXPECT_TRUE(ListParports(kernel).empty());
    kernel.Directories["/proc/sys/dev/parport"].push_back("default");
    kernel.AddPort(10, 0xD010);
    kernel.AddPort(2, 0x278);
    kernel.AddPort(0, 0x378);
    kernel.Files["/proc/sys/dev/parport/parport2/base-addr"] = "garbage\n";

    std::vector<KernelParport> ports = ListParports(kernel);
    ASSERT_EQ(ports.size(), 2U) << "parport2's entry makes no sense";
    EXPECT_EQ(ports[0].Number, 0);
    EXPECT_EQ(ports[0].Base, 0x378UL);
    EXPECT_EQ(ports[1].Number, 10);
    EXPECT_EQ(ports[1].Base, 0xD010UL);
}

TEST(ParportLookupTest, FindsNothingWhereNoPortIsReported) {
    FakeLinuxSystem kernel;
    EXPECT_FALSE(FindParport(kernel, 0x378)) << "no parport driver loaded at all";

    kernel.AddPort(0, 0xE800); // a PCI card elsewhere
    EXPECT_FALSE(FindParport(kernel, 0x378));
    EXPECT_FALSE(FindParport(kernel, 0x3BC));
}

TEST(ParportLookupTest, PassesOverEntriesThatCannotBeReadOrMakeNoSense) {
    FakeLinuxSystem kernel;
    kernel.AddPort(0, 0x378);
    kernel.Files.erase("/proc/sys/dev/parport/parport0/base-addr");
    kernel.AddPort(1, 0x378);
    kernel.Files["/proc/sys/dev/parport/parport1/base-addr"] = "garbage\n";
    kernel.AddPort(2, 0x378);
    kernel.Files["/proc/sys/dev/parport/parport2/base-addr"] = "888x\t1912\n";
    kernel.Directories["/proc/sys/dev/parport"].push_back("parportX");
    kernel.AddPort(3, 0x378);

    auto found = FindParport(kernel, 0x378);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->Number, 3);
}

TEST(ParportLookupTest, TakesTheLowestNumberWhenTwoPortsClaimOneBase) {
    FakeLinuxSystem kernel;
    kernel.AddPort(4, 0x378);
    kernel.AddPort(1, 0x378);
    ASSERT_TRUE(FindParport(kernel, 0x378));
    EXPECT_EQ(FindParport(kernel, 0x378)->Number, 1);
}

TEST(ParportLookupTest, ReadsTheFirstDecimalNumberOfABaseEntry) {
    EXPECT_EQ(ParseBaseAddress("888\t1912\n"), 888UL);
    EXPECT_EQ(ParseBaseAddress("  632 1656"), 632UL);
    EXPECT_EQ(ParseBaseAddress("956"), 956UL);
    EXPECT_FALSE(ParseBaseAddress(""));
    EXPECT_FALSE(ParseBaseAddress("\n"));
    EXPECT_FALSE(ParseBaseAddress("-888\t0\n"));
    EXPECT_FALSE(ParseBaseAddress("0x378\n")) << "the kernel writes decimal; hex is not its format";
}

TEST(ParportLookupTest, NamesTheDriversRegisteredOnAPort) {
    FakeLinuxSystem kernel;
    kernel.AddPort(0, 0x378);
    KernelParport port{0};
    EXPECT_THAT(ParportDrivers(kernel, port), IsEmpty()) << "only the kernel's 'active' entry";

    kernel.RegisterDriver(0, "lp0");
    kernel.RegisterDriver(0, "ppdev0", true);
    EXPECT_THAT(ParportDrivers(kernel, port), ElementsAre("lp0", "ppdev0"));

    kernel.Directories.erase("/proc/sys/dev/parport/parport0/devices");
    EXPECT_THAT(ParportDrivers(kernel, port), IsEmpty()) << "an unreadable entry names nobody";
}

} // namespace
} // namespace quennel::test
