#pragma once
// The simulated instrument a person or a test asks for on a command line: its type, firmware
// version, loader state and line faults. korrsim (on a pseudo-terminal) and the updater's
// --simulate (in process) take the same options and build the same instrument from them.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "core/Link.h"
#include "models/Instrument.h"
#include "models/InstrumentFirmware.h"
#include "models/SettingsFirmware.h"

namespace korrsim {

struct SimOptions {
    std::string type = "QS7";
    std::string firmwareVersion = "3.55";  // older than the built-in image, and updatable
    bool loaderActive = false;
    bool loaderWaiting = false;
    bool noLoader = false;
    bool loaderVersionLines = false;
    bool bootOnly = false;     // firmware that knows only the boot command
    bool calibration = false;  // calibration data in the information memory at power-up
    uint64_t seed = 1;
    double lose = 0;
    double corrupt = 0;
    double noise = 0;
};

// Adds the options to a command (korrsim's own, or a subcommand with --simulate).
void AddSimOptions(CLI::App& app, SimOptions& o);

// The firmware the instrument runs: it speaks the command language (version, login, boot
// command), with the settings memory of its type where the simulator knows one (`commands`
// receives it); with bootOnly it knows only the boot command.
std::unique_ptr<InstrumentFirmware> MakeSimFirmware(Link& link, const SimOptions& o,
                                                    SettingsFirmware** commands = nullptr);
// The version the firmware reports ("3.55" unless asked otherwise).
std::string SimFirmwareVersion(const SimOptions& o);
// Starts the instrument in the state asked for: running its firmware, or in its loader.
void PowerUpSim(Instrument& instrument, const SimOptions& o);
// The line's faults, both ways.
void ApplyLineFaults(Link& line, const SimOptions& o);
// "firmware 3.55", "loader active", "loader waiting".
std::string DescribeSim(const SimOptions& o);

}  // namespace korrsim
