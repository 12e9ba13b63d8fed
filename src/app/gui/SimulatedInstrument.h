#pragma once
// korrbsl-gui --simulate: the built-in simulated instrument as one more entry of the port
// list, running in real time beside the real ports, so a person can try a whole update in the
// window without an instrument.

#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "host/SimPort.h"
#include "models/Instrument.h"
#include "serial/Clock.h"
#include "serial/CommPortEnum.h"
#include "serial/PortLink.h"
#include "setup/SimSetup.h"

namespace korrgui {

class LiveSimClock;

class SimulatedInstrument {
  public:
    // The type must be one of the simulator's (korrsim::FindInstrumentType).
    SimulatedInstrument(const korrsim::SimOptions& options, const korrsim::InstrumentType& type);
    ~SimulatedInstrument();
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    // "Simulated Quorra Series 7" on the port "simulated".
    korr::CommPortInfo PortEntry() const;

  private:
    korrsim::EventLoop loop_;
    korrsim::Link line_;
    korrsim::SimPortRegistry registry_;
    korrsim::Instrument instrument_;
    std::string typeCode_;
    std::shared_ptr<LiveSimClock> clock_;
    std::unique_ptr<korr::ScopedClock> scopedClock_;
    std::unique_ptr<korr::ScopedPortOpener> scopedOpener_;
};

// Parses the simulator's switches that follow --simulate; the window's own switches and
// anything else are left alone. False with a message when a switch is wrong.
bool ParseSimulatorSwitches(const std::vector<std::string>& arguments, korrsim::SimOptions* options,
                            std::string* error);

}  // namespace korrgui
