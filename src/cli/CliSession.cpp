#include "cli/CliSession.h"

#include "buffer/BufferFiles.h"
#include "buffer/FileType.h"
#include "buffer/IntegerText.h"
#include "cli/CliConsole.h"
#include "cli/DumpMatch.h"
#include "cli/FileTypeChoice.h"
#include "cli/IdentifyCommand.h"
#include "cli/ImageDigest.h"
#include "cli/OnePortBackEnd.h"
#include "cli/PortChoice.h"
#include "cli/StopSignals.h"
#include "device/LatchValues.h"
#include "device/Quennel.h"
#include "link/ParportLookup.h"
#include "link/PortAccess.h"
#include "link/PpdevPort.h"
#include "sim/SimulatedBus.h"
#include "sim/SimulatedChipFile.h"
#include "sim/SimulatedFaults.h"
#include "sim/SimulatedProgrammer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

namespace quennel::cli {

namespace {

constexpr uint16_t SimulatedPortBase = 0x378;
// Without a device a file loads into the whole buffer, as after a list row that is no device.
constexpr int32_t WholeBufferEnd = 0x3FF;
constexpr int32_t RecordBytes = 16;

// identify reads the part when it is given no file.
bool IsDeviceCommand(const CliOptions& options) {
    const std::string& command = options.Command;
    return command == "read" || command == "blank" || command == "verify" || command == "compare" ||
           command == "program" || (command == "identify" && options.File.empty());
}

bool ReadsFile(const CliOptions& options) {
    const std::string& command = options.Command;
    return command == "verify" || command == "compare" || command == "program" || command == "checksum" ||
           command == "convert" || (command == "identify" && !options.File.empty());
}

std::string AddressText(int64_t address) {
    return HexDigits(static_cast<uint32_t>(address), 4);
}

class Session {
public:
    Session(const CliOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal,
            LinuxSystem& system)
        : O(options), Err(err), System(system), ShowProgress(errIsTerminal && !options.Quiet),
          Console(out, err, ShowProgress) {}

    int Run();

private:
    int Fail(const std::string& complaint) {
        Console.EndProgress();
        Err << "quennel-cli: " << complaint << '\n' << std::flush;
        return ExitBadUsage;
    }

    void ListDevices();
    bool ResolveDevice();
    bool ResolveOutputType();
    bool ResolvePort();
    bool ResolveLibrary();
    std::optional<std::string> PortAccessLine() const;
    bool LoadInput();
    bool CoverInput(const FileOutcome& outcome);
    bool OpenTrace();
    void BuildBackEnd();
    bool SaveImage(const std::string& path, int32_t fileType);
    void PrintFingerprints();
    int Identify(const std::string& library);
    int RunFileCommand();
    int RunDeviceCommand();
    int RunOperation(const StopSignals& signals);
    bool PortRefused(bool searching);
    int CloseTrace(int status);

    const CliOptions& O;
    std::ostream& Err;
    LinuxSystem& System;
    const bool ShowProgress;
    CliConsole Console;

    const CatalogueRow* Device = nullptr;
    int32_t OutputType = 0;
    std::optional<uint16_t> OnlyPort;
    bool Simulated = false;

    // The input file as loaded, before any core exists, and the last
    // address it covers when no device says how much counts.
    DataImage Input{};
    int32_t InputType = BinaryFileType;
    int32_t InputEnd = WholeBufferEnd;

