#pragma once
// A simulated device on the far end of a link.

#include <cstdint>

namespace korrsim {

class Device {
  public:
    virtual ~Device() = default;
    // A byte has crossed the wire and reached the device.
    virtual void OnByte(uint8_t byte) = 0;
    // The host raised or lowered DTR.
    virtual void OnDtr(bool /*on*/) {}
    // The host opened or closed its end of the line.
    virtual void OnHostOpen() {}
    virtual void OnHostClose() {}
};

}  // namespace korrsim
