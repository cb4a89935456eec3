#pragma once
// The program's shared state: one instance, owned by the program object for
// its whole life. Routines take no arguments: a caller stores a value here
// (LatchValue, DelayMs, CurrentAddress), calls the routine, and finds the
// result here again (ReadValue, EndReached, StatusFault).

#include <array>
#include <cstdint>
#include <string>

namespace quennel {

inline constexpr int BufferSize = 1024;

// The end count a stop from outside leaves in EndReached; a pass that ends
// by itself leaves 1, the program-over compare at most 2.
inline constexpr int32_t StopEndCount = 5;

struct SharedState {
    // The printer port in use.
    uint16_t PortBase = 0;
    uint16_t StatusPort = 0;  // PortBase + 1
    uint16_t ControlPort = 0; // PortBase + 2
    uint8_t SavedEcr = 0;     // the ECR as the last OpenPort found it
    bool PortOpen = false;    // between OpenPort and ClosePort; nothing touches a released port
    // Why the port's driver refused a register access since the port was
    // opened ("parport1: control write failed: No such device"); empty
    // while none was. A refusal also ends the running pass.
    std::string PortFault;

    // Latch protocol: the next latch byte (low 8 bits used) and the byte read back.
    uint16_t LatchValue = 0;
    uint8_t ReadValue = 0;

    // 0 no programmer found, 1 the older model, 2 the current model.
    int32_t ProgrammerModel = 0;

    // The status line's fault flag: 0 cleared by LockControls, 1 at the first fault.
    int32_t StatusFault = 0;

    // Length of the next wait in ms; non-zero while WaitDelay is still waiting.
    int32_t DelayMs = 0;

    // Address counter of a pass and its end count.
    int32_t CurrentAddress = 0;
    int32_t EndReached = 0;
    // Set by a stop from outside (a close, a signal) and never rewound: the
    // program is ending, so no later pass may start and look unfinished work
    // over as done. Every idle state puts EndReached back to StopEndCount.
    bool StopRequested = false;
    // True from the first write of a programming pulse to its last: a stop
    // then lets the pulse run its full time instead of ending its wait.
    bool PulseInFlight = false;

    // Mode values of the device cycle (only their low bytes reach the latches).
    int32_t Latch0BMode = 0;
    uint16_t Latch0BAddress = 0;
    int32_t Latch01Address = 0;
    int32_t Latch01Program = 0;
    int32_t Latch02Mode = 0;
    uint16_t ProgramBit = 0;

    // Device selection.
    int32_t DeviceRow = 0;
    int32_t DeviceClass = 0; // 0 none yet, 1..6
    int32_t DeviceEnd = 0;   // last address of the device, 0..1023

    // The buffer and what is computed from it.
    std::array<uint8_t, BufferSize> DataBuffer{};
    uint16_t Checksum = 0;
    int32_t FileType = 0; // 0 binary, 1 Intel hex, 2 Motorola hex, 3 ASCII hex
};

} // namespace quennel
