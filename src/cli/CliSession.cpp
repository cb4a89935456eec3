#include "cli/CliSession.h"

#include "buffer/BufferFiles.h"
#include "buffer/IntegerText.h"
#include "cli/CliConsole.h"
#include "cli/FileTypeChoice.h"
#include "cli/ImageDigest.h"
#include "cli/InterruptWatcher.h"
#include "cli/OnePortBackEnd.h"
#include "device/Quennel.h"
#include "link/PortAccess.h"
#include "link/PpdevPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedProgrammer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <span>
#include <unistd.h>

namespace quennel::cli {

namespace {

constexpr uint16_t SimulatedPortBase = 0x378;
// Without a device the whole buffer counts, as after a list row that is no device.
constexpr int32_t WholeBufferEnd = 0x3FF;

bool IsDeviceCommand(const std::string& command) {
    return command == "read" || command == "blank" || command == "verify" || command == "compare" ||
           command == "program";
}

bool ReadsFile(const std::string& command) {
    return command == "verify" || command == "compare" || command == "program" || command == "checksum" ||
           command == "convert";
}

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Why a file could not be written where it was asked for.
std::string WriteFailureReason(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    if (::access(folder.c_str(), W_OK) != 0)
        return folder.string() + ": " + std::strerror(errno);
    if (std::filesystem::is_directory(path))
        return "it is a folder";
    return "the file could not be written";
}

class Session {
public:
    Session(const CliOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal)
        : O(options), Err(err), Console(out, err, errIsTerminal && !options.Quiet) {}

    int Run();

private:
    int Fail(const std::string& complaint) {
        Console.EndProgress();
        Err << "quennel-cli: " << complaint << '\n' << std::flush;
        return ExitBadUsage;
    }

    void ListDevices();
    bool ResolveDevice();
    bool ResolveFileTypes();
    bool ResolvePort();
    std::optional<std::string> PortAccessLine() const;
    bool BuildBackEnd();
    bool LoadInput();
    bool SaveImage(const std::string& path, int32_t fileType);
    void PrintFingerprints();
    int RunOnCore();
    int RunDeviceCommand();
    int Finish(int status);

    const CliOptions& O;
    std::ostream& Err;
    CliConsole Console;

    const CatalogueRow* Device = nullptr;
    int32_t InputType = 0;
    int32_t OutputType = 0;
    std::optional<uint16_t> OnlyPort;
    bool Simulated = false;
    bool ChipLoaded = false; // only a chip that was loaded is saved back

