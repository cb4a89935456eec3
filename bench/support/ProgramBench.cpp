#include "ProgramBench.h"

#include "BusyLoad.h"
#include "ProcessStart.h"
#include "device/Catalogue.h"
#include "device/Quennel.h"
#include "link/BusTrace.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>

namespace quennel::bench {

namespace {

using Clock = std::chrono::steady_clock;

// What the part and the programmer need, whatever the program does: one
// pulse per 1-bit, the programming set-up's two settles, the pause before
// the verify and the verify's own settle; a read needs its settle only.
constexpr double PulseMs = 10;
constexpr double ProgramSetupMs = 100 + 50;
constexpr double PauseBeforeVerifyMs = 75;
constexpr double ReadSettleMs = 100;
constexpr uint16_t SimulatedPortBase = 0x378;
constexpr const char* ReadDevice = "82S181"; // 1k x 8

// A whole number from 0 up, the whole of text.
bool ReadCount(const char* text, int& count) {
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, count);
    return error == std::errc() && stop == end && count >= 0;
}

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Posts a call to the message thread every period while it lives, and
// notes how late each one ran; only calls that run while Measuring count.
// Calls still queued when it ends find their record alive and not measuring.
class EventProbe {
public:
    struct Record {
        bool Measuring = false;     // on the message thread only
        std::vector<double> LateMs; // on the message thread only
    };

    EventProbe(BenchDrive& drive, std::chrono::milliseconds period) : Drive(drive) {
        Poster = std::thread([this, period] {
            auto next = Clock::now() + period;
            while (!Stop.load()) {
                std::this_thread::sleep_until(next);
                const auto postedAt = Clock::now();
                Drive.Post([record = Shared, postedAt] {
                    if (record->Measuring)
                        record->LateMs.push_back(MsSince(postedAt));
                });
                next = std::max(next + period, Clock::now());
            }
        });
    }
    ~EventProbe() {
        Stop.store(true);
        Poster.join();
    }

    Record& Measured() { return *Shared; }

private:
    BenchDrive& Drive;
    std::shared_ptr<Record> Shared = std::make_shared<Record>();
    std::atomic<bool> Stop{false};
    std::thread Poster; // last: started once everything above exists
};

// " (<reason>)" for a refusal's errno, nothing without one.
std::string Because(int error) {
    return error == 0 ? std::string() : std::string(" (") + std::strerror(error) + ")";
}

// What the program run's hold got, and the load, in one line.
std::string RealtimeWords(const ProgramBenchReport& r) {
    std::string words = "Real-time waits: ";
    const RealtimeGrant& g = r.Realtime;
    if (!r.RealtimeWanted)
        words += "off (--no-realtime)";
    else
        words += (g.PriorityRaised ? "message thread at FIFO " + std::to_string(MessageThreadFifoPriority)
                                   : "priority not raised" + Because(g.PriorityError)) +
                 (g.LatencyHeld ? ", wake-up latency held at 0"
                                : ", wake-up latency not held" + Because(g.LatencyError)) +
                 (g.MemoryLocked ? ", memory locked" : ", memory not locked");
    words += "; load: ";
    if (r.Load == 0)
        words += "none";
    else
        words += std::to_string(r.Load) + (r.Load == 1 ? " busy process" : " busy processes");
    return words;
}

} // namespace

Spread SpreadOf(std::vector<double> values) {
    Spread spread;
    spread.Count = values.size();
    if (values.empty())
        return spread;
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) {
        return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
    };
    spread.Min = values.front();
    spread.Median = at(0.5);
    spread.P99 = at(0.99);
    spread.Max = values.back();
    double sum = 0;
    for (double value : values)
        sum += value;
    spread.Mean = sum / static_cast<double>(values.size());
    return spread;
}

double PeakResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

bool ReadProgramBenchOption(int argc, char** argv, int& i, ProgramBenchOptions& options) {
    const std::string option = argv[i];
    if (option == "--quick") {
        options.Device = "82S123";
        return true;
    }
    if (option == "--no-read") {
        options.ReadPass = false;
        return true;
    }
    if (option == "--no-realtime") {
        options.Realtime = false;
        return true;
    }
    if (option == "--side-by-side") {
        options.SideBySide = true;
        return true;
    }
    if (i + 1 >= argc)
        return false;
    const char* value = argv[i + 1];
    if (option == "--device") {
        options.Device = value;
    } else if (option == "--trace") {
        options.TracePath = value;
    } else if (option == "--bytes") {
        if (!ReadCount(value, options.Bytes))
            return false;
    } else if (option == "--load") {
        if (!ReadCount(value, options.Load) || options.Load > MostBusyProcesses)
            return false;
    } else {
        return false;
    }
    ++i;
    return true;
}

