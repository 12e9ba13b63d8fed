#pragma once
// A port list from a table, for tests and demonstrations: the devices as given, the probe
// names as given, scripted probe answers. Only node paths (names starting with '/', i.e. the
// pseudo-terminals a test made itself) are really opened; a bare name never reaches a device.

#include "serial/PortSource.h"

namespace korr {

struct ProbeAnswer {
    std::string name;
    int32_t result;  // what Probe returns for that name: 0 free, or a negated errno
};

class TablePortSource final : public PortSource {
  public:
    std::vector<PortDevice> devices;
    std::vector<std::string> probeNames;
    std::vector<ProbeAnswer> answers;  // bare names without an answer probe as absent (-ENOENT)
    bool canEnumerate = true;          // false plays a system without device enumeration
    std::vector<std::string> probed;   // every name Probe was asked about, in order

    bool Enumerate(std::vector<PortDevice>& out) override;
    void ProbeNames(std::vector<std::string>& out) override;
    int32_t Probe(const char* name) override;
};

}  // namespace korr
