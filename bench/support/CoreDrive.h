#pragma once
// A bare core over a console without a window: the steps call the core's
// own routines on the calling thread, which is the console's message thread.

#include "BenchDrive.h"

#include <memory>

namespace quennel::bench {

class CoreDrive : public BenchDrive {
public:
    // The console the core is built with. A drive that owns it calls
    // EndCore in its destructor, so that the core never outlives it.
    virtual OperatorConsole& Console() = 0;

    std::string StartUpName() const override { return "core"; }
    QuennelCore& StartUp(PortBackEnd& bus, BusTrace* trace) override {
        Core = std::make_unique<QuennelCore>(bus, Console(), trace);
        Core->Detection.FindProgrammer();
        return *Core;
    }
    void ChooseDevice(const CatalogueRow& row) override { Core->SelectDevice(row); }
    void Program() override { Core->Operations.Program_EpromClick(); }
    void MoveDevice() override { Core->Operations.Move_EpromClick(); }
    void Finish() override { Core->ReleasePort(); }

protected:
    void EndCore() { Core.reset(); }

private:
    std::unique_ptr<QuennelCore> Core;
};

} // namespace quennel::bench
