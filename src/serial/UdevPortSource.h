#pragma once
// The production port list: the tty devices libudev reports. Ids and strings are read as
// device attributes, which udev takes from sysfs, so they are there even where the udev
// database is missing; the hardware-database names come from the database where it exists.
// Where libudev cannot start at all, the list is read from sysfs directly.

#include "serial/PortSource.h"
#include "serial/SysfsPortSource.h"

namespace korr {

class UdevPortSource final : public PortSource {
  public:
    bool Enumerate(std::vector<PortDevice>& out) override;
    void ProbeNames(std::vector<std::string>& out) override;
    int32_t Probe(const char* name) override;

  private:
    SysfsPortSource sysfs_;
};

}  // namespace korr
