#pragma once
// A digital soil sensor on an SDI-12 bus, as its firmware answers the bus commands.
//
// A command is the sensor's address (or the wildcard '?'), the command letters and '!'; the
// answer starts with the sensor's address and ends with CR LF. It knows the standard address
// query ("?!"), acknowledge ("a!"), identification ("aI!") and address change ("aAb!"), and the
// maker's extended commands: "aX4!" and "aXa!" read the calibration strings (the second one
// only on the type with two), "aX5<text>!" and "aXb<text>!" write them, "aX8!" reports the
// sensor type character. Anything else, or a command for another address, gets no answer.
//
// The sensor sleeps after a short silence on the bus; a break (the communication device sends
// one for the host's wake byte) wakes it, and a sleeping sensor does not hear a command without
// one. Switches make it misbehave the ways a host must survive: no answer to the type query
// (older sensors), "ERROR" to calibration writes, an address change it does not make, answering only the address query, and a slow
// wake-up that answers the first command after a break too late.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/EventLoop.h"

namespace korrsim {

// The identification fields: 8-character vendor, 6-character model, 3-digit firmware version
// and optional text (a serial number, say).
struct Sdi12Identity {
    std::string vendor = "KORRIN  ";
    std::string model = "MV-XE ";
    std::string version = "123";
    std::string optional = "SN004711";
};

inline constexpr char kSdi12TypeTwoCalibrations = 'y';
// SDI-12 runs at 1200 baud: a character takes 10 bits of 833 us on the bus.
inline constexpr TimeUs kSdi12CharUs = 8333;

class Sdi12Sensor {
  public:
    using Answer = std::function<void(std::string_view bytes)>;

    explicit Sdi12Sensor(EventLoop& loop, char type = 'x');

    // A whole command has crossed the bus; `afterBreak` when a break came right before it.
    // The answer, if any, goes to `answer` once the sensor starts sending it; it takes its
    // bus time from then on.
    void OnCommand(const std::string& command, bool afterBreak, Answer answer);

    // --- what it keeps ---
    char Address() const { return address_; }
    void SetAddress(char address) { address_ = address; }
    const Sdi12Identity& Identity() const { return identity_; }
    void SetIdentity(Sdi12Identity identity) { identity_ = std::move(identity); }
    char Type() const { return type_; }
    void SetType(char type) { type_ = type; }
    // Index 0: the "X4"/"X5" string; 1: the "Xa"/"Xb" string of the type with two.
    const std::string& Calibration(int index) const { return calibration_[index != 0]; }
    void SetCalibration(int index, std::string text) { calibration_[index != 0] = std::move(text); }

    // --- switches ---
    void SetTypeQueryAnswered(bool on) { answersType_ = on; }
    void SetCalibrationWritesRefused(bool on) { refusesWrites_ = on; }
    // An address change is answered from the old address, which the sensor keeps.
    void SetAddressChangeRefused(bool on) { refusesAddress_ = on; }
    // Answers the address query and nothing else.
    void SetMute(bool on) { mute_ = on; }
    // A sleeping sensor woken by a break answers that command only after this long, and hears
    // nothing else meanwhile.
    void SetWakeTime(TimeUs wake) { wakeTime_ = wake; }
    bool Asleep() const;

    // --- what it heard: each command, with "|" in front when a break came before it ---
    const std::vector<std::string>& Heard() const { return heard_; }

  private:
    std::string Respond(const std::string& body);
    std::string Identification() const;
    std::string WriteCalibration(int index, const std::string& text);
    void Send(std::string text, TimeUs delay, Answer answer);

    EventLoop& loop_;
    char address_ = '0';
    Sdi12Identity identity_;
    char type_;
    std::string calibration_[2] = {"A=1.0234;B=-0.0125;C=0.9981", ""};
    bool answersType_ = true;
    bool refusesWrites_ = false;
    bool refusesAddress_ = false;
    bool mute_ = false;
    TimeUs wakeTime_ = 0;
    TimeUs lastActive_ = 0;
    bool everActive_ = false;
    TimeUs busyUntil_ = 0;
    std::vector<std::string> heard_;
};

}  // namespace korrsim
