// The port-library layer over a back-end: its calls in the trace, the range
// it opens, and the failure text GetLastState hands out.
#include "SimulatedRig.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace quennel;
using namespace quennel::test;
using Lines = std::vector<std::string>;

TEST(NTPort, LastStateIsEmptyAfterSuccessAndCutTo29CharactersAfterAFailure) {
    SimulatedBus bus;
    NTPort port(bus);
    char text[LastStateSize];
    std::memset(text, '?', sizeof text);
    port.EnablePorts(0x378, 0x37A);
    EXPECT_EQ(port.GetLastState(text), 0u);
    EXPECT_STREQ(text, "");

    bus.CloseRange(0x378, 0x37A);
    bus.RefuseOpen = "Device or resource busy: /dev/parport0 is claimed";
    std::memset(text, '?', sizeof text);
    port.EnablePorts(0x378, 0x37A);
    EXPECT_NE(port.GetLastState(text), 0u);
    EXPECT_EQ(std::strlen(text), 29u);
    EXPECT_EQ(std::string(text), bus.RefuseOpen.substr(0, 29));

    // A later success clears the failure.
    bus.RefuseOpen.clear();
    port.EnablePorts(0x378, 0x37A);
    EXPECT_EQ(port.GetLastState(text), 0u);
    EXPECT_STREQ(text, "");
}

TEST(NTPort, FailureWithoutAReasonStillHasAText) {
    class Refusing : public SimulatedBus {
        bool OpenRange(uint16_t, uint16_t, std::string&) override { return false; }
    } bus;
    NTPort port(bus);
    char text[LastStateSize];
    port.EnablePorts(0x278, 0x27A);
    EXPECT_NE(port.GetLastState(text), 0u);
    EXPECT_GT(std::strlen(text), 0u);
}

TEST(NTPort, CallsAndByteIoAreTracedAndReachTheBackEnd) {
    SimulatedProgrammer programmer;
    SimulatedBus bus;
    bus.Attach(0x3BC, programmer);
    BusTrace trace(BusTrace::KeepInMemory);
    NTPort port(bus, &trace);
    programmer.Ecr = 0x3D;
    EXPECT_TRUE(port.IsWinNT());
    port.SetFastMode(FastModeOn);
    EXPECT_EQ(port.Inp(0x7BE), 0x3D);
    port.Outp(0x7BE, 0x0100); // only the low byte reaches the register
    EXPECT_EQ(programmer.Ecr, 0x00);
    port.EnablePorts(0x3BC, 0x3BE);
    EXPECT_TRUE(port.PortOut(0x3BC, 0xC3));
    EXPECT_EQ(programmer.DataLines(), 0xC3);
    uint8_t status = 0;
    EXPECT_TRUE(port.PortIn(0x3BD, status));
    port.DisablePorts(0x3BC, 0x3BE);
    char statusLine[16];
    std::snprintf(statusLine, sizeof statusLine, "R 03BD %02X", status);
    EXPECT_EQ(Untimed(trace), (Lines{"# IsWinNT", "# SetFastMode FFFFFFFF", "# Inp 07BE", "R 07BE 3D",
                                     "# Outp 07BE 100", "W 07BE 00", "# EnablePorts 03BC 03BE", "W 03BC C3",
                                     statusLine, "# DisablePorts 03BC 03BE"}));
    EXPECT_FALSE(bus.IsOpen(0x3BC));
    EXPECT_TRUE(bus.Violations().empty());
}

TEST(NTPort, ToldTheRangeNeedsNoOpeningItAnswersFalseToIsWinNT) {
    SimulatedBus bus;
    NTPort port(bus, nullptr, false);
    EXPECT_FALSE(port.IsWinNT());
}
