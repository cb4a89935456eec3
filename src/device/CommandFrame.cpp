#include "device/CommandFrame.h"

#include "buffer/Checksum.h"

namespace quennel {

std::string PortFaultCaption(const std::string& reason) {
    return "Port Error: " + reason + "....";
}

std::string PortFaultLine(const std::string& reason, bool leftIdle) {
    return "Port error: " + reason +
           (leftIdle ? "; the pass was ended and the programmer left idle"
                     : "; the port no longer answers and the programmer may not be "
                       "idle: switch its supply off before taking the part out");
}

CommandFrame::CommandFrame(SharedState& state, DeviceCycle& cycle, LatchProtocol& latches,
                           OperatorConsole& console)
    : S(state), Cycle(cycle), Latches(latches), Console(console) {}

void CommandFrame::LockControls() {
    Cycle.SetIdleState();
    Console.LockCommands();
    S.StatusFault = 0;
    Console.ProcessMessages();
}

// Reported once, while the port is still held: the one idle state the
// refusal allows (unless the frame's own idle state was it), then the port
// given back and the programmer no longer taken as found.
void CommandFrame::ReportPortFault() {
    Cycle.SetIdleState();
    S.StatusFault = 1;
    Console.ShowStatus(PortFaultCaption(S.PortFault));
    Console.ShowResults(true);
    Console.AddResult(PortFaultLine(S.PortFault, Latches.IdleAfterRefusal()));
    Latches.ClosePort();
    S.ProgrammerModel = 0;
}

// The idle state comes first, so that a refusal in it is reported too.
void CommandFrame::UnlockControls() {
    Cycle.SetIdleState();
    if (!S.PortFault.empty() && S.PortOpen)
        ReportPortFault();
    Console.UnlockCommands(S.ProgrammerModel > 0, S.StatusFault != 0);
    Console.ProcessMessages();
}

void CommandFrame::UpdateChecksum() {
    LockControls();
    S.Checksum = ComputeChecksum(S.DataBuffer, S.DeviceEnd);
    Console.ShowChecksum(ChecksumCaption(S.Checksum));
    UnlockControls();
}

} // namespace quennel
