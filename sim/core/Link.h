#pragma once
// The serial line between the host and a simulated device. Each byte takes its wire time
// (10 bits at the sender's rate); a receiver at another rate hears garbage; the fault injector
// decides what arrives. The host end is either an in-process queue (virtual time) or a
// pseudo-terminal (real time): the link only hands arriving bytes to a sink.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>

#include "core/Device.h"
#include "core/EventLoop.h"
#include "core/FaultInjector.h"

namespace korrsim {

// Wire time of one byte in nanoseconds: a start bit, 8 data bits, a stop bit.
inline uint64_t ByteTimeNs(uint32_t baud) {
    return baud == 0 ? 0 : 10'000'000'000ull / baud;
}

struct LinkStats {
    uint64_t bytesToDevice = 0;
    uint64_t bytesToHost = 0;
    uint64_t wireNsToDevice = 0;
    uint64_t wireNsToHost = 0;
};

class Link {
  public:
    Link(EventLoop& loop, uint64_t seed);
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    EventLoop& Loop() { return loop_; }
    FaultInjector& Faults() { return faults_; }
    const LinkStats& Stats() const { return stats_; }

    // The device is not owned; it must outlive the link's use.
    void AttachDevice(Device* device) { device_ = device; }

    // --- host end ---
    void HostOpen();
    void HostClose();
    bool HostIsOpen() const { return hostOpen_; }
    void HostWrite(const uint8_t* bytes, size_t count);
    void SetHostBaud(uint32_t baud) { hostBaud_ = baud; }
    uint32_t HostBaud() const { return hostBaud_; }
    void SetHostDtr(bool on);
    // The in-process host end: bytes that have arrived and not been read.
    size_t HostAvailable() const { return hostRx_.size(); }
    size_t HostRead(uint8_t* dst, size_t capacity);
    void HostDiscard() { hostRx_.clear(); }
    // A real-time host end takes arriving bytes itself instead of the queue.
    void SetHostSink(std::function<void(uint8_t)> sink) { hostSink_ = std::move(sink); }

    // --- device end ---
    void DeviceSend(std::string_view bytes);
    void SetDeviceBaud(uint32_t baud) { deviceBaud_ = baud; }
    uint32_t DeviceBaud() const { return deviceBaud_; }
    // When the device's transmitter will be idle again (its last byte has left).
    TimeUs DeviceTxIdleAt() const;

    // --- line conditions ---
    // A relay on the line sends every host byte straight back.
    void SetEcho(bool on) { echo_ = on; }
    // The cable is pulled: nothing crosses any more and the host end reports I/O errors.
    void Unplug() { unplugged_ = true; }
    bool Unplugged() const { return unplugged_; }
    // The cable is plugged back. A port that was open while it was out stays broken, as a
    // descriptor of a vanished adapter does; opening the port again works.
    void Plug() {
        if (unplugged_) ++plugs_;
        unplugged_ = false;
    }
    // Changes each time the cable comes back: a host end opened before holds a dead handle.
    uint32_t Plugs() const { return plugs_; }
    // Random bytes arrive at one end, one wire time apart, from `at` on.
    void InjectNoise(Direction direction, TimeUs at, size_t count);

  private:
    void Transmit(Direction direction, uint8_t byte);
    void Deliver(Direction direction, uint8_t byte);
    // Sends a byte over the wire and schedules what arrives.
    uint64_t& TxFreeNs(Direction d) { return txFreeNs_[static_cast<size_t>(d)]; }

    EventLoop& loop_;
    FaultInjector faults_;
    Device* device_ = nullptr;
    uint32_t hostBaud_ = 9600;
    uint32_t deviceBaud_ = 9600;
    bool hostOpen_ = false;
    bool echo_ = false;
    bool unplugged_ = false;
    uint32_t plugs_ = 0;
    uint64_t txFreeNs_[2] = {0, 0};
    std::deque<uint8_t> hostRx_;
    std::function<void(uint8_t)> hostSink_;
    LinkStats stats_;
};

}  // namespace korrsim
