#pragma once
// The updater's port seam on a simulated link, and the opener that hands out simulated ports
// by name. This is the glue between the updater and the simulator; the simulator's models
// know nothing of it.

#include <map>
#include <memory>
#include <string>

#include "core/Link.h"
#include "serial/PortLink.h"

namespace korrsim {

class SimPort final : public korr::PortLink {
  public:
    explicit SimPort(Link& link);
    ~SimPort() override;

    int32_t SetQueueSizes(uint32_t, uint32_t) override { return 0; }
    int32_t ReadLineSettings() override { return Alive(); }
    int32_t ApplyLineSettings(uint32_t baud) override { return ApplyBaud(baud); }
    int32_t ApplyBaud(uint32_t baud) override;
    int32_t ApplyTimeouts() override { return Alive(); }
    int32_t SetDtr(bool on) override;
    int32_t ClearErrors() override { return 0; }
    int32_t Read(void* dst, size_t capacity) override;
    int32_t Write(const void* src, size_t count) override;
    int32_t DiscardInput() override;
    int32_t Close() override;
    long Handle() const override { return handle_; }

  private:
    int32_t Alive() const;

    Link* link_;
    long handle_;
    uint32_t plugs_;  // the cable's state when the port was opened
};

// Simulated ports by name; opening a name that is already open fails as busy.
class SimPortRegistry {
  public:
    void Add(const std::string& name, Link& link) { links_[name] = &link; }
    int32_t Open(const char* name, std::unique_ptr<korr::PortLink>& out);
    // An opener for the updater's port seam.
    korr::PortOpener Opener();

  private:
    std::map<std::string, Link*> links_;
};

// Rates a real port accepts; anything else is refused as the posix backend would.
bool SimSupportsBaud(uint32_t baud);

}  // namespace korrsim
