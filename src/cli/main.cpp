// quennel-cli: the device operations, the buffer files and the programmer
// search from the command line, over the same core as the window.

#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "sim/SimulatedFaults.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <unistd.h>

namespace {

using quennel::cli::CliOptions;

// An option given with an empty value names nothing: it is refused rather
// than taken as if it had not been given.
CLI::Validator NotEmpty(const std::string& what) {
    return CLI::Validator(
        [what](std::string& value) {
            return value.empty() ? "an empty value names no " + what : std::string();
        },
        "", "not empty");
}

// The options may stand before the command or after it, between its files.
void AddSharedOptions(CLI::App& app, CliOptions& options) {
    app.add_option("-d,--device", options.Device, "device by its caption, e.g. 82S129 (see 'devices')")
        ->check(NotEmpty("device"));
    app.add_option(
           "-t,--type", options.Type,
           "file format: bin, intel, motorola or ascii (default: .bin is binary, otherwise by the first "
           "record; for read and convert, by the name of the file written)")
        ->check(NotEmpty("file format"));
    app.add_option(
           "--port", options.Port,
           "0x278, 0x378, 0x3BC, any port the kernel lists by its base (0xD010) or /dev/parportN, or sim for "
           "the simulated programmer on 0x378 (default: search the three, then every other port the kernel "
           "lists)")
        ->check(NotEmpty("port"));
    app.add_option("--sim-chip", options.SimChip,
                   "1024-byte image of the simulated chip, locked while in use, created blank when missing, "
                   "saved at the end")
        ->check(NotEmpty("file"));
    app.add_option("--sim-model", options.SimModel, "model of the simulated programmer: 1 or 2")
        ->check(CLI::Validator(
            [](std::string& value) {
                return value == "1" || value == "2" ? std::string()
                                                    : "'" + value + "' is no model; use 1 or 2";
            },
            "1|2", "model"));
    std::string faults;
    for (const quennel::SimulatedFault& fault : quennel::SimulatedFaults())
        faults += (faults.empty() ? "" : ", ") + quennel::SimulatedFaultUsageName(fault);
    app.add_option("--sim-fault", options.SimFaults,
                   "a fault of the simulated bench, may be given more than once: " + faults +
                       " (see quennel-sim --help)")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [](std::string& value) {
                quennel::SimulatedFaultChoice fault;
                std::string error;
                return quennel::ParseSimulatedFault(value, fault, error) ? std::string() : error;
            },
            "FAULT", "fault"));
    app.add_option("--trace", options.Trace, "write the bus trace to this file")->check(NotEmpty("file"));
    app.add_option("--library", options.Library,
                   "identify: the folder of dumps (plain files and .zip archives)")
        ->check(NotEmpty("folder"));
    app.add_option("--identify", options.Identify, "read: then find the part among the dumps in this folder")
        ->check(NotEmpty("folder"));
    app.add_flag("-q,--quiet", options.Quiet, "no progress line");
    app.add_flag("--ignore-checksums", options.IgnoreChecksums,
                 "load Intel and S-records whose checksum does not match (files made by hand)");
    app.add_flag("--no-compare", options.NoCompare,
                 "program without first checking that the part can take the image");
}

void AddCommand(CLI::App& app, CliOptions& options, const std::string& name, const std::string& description,
                const std::vector<std::string>& files = {}) {
    CLI::App* command = app.add_subcommand(name, description);
    AddSharedOptions(*command, options);
    command->callback([&options, name] { options.Command = name; });
    if (!files.empty() && files[0] == "[FILE]")
        command->add_option("FILE", options.File, "buffer file (without it, the device is read)");
    else if (!files.empty())
        command->add_option(files[0], options.File, files[0] == "IN" ? "file to convert" : "buffer file")
            ->required();
    if (files.size() > 1)
        command->add_option(files[1], options.Output, "file to write")->required();
}

} // namespace

int main(int argc, char** argv) {
    CliOptions options;
    CLI::App app{"Reads, checks and programs bipolar fuse PROMs through the programmer on a printer port.",
                 "quennel-cli"};
    app.set_version_flag("--version", std::string("quennel-cli ") + QUENNEL_VERSION);
    AddSharedOptions(app, options);
    AddCommand(app, options, "devices", "list the devices: caption, organisation, class, seating");
    AddCommand(app, options, "detect", "search the printer ports for the programmer");
    AddCommand(app, options, "read", "read the device and write it to FILE", {"FILE"});
    AddCommand(app, options, "blank", "check that the device is blank");
    AddCommand(app, options, "verify", "verify the device against FILE", {"FILE"});
    AddCommand(app, options, "compare", "check that the device can be programmed over with FILE", {"FILE"});
    AddCommand(app, options, "program", "program the device from FILE, then verify it", {"FILE"});
    AddCommand(app, options, "checksum", "show the checksum, CRC32 and SHA-1 of FILE", {"FILE"});
    AddCommand(app, options, "identify",
               "find FILE, or the device read, among the dumps in the --library folder", {"[FILE]"});
    AddCommand(app, options, "convert", "convert IN to OUT (format of OUT from -t or its name)",
               {"IN", "OUT"});
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 success; 1 the device failed (not blank, did not verify or program, cannot take "
        "the image), no programmer was found, or identify found no identical dump; 2 bad usage, a file "
        "that cannot be read, loaded or written, or a register access the port's driver refused; 128 + the "
        "signal when stopped by Ctrl-C (130), SIGTERM (143) or SIGHUP (129).");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        // Without a command, the word that stood in its place was no command.
        if (app.get_subcommands().empty() && !app.remaining().empty()) {
            const std::string word = app.remaining().front();
            std::cerr << (word.starts_with('-') ? "unknown option '" : "unknown command '") << word
                      << "'\nRun with --help for more information.\n";
            return quennel::cli::ExitBadUsage;
        }
        app.exit(e);
        return quennel::cli::ExitBadUsage;
    }
    return quennel::cli::RunCommand(options, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
