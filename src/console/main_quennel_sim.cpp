// quennel-sim: the window over a simulated programmer on the printer port at
// 0x378 (or the base asked for), with a simulated fuse PROM kept in a file
// between runs.

#include "console/MainForm.h"
#include "console/QtDialogs.h"
#include "console/ShutdownSignals.h"
#include "console/logic/SimOptions.h"
#include "device/Catalogue.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChipFile.h"
#include "sim/SimulatedProgrammer.h"

#include <QApplication>
#include <iostream>
#include <memory>

int main(int argc, char** argv) {
    using namespace quennel;
    SimOptions options;
    std::string error;
    if (!ParseSimOptions({argv + 1, argv + argc}, options, error)) {
        std::cerr << "quennel-sim: " << error << '\n';
        return 2;
    }
    if (options.Help) {
        std::cout << SimUsage();
        return 0;
    }
    if (options.Version) {
        std::cout << "quennel-sim " << QUENNEL_VERSION << '\n';
        return 0;
    }

    SimulatedProgrammer programmer;
    programmer.Model = options.Model;
    for (const SimulatedFaultChoice& fault : options.Faults)
        fault.ApplyTo(programmer);
    // The chip file stays locked for the whole run: a second program on the
    // same chip is turned away before either blows a fuse.
    SimulatedChipFile chip;
    if (!chip.Open(options.ChipFile, programmer.Fuses, error)) {
        std::cerr << "quennel-sim: " << error << '\n';
        return 2;
    }
    // The port is one the system lists, as the kernel lists a card's; the
    // search finds one at another base after the standard three.
    SimulatedBus bus;
    bus.Listed = {options.Base};
    if (!options.Absent)
        bus.Attach(options.Base, programmer);
    std::unique_ptr<BusTrace> trace;
    if (!options.TraceFile.empty()) {
        trace = std::make_unique<BusTrace>();
        if (!trace->WriteTo(options.TraceFile)) {
            std::cerr << "quennel-sim: the trace file " << options.TraceFile << " cannot be written\n";
            return 2;
        }
    }

    QApplication application(argc, argv);
    QApplication::setStyle("Fusion");
    QtDialogs dialogs;
    int status = 0;
    {
        TMainForm form(bus, dialogs, trace.get());
        // The operator seats what the prompt asks for: a part of the chosen width.
        form.OnDeviceSeated = [&programmer](int32_t deviceClass) {
            programmer.Width = DataBitsOfClass(deviceClass);
        };
        CloseOnShutdownSignals(form);
        form.show();
        status = QApplication::exec();
    }

    if (!chip.Save(programmer.Fuses, error)) {
        std::cerr << "quennel-sim: " << error << '\n';
        status = 2;
    }
    chip.Release();
    // What a real part would have suffered.
    for (const SimulatedViolation& violation : bus.Violations())
        std::cerr << "quennel-sim: violation: " << violation.Detail << '\n';
    return status;
}
