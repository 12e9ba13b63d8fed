#pragma once
// A simulated instrument for a whole update, built from the simulator's command-line options:
// on its own simulated line with the updater's clock and port opener installed, in virtual
// time or paced to real time (a person watching a simulated update sees a real one's pace).

#include <chrono>
#include <string>
#include <thread>

#include "host/SimBench.h"
#include "models/Instrument.h"
#include "models/InstrumentTypes.h"
#include "setup/SimSetup.h"

namespace korrsim {

class SimUpdateTarget {
  public:
    // The type must be one of the simulator's (FindInstrumentType); checked by the caller.
    SimUpdateTarget(const SimOptions& options, const InstrumentType& type, bool realTime,
                    const std::string& portName = "sim0")
        : bench_(options.seed, portName), instrument_(bench_.Line(), type) {
        ApplyLineFaults(bench_.Line(), options);
        instrument_.SetFirmware(MakeSimFirmware(bench_.Line(), options, &commands_));
        PowerUpSim(instrument_, options);
        if (realTime) {
            const auto start = std::chrono::steady_clock::now();
            const TimeUs origin = bench_.Loop().Now();
            bench_.Loop().SetPacer([start, origin](TimeUs to) {
                std::this_thread::sleep_until(start + std::chrono::microseconds(to - origin));
            });
        }
    }

    const char* Port() const { return bench_.Port(); }
    SimBench& Bench() { return bench_; }
    Instrument& Target() { return instrument_; }
    // The firmware's command side; null for types that know only the boot command.
    SettingsFirmware* Commands() { return commands_; }

  private:
    SimBench bench_;
    Instrument instrument_;
    SettingsFirmware* commands_ = nullptr;
};

}  // namespace korrsim
