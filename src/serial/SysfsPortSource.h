#pragma once
// The port list read straight from sysfs: /sys/class/tty/*/device, the USB parent's ids and
// strings, a UART's type. Used where udev cannot help, and to read the facts of devices that
// the udev database does not know (containers, minimal systems).

#include <string>

#include "serial/PortSource.h"

namespace korr {

class SysfsPortSource final : public PortSource {
  public:
    // sysRoot is where sysfs is mounted, devDir where the device nodes live.
    explicit SysfsPortSource(std::string sysRoot = "/sys", std::string devDir = "/dev")
        : sysRoot_(std::move(sysRoot)), devDir_(std::move(devDir)) {}

    bool Enumerate(std::vector<PortDevice>& out) override;
    void ProbeNames(std::vector<std::string>& out) override;
    int32_t Probe(const char* name) override;

    // Fills what sysfs tells about the tty device `name` whose class entry is classDir
    // (.../class/tty/<name>): parent, UART type, driver, and the USB device above it.
    static void ReadDevice(const std::string& classDir, const std::string& name, PortDevice& dev);

  private:
    std::string sysRoot_;
    std::string devDir_;
};

}  // namespace korr
