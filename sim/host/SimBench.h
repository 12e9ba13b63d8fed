#pragma once
// One simulated line with its clock and port opener installed for the updater: what a test,
// a benchmark or `--simulate` sets up before talking to a simulated device.

#include <cstdint>
#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "host/SimClock.h"
#include "host/SimPort.h"
#include "serial/Clock.h"
#include "serial/PortLink.h"

namespace korrsim {

class SimBench {
  public:
    explicit SimBench(uint64_t seed = 1, const std::string& portName = "sim0")
        : clock_(std::make_shared<SimClock>(loop_)),
          scopedClock_(clock_),
          link_(loop_, seed),
          portName_(portName) {
        registry_.Add(portName_, link_);
        scopedOpener_ = std::make_unique<korr::ScopedPortOpener>(registry_.Opener());
    }

    EventLoop& Loop() { return loop_; }
    Link& Line() { return link_; }
    SimClock& Clock() { return *clock_; }
    const std::string& PortName() const { return portName_; }
    const char* Port() const { return portName_.c_str(); }
    double NowMs() const { return static_cast<double>(loop_.Now()) / kUsPerMs; }

  private:
    EventLoop loop_;
    std::shared_ptr<SimClock> clock_;
    korr::ScopedClock scopedClock_;
    Link link_;
    std::string portName_;
    SimPortRegistry registry_;
    std::unique_ptr<korr::ScopedPortOpener> scopedOpener_;
};

}  // namespace korrsim
