#pragma once
// Where the port list comes from: the serial devices the system knows, the device nodes worth
// trying when the user asks for every port, and the light open that tells a held port from a
// free one. udev (with sysfs behind it) in production, a table of devices in tests.

#include <cstdint>
#include <string>
#include <vector>

namespace korr {

// What the system tells about one tty device; empty strings where it tells nothing.
struct PortDevice {
    std::string name;        // the kernel's bare name ("ttyUSB0"), or a node path
    bool hasParent = false;  // backed by a device (USB, PCI, platform UART), not a console
    int32_t uartType = -1;   // the serial core's port type: 0 a UART slot with no chip, -1 none
    bool isUsb = false;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::string manufacturer;  // the USB device's own strings
    std::string product;
    std::string serial;
    std::string vendorName;  // names from the hardware database
    std::string modelName;
    std::string driver;
    std::string friendlyName;  // a ready-made name, for sources that have one
};

class PortSource {
  public:
    virtual ~PortSource() = default;
    // Appends the tty devices in the order the system reports them. False when this system
    // cannot enumerate devices at all.
    virtual bool Enumerate(std::vector<PortDevice>& out) = 0;
    // Appends the device nodes worth trying when every port is wanted.
    virtual void ProbeNames(std::vector<std::string>& out) = 0;
    // Opens a port only to see whether it is there and free (see ProbePortLock).
    virtual int32_t Probe(const char* name) = 0;
};

// The nodes a find-all tries on this system: ttyS0 to ttyS15 and the USB and ACM nodes
// present in devDir, in natural order.
void SystemProbeNames(const char* devDir, std::vector<std::string>& out);

// Natural order of port names: digit runs compare by value, so ttyS2 < ttyS10 < ttyUSB0.
// Negative, 0 or positive like strcmp.
int ComparePortNames(const char* a, const char* b);

// Keeps what a person can read from a string the system (or a USB device) supplied: trailing
// line ends and blanks go, control characters become blanks.
std::string CleanDeviceText(std::string text);

}  // namespace korr