ProgramBenchReport RunProgramBench(BenchDrive& drive, const ProgramBenchOptions& options) {
    const CatalogueRow* device = FindDeviceByCaption(options.Device);
    if (device == nullptr)
        throw std::invalid_argument("no device " + options.Device);

    ProgramBenchReport report;
    report.Drive = drive.Name();
    report.Device = std::string(device->Caption);
    report.Cells = device->DeviceEnd + 1;
    report.Bytes = options.Bytes < 0 ? report.Cells : std::min(options.Bytes, report.Cells);
    report.TracePath = options.TracePath;
    report.Load = options.Load;
    report.RealtimeWanted = options.Realtime;

    SimulatedProgrammer programmer;
    programmer.Width = DataBitsOfClass(device->DeviceClass);
    SimulatedBus bus;
    bus.Attach(SimulatedPortBase, programmer);
    std::unique_ptr<BusTrace> trace;
    if (!options.TracePath.empty()) {
        trace = std::make_unique<BusTrace>();
        if (!trace->WriteTo(options.TracePath))
            throw std::runtime_error("cannot write the trace to " + options.TracePath);
    }

    // From the start-up to the end of the read.
    BusyLoad load(options.Load);
    const auto startupBegan = Clock::now();
    QuennelCore& core = drive.StartUp(bus, trace.get());
    report.StartupMs = MsSince(startupBegan);
    report.ProcessStartupMs = MsSinceProcessStart();
    report.StartUpName = drive.StartUpName();
    core.Realtime.Wanted = options.Realtime;
    SharedState& s = core.State;
    if (s.ProgrammerModel == 0)
        throw std::runtime_error("the simulated programmer was not found");

    drive.ChooseDevice(*device);
    const uint8_t wordMask = static_cast<uint8_t>((1u << programmer.Width) - 1);
    s.DataBuffer.fill(0x00);
    std::fill_n(s.DataBuffer.begin(), report.Bytes, static_cast<uint8_t>(0xFF & wordMask));
    for (int cell = 0; cell < report.Cells; ++cell)
        report.FusesToBlow += std::popcount(static_cast<unsigned>(s.DataBuffer[static_cast<size_t>(cell)]));
    report.ProgramFloorMs =
        report.FusesToBlow * PulseMs + ProgramSetupMs + PauseBeforeVerifyMs + ReadSettleMs;

    programmer.Fuses.fill(0x00);
    programmer.ClearRecords();
    {
        EventProbe probe(drive, options.EventEvery);
        const auto began = Clock::now();
        probe.Measured().Measuring = true;
        drive.Program();
        probe.Measured().Measuring = false;
        report.ProgramMs = MsSince(began);
        report.EventLateMs = SpreadOf(probe.Measured().LateMs);
    }
    report.Realtime = core.Realtime.LastGrant();
    report.Programmed =
        s.StatusFault == 0 && !core.Operations.WasStopped() &&
        std::equal(s.DataBuffer.begin(), s.DataBuffer.begin() + report.Cells, programmer.Fuses.begin());
    std::vector<double> widths;
    for (const ProgrammingPulse& pulse : programmer.Pulses()) {
        widths.push_back(pulse.WidthMs);
        if (pulse.WidthMs > LongPulseMs)
            ++report.LongPulses;
    }
    report.PulseMs = SpreadOf(widths);
    report.Violations = bus.Violations().size();

    if (options.ReadPass) {
        // Always the whole 1k x 8 part: the figure is the cost of 1024 reads.
        const CatalogueRow* readDevice = FindDeviceByCaption(ReadDevice);
        programmer.Width = DataBitsOfClass(readDevice->DeviceClass);
        drive.ChooseDevice(*readDevice);
        report.ReadCells = readDevice->DeviceEnd + 1;
        std::array<uint8_t, SimulatedChipSize> image = programmer.Fuses;
        s.DataBuffer.fill(0x00);
        const auto began = Clock::now();
        drive.MoveDevice();
        report.ReadMs = MsSince(began);
        report.ReadSettleMs = ReadSettleMs;
        report.ReadDone = true;
        report.ReadMatches =
            std::equal(image.begin(), image.begin() + report.ReadCells, s.DataBuffer.begin()) &&
            s.StatusFault == 0 && !core.Operations.WasStopped();
    }

    load.End();
    drive.Finish();
    report.PeakMemoryMB = PeakResidentMB();
    return report;
}