    SimulatedProgrammer Programmer;
    SimulatedBus SimBus;
    std::unique_ptr<PortBackEnd> Hardware;
    std::unique_ptr<OnePortBackEnd> Filter;
    PortBackEnd* BackEnd = nullptr;
    std::unique_ptr<BusTrace> Trace;
    std::unique_ptr<QuennelCore> Core;
    bool Interrupted = false;
};

void Session::ListDevices() {
    char line[128];
    std::snprintf(line, sizeof line, "%-8s %-13s %-6s%s", "Device", "Organisation", "Class", "Seating");
    Console.Print(line);
    for (const CatalogueRow& row : Catalogue()) {
        if (!row.IsDevice)
            continue;
        std::snprintf(line, sizeof line, "%-8s %-13s %-6d%s", std::string(row.Caption).c_str(),
                      std::string(row.Organisation).c_str(), row.DeviceClass,
                      std::string(SeatingText(row)).c_str());
        Console.Print(line);
    }
}

bool Session::ResolveDevice() {
    if (O.Device.empty())
        return true;
    Device = FindDeviceByCaption(O.Device);
    if (Device)
        return true;
    std::string known;
    for (const CatalogueRow& row : Catalogue())
        if (row.IsDevice)
            known += (known.empty() ? "" : " ") + std::string(row.Caption);
    Fail("unknown device '" + O.Device + "'; the devices are: " + known);
    return false;
}

bool Session::ResolveFileTypes() {
    std::optional<int32_t> named;
    if (!O.Type.empty() && !(named = FileTypeFromName(O.Type))) {
        Fail("unknown file type '" + O.Type + "'; use bin, intel, motorola or ascii");
        return false;
    }
    // convert names the type of what it writes; the others of the one file they take.
    const bool typeIsOutput = O.Command == "convert" || O.Command == "read";
    if (ReadsFile(O.Command)) {
        std::string error;
        std::optional<int32_t> type = !typeIsOutput && named ? named : RecogniseFileType(O.File, error);
        if (!type) {
            Fail(error);
            return false;
        }
        InputType = *type;
    }
    const std::string output = O.Command == "convert" ? O.Output : O.Command == "read" ? O.File : "";
    if (!output.empty()) {
        std::optional<int32_t> type = named ? named : FileTypeFromExtension(output);
        if (!type) {
            Fail(output +
                 ": cannot tell the format to write from the name; end it in .bin, .hex, .s19 or .txt, "
                 "or name the format with -t bin|intel|motorola|ascii");
            return false;
        }
        OutputType = *type;
    }
    return true;
}

bool Session::ResolvePort() {
    const std::string port = Lower(O.Port);
    Simulated = port == "sim";
    if (!Simulated && (!O.SimChip.empty() || O.SimModel != 2)) {
        Fail("--sim-chip and --sim-model need --port sim");
        return false;
    }
    if (port.empty() || Simulated)
        return true;
    for (uint16_t candidate : CandidatePorts) {
        if (port == "0x" + Lower(HexDigits(candidate, 3))) {
            OnlyPort = candidate;
            return true;
        }
    }
    Fail("unknown port '" + O.Port + "'; use 0x278, 0x378, 0x3BC or sim");
    return false;
}

// On real hardware, why no port can be used at all, said before the search
// could only report that nothing answered.
std::optional<std::string> Session::PortAccessLine() const {
    if (Simulated || (!IsDeviceCommand(O.Command) && O.Command != "detect"))
        return std::nullopt;
    if (OnlyPort) {
        const uint16_t only[] = {*OnlyPort};
        return FindPortAccessProblem(HostSystem(), only);
    }
    return FindPortAccessProblem(HostSystem(), CandidatePorts);
}

bool Session::BuildBackEnd() {
    if (!IsDeviceCommand(O.Command) && O.Command != "detect") {
        BackEnd = &SimBus; // nothing attached: the file commands never reach a port
    } else if (Simulated) {
        Programmer.Model = O.SimModel;
        std::string error;
        if (!O.SimChip.empty() && !Programmer.LoadChip(O.SimChip, &error)) {
            Fail("simulated chip " + O.SimChip + ": " + error);
            return false;
        }
        ChipLoaded = !O.SimChip.empty();
        SimBus.Attach(SimulatedPortBase, Programmer);
        BackEnd = &SimBus;
    } else {
        Hardware = MakeHardwareBackEnd();
        BackEnd = Hardware.get();
        if (OnlyPort) {
            Filter = std::make_unique<OnePortBackEnd>(*Hardware, *OnlyPort);
            BackEnd = Filter.get();
        }
    }
    if (!O.Trace.empty()) {
        Trace = std::make_unique<BusTrace>();
        if (!Trace->WriteTo(O.Trace)) {
            Fail("trace " + O.Trace + ": " + WriteFailureReason(O.Trace));
            return false;
        }
    }
    return true;
}

bool Session::LoadInput() {
    SharedState& s = Core->State;
    std::string_view before = StatusBeforeLoad(InputType);
    if (!before.empty())
        Console.ShowStatus(std::string(before));
    try {
        FileOutcome outcome = LoadBufferFile(s.DataBuffer, s.DeviceEnd, InputType, O.File);
        if (outcome.Fault) {
            Fail(O.File + ": " +
                 (std::filesystem::is_directory(O.File) ? "it is a folder" : "could not be read"));
            return false;
        }
        if (!outcome.Status.empty())
            Console.ShowStatus(std::string(outcome.Status));
    } catch (const EConvertError& error) {
        Fail(O.File + " (read as " + std::string(FileTypeName(InputType)) + "): " + error.what());
        return false;
    }
    return true;
}

bool Session::SaveImage(const std::string& path, int32_t fileType) {
    SharedState& s = Core->State;
    std::string_view before = StatusBeforeSave(fileType);
    if (!before.empty())
        Console.ShowStatus(std::string(before));
    FileOutcome outcome = SaveBufferFile(s.DataBuffer, s.DeviceEnd, fileType, path);
    if (outcome.Fault) {
        Fail(path + ": " + WriteFailureReason(path) + "; nothing was written");
        return false;
    }
    if (!outcome.Status.empty())
        Console.ShowStatus(std::string(outcome.Status));
    return true;
}

// CRC32 and SHA-1 of the device's part of the buffer, as dumps are catalogued.
void Session::PrintFingerprints() {
    const SharedState& s = Core->State;
    std::span<const uint8_t> image(s.DataBuffer.data(), static_cast<size_t>(ClampDeviceEnd(s.DeviceEnd)) + 1);
    Console.Print("CRC32=" + Crc32Text(image));
    Console.Print("SHA-1=" + Sha1Text(image));
}

int Session::Run() {
    if (O.Command == "devices") {
        ListDevices();
        return ExitOk;
    }
    if (!ResolveDevice() || !ResolvePort() || !ResolveFileTypes())
        return ExitBadUsage;
    if (IsDeviceCommand(O.Command) && !Device)
        return Fail("'" + O.Command + "' needs the device: -d NAME ('quennel-cli devices' lists them)");
    if (std::optional<std::string> problem = PortAccessLine()) {
        Err << "quennel-cli: " << *problem << '\n' << std::flush;
        return ExitDeviceFailed;
    }
    if (!BuildBackEnd())
        return ExitBadUsage;
    Core = std::make_unique<QuennelCore>(*BackEnd, Console, Trace.get());
    Console.Follow(Core->State);
    return Finish(RunOnCore());
}

int Session::RunOnCore() {
    SharedState& s = Core->State;
    if (Device) {
        Core->SelectDevice(*Device);
        Programmer.Width = DataBitsOfClass(Device->DeviceClass);
    } else {
        s.DeviceEnd = WholeBufferEnd;
    }
    if (ReadsFile(O.Command) && !LoadInput())
        return ExitBadUsage;
    if (O.Command == "checksum") {
        Core->Frame.UpdateChecksum();
        PrintFingerprints();
        return ExitOk;
    }
    if (O.Command == "convert")
        return SaveImage(O.Output, OutputType) ? ExitOk : ExitBadUsage;

    int status = ExitOk;
    {
        InterruptWatcher watcher(Console.Queue, [this] {
            Interrupted = true;
            Core->StopOperation();
        });
        status = RunDeviceCommand();
    }
    Console.ProcessMessages(); // a Ctrl-C posted after the command's last pump
    Core->ReleasePort();
    return Interrupted ? ExitInterrupted : status;
}

int Session::RunDeviceCommand() {
    SharedState& s = Core->State;
    Console.Mute(O.Command != "detect");
    Core->Detection.FindProgrammer();
    Console.Mute(false);
    Console.ProcessMessages();
    if (Interrupted)
        return ExitInterrupted;
    Console.Print(ProgrammerCaption(s));
    if (s.ProgrammerModel == 0)
        return ExitDeviceFailed;
    if (O.Command == "detect")
        return ExitOk;

    Console.Print("Device " + std::string(Device->Caption) + ", " + std::string(Device->Organisation) +
                  ": seat it in the " + std::string(SeatingText(*Device)));
    DeviceOperations& operations = Core->Operations;
    if (O.Command == "blank")
        operations.Blank_ChkClick();
    else if (O.Command == "verify")
        operations.Verify_EpromClick();
    else if (O.Command == "compare")
        operations.CompareClick();
    else if (O.Command == "program")
        operations.Program_EpromClick();
    else if (O.Command == "read")
        operations.Move_EpromClick();
    Console.ProcessMessages();
    if (Interrupted || operations.WasStopped())
        return ExitInterrupted;
    if (O.Command == "read") {
        if (!SaveImage(O.File, OutputType))
            return ExitBadUsage;
        PrintFingerprints();
        return ExitOk;
    }
    return s.StatusFault != 0 ? ExitDeviceFailed : ExitOk;
}

// The simulated chip is kept whatever became of the command.
int Session::Finish(int status) {
    Console.EndProgress();
    if (ChipLoaded) {
        std::string error;
        if (!Programmer.SaveChip(O.SimChip, &error)) {
            Fail("simulated chip " + O.SimChip + " not saved: " + error);
            if (status == ExitOk)
                status = ExitBadUsage;
        }
    }
    return status;
}

} // namespace

int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
    Session session(options, out, err, errIsTerminal);
    return session.Run();
}

} // namespace quennel::cli
