#pragma once
// The communication device ("MCD"): a command-language device on the host's serial line with an
// SDI-12 bus behind it, where a digital sensor may hang.
//
// On the command line it answers like the other devices of the family ("get -ver" gives
// "MCD 1.05"). The wake byte '|' opens the way to the bus: from then on, text up to a '!' is an
// SDI-12 command that the device sends on the bus (after a break when a wake byte came since
// the last command), and whatever the sensor answers comes back to the host as it stands. A
// carriage return ends that and hands the line back to the command language.

#include <cstdint>
#include <string>

#include "models/Logger.h"
#include "models/Sdi12Sensor.h"

namespace korrsim {

class CommDevice : public Logger {
  public:
    explicit CommDevice(Link& link, std::string versionReply = "MCD 1.05");

    void OnByte(uint8_t byte) override;

    // The sensor on the bus (not owned); null leaves the bus silent.
    void AttachSensor(Sdi12Sensor* sensor) { sensor_ = sensor; }
    // Every byte the host sent for the bus, wake bytes included, in order.
    const std::string& BusTraffic() const { return busTraffic_; }
    void ClearBusTraffic() { busTraffic_.clear(); }

  private:
    void SendOnBus(const std::string& command, bool withBreak);
    void ToHost(std::string_view bytes);

    Sdi12Sensor* sensor_ = nullptr;
    bool busMode_ = false;
    bool breakPending_ = false;
    std::string command_;
    std::string busTraffic_;
};

}  // namespace korrsim
