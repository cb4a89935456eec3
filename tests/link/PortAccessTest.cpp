// The one line that tells the operator why no printer port can be used, on
// a fake kernel: no port at all, ports elsewhere, a missing device node, a
// node the user may not open (with the group read from the node), and a
// machine where a port works and nothing is said.
#include "link/PortAccess.h"

#include "link/Detection.h"
#include "support/FakeLinuxSystem.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

class PortAccessTest : public ::testing::Test {
protected:
    std::optional<std::string> Problem() { return FindPortAccessProblem(Kernel, CandidatePorts); }

    FakeLinuxSystem Kernel;
};

TEST_F(PortAccessTest, AMachineWithoutPortsIsToldWhichModulesToLoad) {
    EXPECT_THAT(Problem(),
                Optional(std::string("No parallel port found: load the parport_pc and ppdev modules "
                                     "(sudo modprobe -a parport_pc ppdev)")));

    // The parport driver alone lists its directory, but no port in it.
    Kernel.Directories["/proc/sys/dev/parport"] = {"default"};
    Kernel.Directories["/sys/module"] = {"parport", "lp"};
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("load the parport_pc and ppdev modules")));

    Kernel.Directories["/sys/module"] = {"parport", "parport_pc", "ppdev"};
    EXPECT_THAT(Problem(), Optional(std::string("No parallel port found: the parport_pc driver found no "
                                                "printer port on this machine")));
    EXPECT_THAT(Kernel.Calls, IsEmpty());
}

TEST_F(PortAccessTest, PortsAtOtherAddressesAreNamedWithWhereTheyAre) {
    Kernel.AddPort(0, 0xD010);
    Kernel.AddPort(2, 0xD020);
    EXPECT_THAT(Problem(), Optional(std::string("No parallel port at 0x278, 0x378 or 0x3BC: the kernel has "
                                                "parport0 at 0xD010, parport2 at 0xD020 only")));

    Kernel.AddPort(1, 0x278);
    const uint16_t only[] = {0x378};
    EXPECT_THAT(FindPortAccessProblem(Kernel, only),
                Optional(std::string("No parallel port at 0x378: the kernel has parport0 at 0xD010, "
                                     "parport1 at 0x278, parport2 at 0xD020 only")));
    EXPECT_THAT(Kernel.Calls, IsEmpty());
}

TEST_F(PortAccessTest, AMissingDeviceNodeAsksForThePpdevModule) {
    Kernel.AddPort(0, 0x378);
    Kernel.Files.erase("/dev/parport0");
    Kernel.Directories["/sys/module"] = {"parport", "parport_pc"};
    EXPECT_THAT(Problem(),
                Optional(std::string("No parallel port device: the kernel has parport0 but there is "
                                     "no /dev/parport0; load the ppdev module (sudo modprobe ppdev)")));

    Kernel.Directories["/sys/module"] = {"parport", "parport_pc", "ppdev"};
    EXPECT_THAT(Problem(), Optional(std::string("No parallel port device: the ppdev module is loaded but "
                                                "/dev/parport0 was not made; check that udev is running")));

    Kernel.Files["/dev/parport0"] = "";
    Kernel.OpenErrors["/dev/parport0"] = ENXIO;
    EXPECT_THAT(Problem(), Optional(std::string("No parallel port device: /dev/parport0 has no driver behind "
                                                "it; load the ppdev module (sudo modprobe ppdev)")));
}

TEST_F(PortAccessTest, ADeniedNodeNamesTheGroupThatOwnsIt) {
    Kernel.AddPort(0, 0x378);
    Kernel.OpenErrors["/dev/parport0"] = EACCES;
    EXPECT_THAT(Problem(),
                Optional(std::string("/dev/parport0 exists but cannot be opened: add yourself to the "
                                     "group 'lp' that owns it (sudo usermod -aG lp $USER), then log "
                                     "in again")));

    // The group comes from the node, whatever it is called.
    Kernel.Access["/dev/parport0"] = {20, 0660};
    Kernel.Groups[20] = "dialout";
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("the group 'dialout' that owns it (sudo usermod -aG "
                                                         "dialout $USER)")));

    // A group the system cannot name is given by its number.
    Kernel.Access["/dev/parport0"] = {4321, 0660};
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("the group '4321' that owns it")));

    // EPERM is a refusal too.
    Kernel.Access["/dev/parport0"] = {LpGroup, 0660};
    Kernel.OpenErrors["/dev/parport0"] = EPERM;
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("add yourself to the group 'lp'")));
}