    SimulatedProgrammer Programmer;
    SimulatedBus SimBus;
    SimulatedChipFile ChipFile;
    std::unique_ptr<PortBackEnd> Hardware;
    std::unique_ptr<OnePortBackEnd> Filter;
    PortBackEnd* BackEnd = nullptr;
    std::unique_ptr<BusTrace> Trace;
    std::unique_ptr<QuennelCore> Core;
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
        if (row.IsDevice) {
            if (!known.empty())
                known += ' ';
            known += row.Caption;
        }
    Fail("unknown device '" + O.Device + "'; the devices are: " + known);
    return false;
}

bool Session::ResolveOutputType() {
    if (!O.Type.empty() && !FileTypeFromName(O.Type)) {
        Fail("unknown file type '" + O.Type + "'; use bin, intel, motorola or ascii");
        return false;
    }
    const std::string output = O.Command == "convert" ? O.Output : O.Command == "read" ? O.File : "";
    if (output.empty())
        return true;
    std::optional<int32_t> type = O.Type.empty() ? FileTypeFromExtension(output) : FileTypeFromName(O.Type);
    if (!type) {
        Fail(output + ": cannot tell the format to write from the name; end it in .bin, .hex, .s19 or .txt, "
                      "or name the format with -t bin|intel|motorola|ascii");
        return false;
    }
    OutputType = *type;
    return true;
}

bool Session::ResolvePort() {
    std::string error;
    const std::optional<PortChoice> choice = ChoosePort(System, O.Port, error);
    if (!choice) {
        Fail(error);
        return false;
    }
    Simulated = choice->Simulated;
    OnlyPort = choice->Base;
    if (!Simulated && (!O.SimChip.empty() || O.SimModel != "2")) {
        Fail("--sim-chip and --sim-model need --port sim");
        return false;
    }
    if (!Simulated && !O.SimFaults.empty()) {
        Fail("--sim-fault needs --port sim");
        return false;
    }
    return true;
}

bool Session::ResolveLibrary() {
    if (!O.Library.empty() && O.Command != "identify") {
        Fail("--library goes with identify; read takes --identify FOLDER");
        return false;
    }
    if (!O.Identify.empty() && O.Command != "read") {
        Fail(O.Command == "identify" ? "identify takes its folder with --library FOLDER"
                                     : "--identify goes with read");
        return false;
    }
    if (O.Command == "identify" && O.Library.empty()) {
        Fail("'identify' needs the folder of dumps: --library FOLDER");
        return false;
    }
    // Found missing before a part is read, not after.
    const std::string& library = O.Command == "identify" ? O.Library : O.Identify;
    std::error_code error;
    if (!library.empty() && !std::filesystem::exists(library, error)) {
        Fail("library " + library + ": " + (error ? error.message() : "No such file or directory"));
        return false;
    }
    return true;
}

// The input is read once, whole (a pipe or a FIFO gives its contents only
// once), its format told from that, and loaded from it.
bool Session::LoadInput() {
    // convert names the type of what it writes; the others of the one file they take.
    const bool typeNamesInput = !O.Type.empty() && O.Command != "convert";
    LoadRequest request;
    request.DeviceEnd = Device ? Device->DeviceEnd : WholeBufferEnd;
    request.Sources = FileSources::Streams;
    if (typeNamesInput)
        request.FileType = *FileTypeFromName(O.Type);
    else
        request.TellType = [this](std::string_view bytes, std::string& reason) {
            return RecogniseFileType(O.File, bytes, reason);
        };
    if (O.IgnoreChecksums)
        request.Ask = [](const std::string&) { return true; };
    request.BeforeLoading = [this](int32_t fileType) {
        InputType = fileType;
        const std::string_view before = StatusBeforeLoad(fileType);
        if (!before.empty())
            Console.ShowStatus(std::string(before));
    };
    FileOutcome outcome;
    try {
        outcome = LoadBufferFile(Input, O.File, request);
    } catch (const EConvertError& conversion) {
        Fail(O.File + " (read as " + std::string(FileTypeName(InputType)) + ") line " +
             std::to_string(conversion.Line) + ": " + conversion.what());
        return false;
    }
    if (outcome.Problem == FileProblem::CannotRead || outcome.Problem == FileProblem::UnknownFormat) {
        Fail(outcome.Problem == FileProblem::CannotRead ? O.File + ": " + outcome.Detail : outcome.Detail);
        return false;
    }
    InputType = outcome.FileType;
    if (!outcome.Status.empty())
        Console.ShowStatus(std::string(outcome.Status));
    if (outcome.Fault) {
        // A detail with a line begins with it: "line 12: ...".
        const std::string named = O.File + " (read as " + std::string(FileTypeName(InputType)) + ")";
        std::string complaint = named + (outcome.Line > 0 ? " " : ": ") + outcome.Detail;
        if (outcome.Problem == FileProblem::ChecksumRefused)
            complaint += "; nothing was loaded (--ignore-checksums loads such a file anyway)";
        Fail(complaint);
        return false;
    }
    return CoverInput(outcome);
}

// What counts of the input: with a device, the device, which must hold all of
// it before a part is touched; without one, what the file holds (a binary
// file's length, a text file's highest address rounded up to whole records).
bool Session::CoverInput(const FileOutcome& outcome) {
    const int64_t last = outcome.LastAddress;
    if (Device) {
        if ((IsDeviceCommand(O) || O.Command == "identify") && last > Device->DeviceEnd) {
            Fail(O.File + " holds data up to address " + AddressText(last) +
                 ", past the last address of the " + std::string(Device->Caption) + " (" +
                 AddressText(Device->DeviceEnd) + ")");
            return false;
        }
        return true;
    }
    if (last > WholeBufferEnd) {
        Fail(O.File + " holds data up to address " + AddressText(last) + ", more than the buffer's " +
             std::to_string(BufferSize) + " bytes");
        return false;
    }
    if (InputType == BinaryFileType)
        InputEnd = static_cast<int32_t>(last);
    else
        InputEnd = static_cast<int32_t>((last / RecordBytes + 1) * RecordBytes - 1);
    return true;
}

bool Session::OpenTrace() {
    if (O.Trace.empty())
        return true;
    Trace = std::make_unique<BusTrace>();
    if (!Trace->WriteTo(O.Trace)) {
        Fail("trace " + O.Trace + ": " + Trace->WriteProblem());
        return false;
    }
    return true;
}

void Session::BuildBackEnd() {
    if (!IsDeviceCommand(O) && O.Command != "detect") {
        BackEnd = &SimBus; // nothing attached: the file commands never reach a port
    } else if (Simulated) {
        Programmer.Model = O.SimModel == "1" ? 1 : 2;
        for (const std::string& named : O.SimFaults) {
            SimulatedFaultChoice fault;
            std::string error;
            if (ParseSimulatedFault(named, fault, error)) // checked when the options were read
                fault.ApplyTo(Programmer);
        }
        SimBus.Attach(SimulatedPortBase, Programmer);
        BackEnd = &SimBus;
    } else {
        Hardware = std::make_unique<PpdevPort>(System);
        BackEnd = Hardware.get();
        if (OnlyPort) {
            Filter = std::make_unique<OnePortBackEnd>(*Hardware, *OnlyPort);
            BackEnd = Filter.get();
        }
    }
}

bool Session::SaveImage(const std::string& path, int32_t fileType) {
    SharedState& s = Core->State;
    const std::string_view before = StatusBeforeSave(fileType);
    if (!before.empty())
        Console.ShowStatus(std::string(before));
    const FileOutcome outcome = SaveBufferFile(s.DataBuffer, s.DeviceEnd, fileType, path);
    if (outcome.Fault) {
        Fail(path + ": " + outcome.Detail);
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
    if (!ResolveDevice() || !ResolvePort() || !ResolveOutputType() || !ResolveLibrary())
        return ExitBadUsage;
    if (IsDeviceCommand(O) && !Device)
        return Fail("'" + O.Command + "' needs the device: -d NAME ('quennel-cli devices' lists them)" +
                    (O.Command == "identify" ? ", or a FILE to identify" : ""));
    // Nothing is claimed, locked or written before the input has loaded.
    if (ReadsFile(O) && !LoadInput())
        return ExitBadUsage;
    if (!IsDeviceCommand(O) && O.Command != "detect")
        return RunFileCommand();
    const int status = RunDeviceCommand();
    // The search comes once the port, the chip and the stop signals are given
    // back: nothing is left to tidy, and Ctrl-C ends it as any program.
    const std::string& library = O.Command == "identify" ? O.Library : O.Identify;
    if (status != ExitOk || library.empty())
        return status;
    return Identify(library);
}

// The file commands reach no port; a trace asked for is still made (empty).
int Session::RunFileCommand() {
    BuildBackEnd();
    if (!OpenTrace())
        return ExitBadUsage;
    Core = std::make_unique<QuennelCore>(*BackEnd, Console, Trace.get());
    SharedState& s = Core->State;
    if (Device)
        Core->SelectDevice(*Device);
    else
        s.DeviceEnd = InputEnd;
    s.DataBuffer = Input;
    if (O.Command == "checksum") {
        Core->Frame.UpdateChecksum();
        PrintFingerprints();
        return CloseTrace(ExitOk);
    }
    if (O.Command == "identify") {
        // A 4-bit part has bits 0-3 only: the rest of what the file holds is no part of it.
        if (IsFourBitClass(s.DeviceClass))
            for (int32_t address = 0; address <= ClampDeviceEnd(s.DeviceEnd); ++address)
                s.DataBuffer[static_cast<size_t>(address)] &= FourBitCells;
        PrintFingerprints();
        return CloseTrace(Identify(O.Library));
    }
    return CloseTrace(SaveImage(O.Output, OutputType) ? ExitOk : ExitBadUsage);
}

// From here on a stop signal ends the run tidily: the signals are taken
// before the chip is locked and given back only after it is saved.
// On real hardware, why no port can be used at all, said before the search
// could only report that nothing answered.
std::optional<std::string> Session::PortAccessLine() const {
    if (Simulated)
        return std::nullopt;
    if (OnlyPort) {
        const uint16_t only[] = {*OnlyPort};
        return FindPortAccessProblem(System, only);
    }
    return FindPortAccessProblem(System, SearchOrder(ListParportBases(System)));
}

int Session::RunDeviceCommand() {
    if (std::optional<std::string> problem = PortAccessLine()) {
        Err << "quennel-cli: " << *problem << '\n' << std::flush;
        return ExitDeviceFailed;
    }
    StopSignals signals(Console.Queue, [this] {
        if (Core)
            Core->StopOperation();
    });
    BuildBackEnd();
    if (!OpenTrace())
        return ExitBadUsage;
    if (Simulated && !O.SimChip.empty()) {
        std::string error;
        if (!ChipFile.Open(O.SimChip, Programmer.Fuses, error))
            return CloseTrace(Fail(error));
    }
    Core = std::make_unique<QuennelCore>(*BackEnd, Console, Trace.get());
    Core->Realtime.OnRefused = [this](const std::string& line) {
        Err << "quennel-cli: " << line << '\n' << std::flush;
    };
    Console.Follow(Core->State);
    if (Device) {
        Core->SelectDevice(*Device);
        Programmer.Width = DataBitsOfClass(Device->DeviceClass);
    }
    Core->State.DataBuffer = Input;

    int status = RunOperation(signals);
    Console.ProcessMessages(); // a stop posted after the operation's last pump
    Core->ReleasePort();
    Console.EndProgress();
    if (ChipFile.IsOpen()) {
        std::string error;
        if (!ChipFile.Save(Programmer.Fuses, error)) {
            Fail(error);
            status = status == ExitOk ? ExitBadUsage : status;
        }
        ChipFile.Release();
    }
    if (signals.Raised())
        return CloseTrace(ExitForSignal(signals.Raised()));
    // The device was read whole: its image is written once the port is free.
    if (status == ExitOk && O.Command == "read") {
        if (!SaveImage(O.File, OutputType))
            return CloseTrace(ExitBadUsage);
        PrintFingerprints();
    }
    if (status == ExitOk && O.Command == "identify")
        PrintFingerprints();
    return CloseTrace(status);
}

int Session::RunOperation(const StopSignals& signals) {
    SharedState& s = Core->State;
    DeviceOperations& operations = Core->Operations;
    // A run stopped by a signal ends with the signal's status, whatever is returned here.
    auto stopped = [&] { return signals.Raised() != 0; };
    if (stopped())
        return ExitOk;
    Console.Mute(O.Command != "detect");
    Core->Detection.FindProgrammer();
    Console.Mute(false);
    Console.ProcessMessages();
    if (stopped())
        return ExitOk;
    if (PortRefused(true))
        return ExitPortFailed;
    Console.Print(ProgrammerCaption(s));
    if (s.ProgrammerModel == 0)
        return ExitDeviceFailed;
    if (O.Command == "detect")
        return ExitOk;

    Console.Print("Device " + std::string(Device->Caption) + ", " + std::string(Device->Organisation) +
                  ": seat it in the " + std::string(SeatingText(*Device)));
    if (O.Command == "program" && !O.NoCompare) {
        // Fuses cannot be taken back: a part that cannot take the image gets no pulse at all.
        operations.CompareClick();
        Console.ProcessMessages();
        if (stopped())
            return ExitOk;
        if (PortRefused(false))
            return ExitPortFailed;
        if (s.StatusFault != 0)
            return ExitDeviceFailed;
    }
    if (O.Command == "blank")
        operations.Blank_ChkClick();
    else if (O.Command == "verify")
        operations.Verify_EpromClick();
    else if (O.Command == "compare")
        operations.CompareClick();
    else if (O.Command == "program")
        operations.Program_EpromClick();
    else if (O.Command == "read" || O.Command == "identify")
        operations.Move_EpromClick();
    Console.ProcessMessages();
    if (stopped())
        return ExitOk;
    if (PortRefused(false))
        return ExitPortFailed;
    return s.StatusFault != 0 && O.Command != "read" && O.Command != "identify" ? ExitDeviceFailed : ExitOk;
}

// The device's part of the buffer, against the dumps in library.
int Session::Identify(const std::string& library) {
    const SharedState& s = Core->State;
    const bool fourBit = IsFourBitClass(s.DeviceClass);
    std::span<const uint8_t> image(s.DataBuffer.data(), static_cast<size_t>(ClampDeviceEnd(s.DeviceEnd)) + 1);
    return IdentifyImage(image, fourBit ? FourBitCells : EightBitCells, library, Console, Err, ShowProgress);
}

// A register access the port's driver refused ends the run: said on
// standard error, with what it left the programmer in.
bool Session::PortRefused(bool searching) {
    const std::string& fault = searching ? Core->Detection.Refusal() : Core->State.PortFault;
    if (fault.empty() || (searching && Core->State.ProgrammerModel > 0))
        return false;
    Console.EndProgress();
    Err << "quennel-cli: "
        << (searching ? fault + "; the search ended there"
                      : PortFaultLine(fault, Core->Latches.IdleAfterRefusal()))
        << '\n'
        << std::flush;
    return true;
}

int Session::CloseTrace(int status) {
    if (!Trace)
        return status;
    const std::string problem = Trace->CloseFile();
    if (problem.empty())
        return status;
    Fail("trace " + O.Trace + " is incomplete: " + problem);
    return status == ExitOk ? ExitBadUsage : status;
}

} // namespace

int RunCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool errIsTerminal,
               LinuxSystem& system) {
    Session session(options, out, err, errIsTerminal, system);
    return session.Run();
}

} // namespace quennel::cli
