#include "models/CommDevice.h"

namespace korrsim {

namespace {

constexpr char kWakeByte = '|';
// A break is at least 12 ms of spacing, then 8.33 ms of marking before the command.
constexpr TimeUs kBreakUs = 12 * kUsPerMs + kSdi12CharUs;
constexpr size_t kMaxCommand = 256;

TimeUs BusTime(size_t characters) {
    return static_cast<TimeUs>(characters) * kSdi12CharUs;
}

}  // namespace

CommDevice::CommDevice(Link& link, std::string versionReply)
    : Logger(link, kCommDeviceKeys, std::move(versionReply)) {}

void CommDevice::OnByte(uint8_t byte) {
    const char c = static_cast<char>(byte);
    if (c == kWakeByte) {
        busTraffic_ += c;
        busMode_ = true;
        breakPending_ = true;
        return;
    }
    if (!busMode_) {
        Logger::OnByte(byte);
        return;
    }
    if (c == '\r' || c == '\n') {
        // Back to the command language, with what was typed since the last bus command.
        busMode_ = false;
        for (char pending : command_) Logger::OnByte(static_cast<uint8_t>(pending));
        command_.clear();
        Logger::OnByte(byte);
        return;
    }
    busTraffic_ += c;
    if (command_.size() < kMaxCommand) command_ += c;
    if (c != '!') return;
    SendOnBus(command_, breakPending_);
    command_.clear();
    breakPending_ = false;
}

void CommDevice::SendOnBus(const std::string& command, bool withBreak) {
    if (sensor_ == nullptr) return;
    const TimeUs onBus = (withBreak ? kBreakUs : 0) + BusTime(command.size());
    Loop().After(onBus, [this, command, withBreak] {
        if (sensor_ == nullptr) return;
        sensor_->OnCommand(command, withBreak, [this](std::string_view answer) { ToHost(answer); });
    });
}

void CommDevice::ToHost(std::string_view bytes) {
    // The answer crosses the bus before the device passes it on.
    Loop().After(BusTime(bytes.size()),
                 [this, text = std::string(bytes)] { SerialLink()->DeviceSend(text); });
}

}  // namespace korrsim
