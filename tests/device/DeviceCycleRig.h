#pragma once
// A device cycle on a simulated programmer at 0x378 with an open port, and
// a reader that turns the bus trace back into latch writes ("0B=63"), park
// steps ("park") and nibble reads ("read"), each with its time.

#include "device/DeviceCycle.h"
#include "device/Quennel.h"
#include "link/BusTrace.h"
#include "link/DelayTimer.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"
#include "support/FakeConsole.h"

#include <cstdio>
#include <string>
#include <vector>

namespace quennel::test {

inline constexpr uint16_t RigBase = 0x378;

// The port at RigBase opened and the programmer taken as found, as
// detection leaves them.
inline void TakeProgrammerAsFound(QuennelCore& core) {
    core.State.PortBase = RigBase;
    core.State.StatusPort = RigBase + 1;
    core.State.ControlPort = RigBase + 2;
    core.Latches.OpenPort();
    core.State.ProgrammerModel = 2;
}

struct BusStep {
    std::string Text;
    int64_t Microseconds = 0;
};

// Anything on the port registers that is not a whole latch write, park or
// read shows as "?" plus the trace line, so a wrong sequence cannot pass.
inline std::vector<BusStep> DecodeSteps(const std::vector<BusEvent>& events, size_t from = 0) {
    const uint16_t data = RigBase, status = RigBase + 1, control = RigBase + 2;
    auto isWrite = [&](size_t i, uint16_t address, uint8_t value) {
        return i < events.size() && events[i].What == BusEvent::Kind::Write && events[i].Address == address &&
               events[i].Value == value;
    };
    auto isRead = [&](size_t i) {
        return i < events.size() && events[i].What == BusEvent::Kind::Read && events[i].Address == status;
    };
    std::vector<BusStep> steps;
    size_t i = from;
    while (i < events.size()) {
        const BusEvent& e = events[i];
        if (e.What == BusEvent::Kind::Call) {
            ++i;
            continue;
        }
        if (e.What == BusEvent::Kind::Write && e.Address == data && i + 6 < events.size()) {
            uint8_t select = events[i + 1].Value;
            uint8_t clocked = static_cast<uint8_t>(select | 0x04);
            if (isWrite(i + 1, control, select) && isWrite(i + 2, control, clocked) &&
                isWrite(i + 3, control, clocked) && isWrite(i + 4, control, clocked) &&
                isWrite(i + 5, control, select) && isWrite(i + 6, control, 0x00)) {
                char text[16];
                std::snprintf(text, sizeof text, "%02X=%02X", select, e.Value);
                steps.push_back({text, e.Microseconds});
                i += 7;
                continue;
            }
        }
        if (isWrite(i, control, 0x08) && isWrite(i + 1, control, 0x0C)) {
            steps.push_back({"park", e.Microseconds});
            i += 2;
            continue;
        }
        if (isWrite(i, control, 0) && isWrite(i + 1, control, 0) && isWrite(i + 2, control, 0) &&
            isRead(i + 3) && isWrite(i + 4, control, 4) && isWrite(i + 5, control, 4) &&
            isWrite(i + 6, control, 4) && isRead(i + 7) && isWrite(i + 8, control, 0)) {
            steps.push_back({"read", e.Microseconds});
            i += 9;
            continue;
        }
        steps.push_back({"? " + BusTrace::Format(e), e.Microseconds});
        ++i;
    }
    return steps;
}

inline std::vector<std::string> StepTexts(const std::vector<BusStep>& steps) {
    std::vector<std::string> texts;
    for (const auto& step : steps)
        texts.push_back(step.Text);
    return texts;
}

class DeviceCycleRig {
public:
    DeviceCycleRig() {
        Bus.Attach(RigBase, Chip);
        S.PortBase = RigBase;
        Latches.OpenPort();
        S.StatusPort = RigBase + 1;
        S.ControlPort = RigBase + 2;
        S.ProgrammerModel = 2;
        Trace.Clear();
    }
    ~DeviceCycleRig() {
        if (S.PortOpen)
            Latches.ClosePort();
    }

    // The steps since the trace was last cleared, and their texts.
    std::vector<BusStep> Steps() const { return DecodeSteps(Trace.Events()); }
    std::vector<std::string> Texts() const { return StepTexts(Steps()); }
    // Marks the trace now, for measuring how long a routine waited after its last write.
    int64_t Mark() {
        Trace.Call("mark");
        return Trace.Events().back().Microseconds;
    }

    SimulatedProgrammer Chip;
    SimulatedBus Bus;
    BusTrace Trace{BusTrace::KeepInMemory};
    NTPort Port{Bus, &Trace};
    FakeConsole Console;
    SharedState S;
    LatchProtocol Latches{S, Port, Console};
    DelayTimer Timer{S, Console};
    DeviceCycle Cycle{S, Latches, Timer, Console};
};

} // namespace quennel::test
