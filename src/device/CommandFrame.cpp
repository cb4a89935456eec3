#include "device/CommandFrame.h"

#include "buffer/Checksum.h"

namespace quennel {

CommandFrame::CommandFrame(SharedState& state, DeviceCycle& cycle, OperatorConsole& console)
    : S(state), Cycle(cycle), Console(console) {}

void CommandFrame::LockControls() {
    Cycle.SetIdleState();
    Console.LockCommands();
    S.StatusFault = 0;
    Console.ProcessMessages();
}

void CommandFrame::UnlockControls() {
    Console.UnlockCommands(S.ProgrammerModel > 0, S.StatusFault != 0);
    Cycle.SetIdleState();
    Console.ProcessMessages();
}

void CommandFrame::UpdateChecksum() {
    LockControls();
    S.Checksum = ComputeChecksum(S.DataBuffer, S.DeviceEnd);
    Console.ShowChecksum(ChecksumCaption(S.Checksum));
    UnlockControls();
}

} // namespace quennel
