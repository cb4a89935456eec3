#pragma once
// What a benchmark drives the core through: the front end that builds it and
// runs the operator's commands, and the message loop behind it. The core's
// own benchmark drives a bare core over a screenless console (CoreDrive.h);
// the window's benchmark drives the window, its own core and Qt's loop.

#include "device/Catalogue.h"
#include "device/Quennel.h"
#include "link/BusTrace.h"
#include "link/PortBackEnd.h"

#include <functional>
#include <string>

namespace quennel::bench {

class BenchDrive {
public:
    virtual ~BenchDrive() = default;

    // Named in the report: "queue", "cli", "window", ...
    virtual std::string Name() const = 0;
    // Queues call for the message thread; returns at once, from any thread.
    virtual void Post(std::function<void()> call) = 0;

    // The operator's steps, each called on the message thread and returning
    // when the front end has finished with it.
    //
    // Builds the front end and its core over bus (trace, when given, sees
    // every access) and brings it to where it takes commands with the
    // programmer found; the core lives as long as the drive.
    virtual QuennelCore& StartUp(PortBackEnd& bus, BusTrace* trace) = 0;
    // What StartUp's time covers, for the report: "core" or "window".
    virtual std::string StartUpName() const = 0;
    virtual void ChooseDevice(const CatalogueRow& row) = 0;
    // Programs the part from the buffer and verifies it.
    virtual void Program() = 0;
    // Reads the part into the buffer.
    virtual void MoveDevice() = 0;
    // Leaves the programmer idle and gives the port back.
    virtual void Finish() = 0;
};

} // namespace quennel::bench
