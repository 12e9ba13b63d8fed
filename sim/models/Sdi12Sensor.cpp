#include "models/Sdi12Sensor.h"

namespace korrsim {

namespace {

// A sensor goes back to sleep after this much silence on the bus, and starts its answer this
// long after the command's last character.
constexpr TimeUs kSleepAfter = 100 * kUsPerMs;
constexpr TimeUs kAnswerDelay = 10 * kUsPerMs;
constexpr const char* kSdi12Version = "13";
constexpr char kWildcard = '?';

bool IsAddress(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

Sdi12Sensor::Sdi12Sensor(EventLoop& loop, char type) : loop_(loop), type_(type) {}

bool Sdi12Sensor::Asleep() const {
    return !everActive_ || loop_.Now() > lastActive_ + kSleepAfter;
}

void Sdi12Sensor::OnCommand(const std::string& command, bool afterBreak, Answer answer) {
    heard_.push_back((afterBreak ? "|" : "") + command);
    if (loop_.Now() < busyUntil_) return;  // still waking up on an earlier command
    const bool wasAsleep = Asleep();
    if (wasAsleep && !afterBreak) return;
    lastActive_ = loop_.Now();
    everActive_ = true;
    if (command.size() < 2 || command.back() != '!') return;
    if (command[0] != address_ && command[0] != kWildcard) return;
    const std::string body = command.substr(1, command.size() - 2);
    if (mute_ && !body.empty()) return;
    std::string text = Respond(body);
    if (text.empty()) return;
    const TimeUs delay = wasAsleep ? wakeTime_ + kAnswerDelay : kAnswerDelay;
    Send(std::move(text), delay, std::move(answer));
}

void Sdi12Sensor::Send(std::string text, TimeUs delay, Answer answer) {
    busyUntil_ = loop_.Now() + delay;
    loop_.After(delay, [this, text = std::move(text), answer = std::move(answer)] {
        lastActive_ = loop_.Now() + static_cast<TimeUs>(text.size()) * kSdi12CharUs;
        busyUntil_ = lastActive_;
        if (answer) answer(text);
    });
}

std::string Sdi12Sensor::Respond(const std::string& body) {
    const std::string a(1, address_);
    const bool two = type_ == kSdi12TypeTwoCalibrations;
    if (body.empty()) return a + "\r\n";  // address query and acknowledge
    if (body == "I") return a + Identification() + "\r\n";
    if (body.size() == 2 && body[0] == 'A') {
        if (!IsAddress(body[1])) return {};
        if (!refusesAddress_) address_ = body[1];
        return std::string(1, address_) + "\r\n";
    }
    if (body == "X4") return a + " " + calibration_[0] + "\r\n";
    if (body == "Xa" && two) return a + " " + calibration_[1] + "\r\n";
    if (body.rfind("X5", 0) == 0) return a + WriteCalibration(0, body.substr(2)) + "\r\n";
    if (body.rfind("Xb", 0) == 0 && two) return a + WriteCalibration(1, body.substr(2)) + "\r\n";
    if (body == "X8" && answersType_) return a + " " + std::string(1, type_) + "\r\n";
    return {};
}

std::string Sdi12Sensor::Identification() const {
    return kSdi12Version + identity_.vendor + identity_.model + identity_.version +
           identity_.optional;
}

std::string Sdi12Sensor::WriteCalibration(int index, const std::string& text) {
    if (refusesWrites_) return "ERROR";
    calibration_[index] = text;
    return " OK";
}

}  // namespace korrsim
