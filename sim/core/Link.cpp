#include "core/Link.h"

namespace korrsim {

namespace {
constexpr uint64_t kNsPerUs = 1000;
}  // namespace

Link::Link(EventLoop& loop, uint64_t seed) : loop_(loop), faults_(seed) {}

void Link::HostOpen() {
    hostOpen_ = true;
    hostRx_.clear();
    if (device_ != nullptr) device_->OnHostOpen();
}

void Link::HostClose() {
    hostOpen_ = false;
    if (device_ != nullptr) device_->OnHostClose();
}

void Link::SetHostDtr(bool on) {
    if (device_ != nullptr && !unplugged_) device_->OnDtr(on);
}

size_t Link::HostRead(uint8_t* dst, size_t capacity) {
    size_t n = 0;
    while (n < capacity && !hostRx_.empty()) {
        dst[n++] = hostRx_.front();
        hostRx_.pop_front();
    }
    return n;
}

void Link::HostWrite(const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) Transmit(Direction::ToDevice, bytes[i]);
}

void Link::DeviceSend(std::string_view bytes) {
    for (char c : bytes) Transmit(Direction::ToHost, static_cast<uint8_t>(c));
}

TimeUs Link::DeviceTxIdleAt() const {
    uint64_t ns = txFreeNs_[static_cast<size_t>(Direction::ToHost)];
    TimeUs at = (ns + kNsPerUs - 1) / kNsPerUs;
    return at > loop_.Now() ? at : loop_.Now();
}

void Link::Transmit(Direction direction, uint8_t byte) {
    if (unplugged_) return;
    const bool toDevice = direction == Direction::ToDevice;
    const uint32_t senderBaud = toDevice ? hostBaud_ : deviceBaud_;
    const uint32_t receiverBaud = toDevice ? deviceBaud_ : hostBaud_;
    const uint64_t wireNs = ByteTimeNs(senderBaud);

    uint64_t& txFree = TxFreeNs(direction);
    uint64_t startNs = loop_.Now() * kNsPerUs;
    if (txFree > startNs) startNs = txFree;
    txFree = startNs + wireNs;
    const TimeUs arrival = (txFree + kNsPerUs - 1) / kNsPerUs;
    if (toDevice) {
        ++stats_.bytesToDevice;
        stats_.wireNsToDevice += wireNs;
    } else {
        ++stats_.bytesToHost;
        stats_.wireNsToHost += wireNs;
    }

    // A receiver listening at another rate samples the wrong bits; a relay on the line repeats
    // what was sent, at the sender's own rate.
    const uint8_t sent = byte;
    if (senderBaud != receiverBaud) byte = faults_.Rng().Byte();
    uint8_t out[2];
    size_t n = faults_.Apply(direction, loop_.Now(), byte, out);
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = out[i];
        loop_.At(arrival, [this, direction, b] { Deliver(direction, b); });
    }
    if (toDevice && echo_) {
        loop_.At(arrival, [this, sent] { Deliver(Direction::ToHost, sent); });
    }
}

void Link::Deliver(Direction direction, uint8_t byte) {
    if (unplugged_) return;
    if (direction == Direction::ToDevice) {
        if (device_ != nullptr) device_->OnByte(byte);
        return;
    }
    if (hostSink_) {
        hostSink_(byte);
    } else if (hostOpen_) {
        hostRx_.push_back(byte);
    }
}

void Link::InjectNoise(Direction direction, TimeUs at, size_t count) {
    const uint64_t wireNs = ByteTimeNs(direction == Direction::ToDevice ? hostBaud_ : deviceBaud_);
    for (size_t i = 0; i < count; ++i) {
        TimeUs when = at + (i * wireNs) / kNsPerUs;
        uint8_t b = faults_.Rng().Byte();
        loop_.At(when, [this, direction, b] { Deliver(direction, b); });
    }
}

}  // namespace korrsim
