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
    std::string firmwareVersion;  // empty: the type's own (QS7: 3.55, older than the built-in)
    bool loaderActive = false;
    bool loaderWaiting = false;
    bool noLoader = false;
    bool loaderVersionLines = false;
    uint64_t seed = 1;
    double lose = 0;
    double corrupt = 0;
    double noise = 0;
};

// Adds the options to a command (korrsim's own, or a subcommand with --simulate).
void AddSimOptions(CLI::App& app, SimOptions& o);

// The firmware the instrument runs: instrument types with settings speak their command language
// (version, login, settings, boot command; `commands` receives it); others know only the boot
// command.
std::unique_ptr<InstrumentFirmware> MakeSimFirmware(Link& link, const SimOptions& o,
                                                    SettingsFirmware** commands = nullptr);
// The version the firmware reports: the one asked for, else the type's own.
std::string SimFirmwareVersion(const SimOptions& o);
// Starts the instrument in the state asked for: running its firmware, or in its loader.
void PowerUpSim(Instrument& instrument, const SimOptions& o);
// The line's faults, both ways.
void ApplyLineFaults(Link& line, const SimOptions& o);
// "firmware 3.55", "loader active", "loader waiting".
std::string DescribeSim(const SimOptions& o);

}  // namespace korrsim