TEST_F(PortAccessTest, ANodeForRootAloneIsNotCuredByJoiningItsGroup) {
    Kernel.AddPort(0, 0x378);
    Kernel.OpenErrors["/dev/parport0"] = EACCES;
    Kernel.Access["/dev/parport0"] = {0, 0600};
    const std::string rootOnly =
        "/dev/parport0 exists but cannot be opened: only root may use it (group 'root', "
        "mode 0600); run as root, or give it to the group 'lp' with mode 0660 (a udev "
        "rule)";
    EXPECT_THAT(Problem(), Optional(rootOnly));

    Kernel.Access["/dev/parport0"] = {0, 0660};
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("only root may use it (group 'root', mode 0660)")));

    Kernel.Access["/dev/parport0"] = {LpGroup, 0640};
    EXPECT_THAT(Problem(), Optional(::testing::HasSubstr("only root may use it (group 'lp', mode 0640)")));
}

TEST_F(PortAccessTest, ARefusalDespiteTheGroupOrWithoutDetailsSaysSo) {
    Kernel.AddPort(0, 0x378);
    Kernel.OpenErrors["/dev/parport0"] = EACCES;
    Kernel.OwnGroups = {1000, LpGroup};
    EXPECT_THAT(Problem(),
                Optional(std::string("/dev/parport0 exists but cannot be opened although you are in "
                                     "its group 'lp': permission denied")));

    Kernel.Access.clear();
    EXPECT_THAT(Problem(),
                Optional(std::string("/dev/parport0 exists but cannot be opened: permission denied")));
}

TEST_F(PortAccessTest, AWorkingPortNeedsNoWordAndIsLeftUnclaimed) {
    Kernel.AddPort(0, 0x378);
    EXPECT_EQ(Problem(), std::nullopt);
    EXPECT_THAT(Kernel.Calls, ElementsAre("open /dev/parport0", "close"));
    EXPECT_THAT(Kernel.OpenDescriptors, IsEmpty());
    EXPECT_THAT(Kernel.ClaimedDescriptors, IsEmpty());
}

TEST_F(PortAccessTest, OneUsablePortAmongTheCandidatesIsEnough) {
    Kernel.AddPort(0, 0x278);
    Kernel.AddPort(1, 0x378);
    Kernel.OpenErrors["/dev/parport0"] = EACCES;
    EXPECT_EQ(Problem(), std::nullopt);

    // When none opens, the first port in the search order is the one explained.
    Kernel.OpenErrors["/dev/parport1"] = ENOENT;
    EXPECT_THAT(Problem(), Optional(::testing::StartsWith("/dev/parport0 exists but cannot be opened")));
}

// A port another driver is registered on cannot be had exclusively: the
// line names the driver and how to end it; a free port elsewhere is enough.
TEST_F(PortAccessTest, APortHeldByAnotherDriverNamesItAndTheRemedy) {
    Kernel.AddPort(0, 0x378);
    Kernel.RegisterDriver(0, "lp0");
    EXPECT_THAT(Problem(), Optional(std::string("parport0 is held by the printer driver (lp0): unload it "
                                                "with sudo modprobe -r lp, then try again")));
    EXPECT_THAT(Kernel.ClaimedDescriptors, IsEmpty()) << "the check claims nothing";

    FakeLinuxSystem other;
    other.AddPort(1, 0x278);
    other.RegisterDriver(1, "ppdev1", true);
    EXPECT_THAT(FindPortAccessProblem(other, CandidatePorts),
                Optional(std::string("parport1 is in use by another program (ppdev1), perhaps another "
                                     "quennel: end it, then try again")));
    other.AddPort(2, 0x3BC);
    EXPECT_EQ(FindPortAccessProblem(other, CandidatePorts), std::nullopt) << "0x3BC is free";

    KernelParport port{0, 0x378};
    Kernel.RegisterDriver(0, "zip0");
    std::optional<PortAccessProblem> held = DescribeHeldPort(Kernel, port);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->Brief, "parport0: held by lp0, zip0");
}

// The back-end's failure text is the short form of the same judgement.
TEST(PortOpenFailureTest, TheShortFormNamesThePortAndTheCause) {
    FakeLinuxSystem kernel;
    kernel.AddPort(3, 0x3BC);
    KernelParport port{3, 0x3BC};
    EXPECT_EQ(DescribeOpenFailure(kernel, port, EACCES).Brief, "parport3: permission denied");
    EXPECT_EQ(DescribeOpenFailure(kernel, port, ENOENT).Brief, "parport3: ppdev not loaded");
    EXPECT_EQ(DescribeOpenFailure(kernel, port, ENODEV).Brief, "parport3: ppdev not loaded");
    EXPECT_EQ(DescribeOpenFailure(kernel, port, EBUSY).Brief, "parport3: busy");
    PortAccessProblem other = DescribeOpenFailure(kernel, port, EIO);
    EXPECT_EQ(other.Brief, "parport3: Input/output error");
    EXPECT_EQ(other.Line, "/dev/parport3 cannot be opened: Input/output error");
}

} // namespace
} // namespace quennel::test
