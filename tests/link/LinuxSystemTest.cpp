#include "link/LinuxSystem.h"

#include "link/PpdevPort.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quennel::test {
namespace {

using ::testing::UnorderedElementsAre;

class HostSystemTest : public ::testing::Test {
protected:
    HostSystemTest() {
        Directory = std::filesystem::temp_directory_path() /
                    ("quennel-host-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(Directory);
    }
    ~HostSystemTest() override { std::filesystem::remove_all(Directory); }

    std::filesystem::path Directory;
};

TEST_F(HostSystemTest, ReadsWholeFilesAndListsDirectories) {
    std::ofstream(Directory / "base-addr") << "888\t1912\n";
    std::ofstream(Directory / "empty");
    std::filesystem::create_directory(Directory / "parport0");

    EXPECT_EQ(HostSystem().ReadTextFile((Directory / "base-addr").string()), "888\t1912\n");
    EXPECT_EQ(HostSystem().ReadTextFile((Directory / "empty").string()), "");
    EXPECT_FALSE(HostSystem().ReadTextFile((Directory / "missing").string()));
    EXPECT_THAT(HostSystem().ListDirectory(Directory.string()),
                UnorderedElementsAre("base-addr", "empty", "parport0"));
    EXPECT_TRUE(HostSystem().ListDirectory((Directory / "missing").string()).empty());
}

TEST_F(HostSystemTest, FailuresComeBackAsNegativeErrno) {
    EXPECT_EQ(HostSystem().Open((Directory / "missing").string(), O_RDWR), -ENOENT);

    int descriptor = HostSystem().Open((Directory / ".").string(), O_RDONLY);
    ASSERT_GE(descriptor, 0);
    unsigned char status = 0;
    EXPECT_LT(HostSystem().Ioctl(descriptor, PPRSTATUS, &status), 0) << "a directory is no parallel port";
    HostSystem().Close(descriptor);
    EXPECT_EQ(HostSystem().Ioctl(descriptor, PPRSTATUS, &status), -EBADF);
}

TEST_F(HostSystemTest, TellsWhoMayOpenAFile) {
    std::filesystem::path file = Directory / "node";
    std::ofstream(file) << "x";
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);

    std::optional<FileAccess> access = HostSystem().StatFile(file.string());
    ASSERT_TRUE(access);
    EXPECT_EQ(access->Group, status.st_gid);
    EXPECT_EQ(access->Mode, 0640U);
    EXPECT_FALSE(HostSystem().StatFile((Directory / "missing").string()));
}

TEST(HostGroupsTest, NamesGroupsAndListsThoseTheProcessHolds) {
    EXPECT_EQ(HostSystem().GroupName(0), "root");
    EXPECT_FALSE(HostSystem().GroupName(0x7FFFFFF0U)) << "no system has that many groups";

    std::vector<uint32_t> groups = HostSystem().ProcessGroups();
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups.front(), ::getegid());
    std::vector<gid_t> supplementary(static_cast<size_t>(::getgroups(0, nullptr)));
    ::getgroups(static_cast<int>(supplementary.size()), supplementary.data());
    for (gid_t group : supplementary)
        EXPECT_NE(std::find(groups.begin(), groups.end(), group), groups.end()) << group;
}

// Only meaningful where the kernel lists no port at the address, as on a
// machine without a printer port: the range is then simply empty.
TEST(HardwareBackEndTest, AnAddressWithoutAKernelPortIsAnEmptyRange) {
    if (std::filesystem::exists("/proc/sys/dev/parport"))
        GTEST_SKIP() << "this machine has parallel ports";
    std::unique_ptr<PortBackEnd> backEnd = MakeHardwareBackEnd();
    std::string failure;
    EXPECT_TRUE(backEnd->OpenRange(0x378, 0x37A, failure));
    EXPECT_EQ(failure, "");
    EXPECT_EQ(backEnd->ReadByte(0x379), 0xFF);
    EXPECT_EQ(backEnd->ReadByte(0x77A), 0xFF);
    backEnd->CloseRange(0x378, 0x37A);
}

} // namespace
} // namespace quennel::test
