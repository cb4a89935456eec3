#include "link/Detection.h"

#include <algorithm>
#include <cstdio>

namespace quennel {

namespace {

constexpr uint8_t FirstTestByte = 0xA5;
constexpr uint8_t SecondTestByte = 0x5A;
constexpr uint8_t TestMode = 0xB7; // latch 02 while testing, and the data byte of the burst
constexpr int32_t ConfirmPauseMs = 300;

// The model check: 128 latched values, each followed by 32 rounds of this
// control pattern before it is read back.
constexpr int ModelCheckValues = 0x80;
constexpr int BurstRounds = 32;
constexpr std::array<uint8_t, 12> BurstControl{0x05, 0x01, 0x0D, 0x0A, 0x0F, 0x0A,
                                               0x07, 0x0A, 0x04, 0x0A, 0x06, 0x0A};

constexpr const char* NotFoundText =
    "The Trevalo Programmer Can Not\r\nBe Found On LPT1, LPT2 or LPT3.\r\n\r\n"
    "..Make Sure Your Power Pack is Plugged In..";
constexpr int NotFoundX = 375;
constexpr int NotFoundY = 325;

std::string Hex(unsigned value, int digits) {
    char text[9];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

} // namespace

ProgrammerDetection::ProgrammerDetection(SharedState& state, LatchProtocol& latches, NTPort& port,
                                         DelayTimer& timer, OperatorConsole& console)
    : S(state), Latches(latches), Port(port), Timer(timer), Console(console) {}

void ProgrammerDetection::ReadBackTest(uint8_t expected) {
    S.LatchValue = expected;
    Latches.Latch0A();
    Latches.ReadNibbles();
    if (S.ReadValue != expected)
        S.ProgrammerModel = 0;
    Console.AddResult(ReadBackLine(S.PortBase, expected, S.ReadValue));
}

void ProgrammerDetection::TryPort() {
    // The confirming test opens the port it already holds; by then the ECR
    // reads the 0x00 written on the first opening, and keeping that would
    // lose the value to restore when the port is given back.
    const bool reopening = S.PortOpen;
    const uint8_t originalEcr = S.SavedEcr;
    Latches.OpenPort();
    if (reopening)
        S.SavedEcr = originalEcr;

    S.StatusPort = static_cast<uint16_t>(S.PortBase + 1);
    S.ControlPort = static_cast<uint16_t>(S.PortBase + 2);
    Latches.InitLatches();
    S.ProgrammerModel = 1;
    S.LatchValue = TestMode;
    Latches.Latch02();
    ReadBackTest(FirstTestByte);
    ReadBackTest(SecondTestByte); // also after a failed first byte, so both lines show
    if (!S.PortFault.empty())
        RejectRefusedPort();
    if (S.ProgrammerModel == 0)
        Latches.ClosePort();
}

// A port whose driver refused an access is no port to program through,
// whatever its test bytes showed.
void ProgrammerDetection::RejectRefusedPort() {
    S.ProgrammerModel = 0;
    if (FirstRefusal.empty())
        FirstRefusal = S.PortFault;
    Console.AddResult(RefusedPortLine(S.PortBase, S.PortFault));
}

void ProgrammerDetection::FindProgrammer() {
    FirstRefusal.clear();
    S.StatusFault = 1;
    Console.ShowResults(true);

    for (uint16_t candidate : SearchOrder(Port.ListedPorts())) {
        S.PortBase = candidate;
        TryPort();
        if (S.ProgrammerModel != 0)
            break;
    }
    if (S.ProgrammerModel == 0) {
        ShowNotFound();
        return;
    }

    // Confirm on the same port after a pause.
    Latches.InitLatches();
    S.DelayMs = ConfirmPauseMs;
    Timer.WaitDelay();
    if (!S.PortOpen) {
        // The port was given back during the pause (the program is closing):
        // it must not be opened again, and nothing holds it any more.
        S.ProgrammerModel = 0;
        return;
    }
    if (S.StopRequested) {
        // The program is closing: the search ends here, quietly, and the
        // port goes back as a port that did not answer would.
        Latches.ClosePort();
        S.ProgrammerModel = 0;
        return;
    }
    if (!S.PortFault.empty()) {
        RejectRefusedPort();
        Latches.ClosePort();
        ShowNotFound();
        return;
    }
    TryPort();
    if (S.ProgrammerModel == 0) {
        ShowNotFound();
        return;
    }
    ModelCheck();
    if (!S.PortFault.empty()) {
        RejectRefusedPort();
        Latches.ClosePort();
        ShowNotFound();
    }
}

void ProgrammerDetection::ModelCheck() {
    Console.ShowStatus("Testing");
    Latches.InitLatches();
    for (int value = 0; value < ModelCheckValues; ++value) {
        S.LatchValue = static_cast<uint16_t>(value);
        Latches.Latch0A();
        for (int round = 0; round < BurstRounds; ++round) {
            WriteRegister(S.PortBase, TestMode);
            for (uint8_t control : BurstControl)
                WriteRegister(S.ControlPort, control);
        }
        Latches.ReadNibbles();
        if (S.ReadValue != value)
            S.ProgrammerModel = 2;
        S.StatusFault = 0;
    }
}

void ProgrammerDetection::ShowNotFound() {
    Console.ShowMessageBox(
        {MessageBoxRequest::Kind::Information, "Information", NotFoundText, NotFoundX, NotFoundY});
}

// The burst goes straight to the registers, and like every register access
// it stays off a port that has been given back.
void ProgrammerDetection::WriteRegister(uint16_t address, uint8_t value) {
    Latches.WriteRegister(address, value);
}

std::vector<uint16_t> SearchOrder(const std::vector<uint16_t>& listed) {
    std::vector<uint16_t> order(CandidatePorts.begin(), CandidatePorts.end());
    for (uint16_t base : listed)
        if (std::ranges::find(order, base) == order.end())
            order.push_back(base);
    return order;
}

std::string ProgrammerCaption(const SharedState& state) {
    if (state.ProgrammerModel == 0)
        return "The Trevalo Programmer was Not Found";
    std::string caption = "The Trevalo Programmer was Found at " + Hex(state.PortBase, 4);
    if (state.ProgrammerModel == 1)
        caption += "  Old TP";
    return caption;
}

std::string RefusedPortLine(uint16_t portBase, const std::string& reason) {
    return "Port Address - " + Hex(portBase, 4) + " Refused - " + reason;
}

std::string ReadBackLine(uint16_t portBase, uint8_t expected, uint8_t found) {
    return "Port Address - " + Hex(portBase, 4) + " Expected - " + Hex(expected, 2) + " / Found - " +
           Hex(found, 2);
}

} // namespace quennel