void PrintReport(const ProgramBenchReport& r, std::FILE* out) {
    std::fprintf(out, "Drive %s, device %s: %d cells, %d bytes of 0xFF, %d fuses to blow%s%s\n",
                 r.Drive.c_str(), r.Device.c_str(), r.Cells, r.Bytes, r.FusesToBlow,
                 r.TracePath.empty() ? "" : ", trace to ", r.TracePath.c_str());
    std::fprintf(out, "%s\n", RealtimeWords(r).c_str());
    std::fprintf(out, "Start-up (%s ready, programmer found): %.1f ms; from the process's start %.1f ms\n",
                 r.StartUpName.c_str(), r.StartupMs, r.ProcessStartupMs);
    std::fprintf(out, "Program and verify: %.3f s against a floor of %.3f s, ratio %.4f (goal <= 1.005)%s\n",
                 r.ProgramMs / 1000, r.ProgramFloorMs / 1000, r.ProgramRatio(),
                 r.Programmed ? "" : "  -- DID NOT PROGRAM");
    const Spread& p = r.PulseMs;
    std::fprintf(out,
                 "Pulses on the wire: min %.3f, median %.3f, p99 %.3f, max %.3f, mean %.4f ms, count %zu,"
                 " over %.1f ms %zu (goals: min >= 10.0, median <= 10.05, p99 <= 10.5)\n",
                 p.Min, p.Median, p.P99, p.Max, p.Mean, p.Count, LongPulseMs, r.LongPulses);
    std::fprintf(out, "Violations seen by the simulated programmer: %zu\n", r.Violations);
    if (r.ReadDone)
        std::fprintf(
            out, "Read of %d cells: %.3f ms against its %.0f ms settle: %.3f ms over, %.2f us per cell%s\n",
            r.ReadCells, r.ReadMs, r.ReadSettleMs, r.ReadOverheadMs(),
            r.ReadOverheadMs() * 1000 / r.ReadCells, r.ReadMatches ? "" : "  -- READ DIFFERS");
    const Spread& e = r.EventLateMs;
    std::fprintf(
        out,
        "Events posted while programming: %zu, late by median %.3f, p99 %.3f, max %.3f ms (goal max <= 50)\n",
        e.Count, e.Median, e.P99, e.Max);
    std::fprintf(out, "Peak resident memory: %.1f MB (goal < 60)\n", r.PeakMemoryMB);

    std::fprintf(out, "\n");
    std::fprintf(out, "startup %.1f ms\n", r.ProcessStartupMs);
    std::fprintf(out, "startup_%s %.1f ms\n", r.StartUpName.c_str(), r.StartupMs);
    std::fprintf(out, "program_wall %.3f s\n", r.ProgramMs / 1000);
    std::fprintf(out, "program_floor %.3f s\n", r.ProgramFloorMs / 1000);
    std::fprintf(out, "program_ratio %.4f ratio\n", r.ProgramRatio());
    std::fprintf(out, "programmed %d bool\n", r.Programmed ? 1 : 0);
    std::fprintf(out, "violations %zu count\n", r.Violations);
    std::fprintf(out, "pulse_min %.3f ms\n", p.Min);
    std::fprintf(out, "pulse_median %.3f ms\n", p.Median);
    std::fprintf(out, "pulse_p99 %.3f ms\n", p.P99);
    std::fprintf(out, "pulse_max %.3f ms\n", p.Max);
    std::fprintf(out, "pulse_mean %.4f ms\n", p.Mean);
    std::fprintf(out, "pulse_count %zu count\n", p.Count);
    std::fprintf(out, "pulse_long %zu count\n", r.LongPulses);
    if (r.ReadDone) {
        std::fprintf(out, "read_wall %.3f ms\n", r.ReadMs);
        std::fprintf(out, "read_overhead %.3f ms\n", r.ReadOverheadMs());
        std::fprintf(out, "read_per_cell %.2f us\n", r.ReadOverheadMs() * 1000 / r.ReadCells);
    }
    std::fprintf(out, "event_late_median %.3f ms\n", e.Median);
    std::fprintf(out, "event_late_max %.3f ms\n", e.Max);
    std::fprintf(out, "peak_memory %.1f MB\n", r.PeakMemoryMB);
    std::fprintf(out, "realtime_granted %d bool\n", r.Realtime.PriorityRaised ? 1 : 0);
    std::fprintf(out, "cpu_latency_held %d bool\n", r.Realtime.LatencyHeld ? 1 : 0);
    std::fprintf(out, "load %d count\n", r.Load);
}

} // namespace quennel::bench
