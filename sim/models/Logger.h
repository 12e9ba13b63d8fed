#pragma once
// Data loggers and the communication device as their firmware answers on the command line.
//
// Current firmware answers "get -ver" with its code and version ("TR30 1.14") and knows the
// settings its version has: a newer version knows more keys. The oldest logger firmware does
// not know "get -ver" (it answers "ERROR") and reports itself with "show" instead.

#include <cstdint>
#include <span>
#include <string>

#include "models/CommandDevice.h"

namespace korrsim {

// A setting a firmware knows from a version on (version numbers as 1.14 = 114).
struct LoggerKey {
    const char* key;
    const char* value;  // the value a fresh device holds
    int fromVersion;
    // What new firmware starts with; null: the setting survives a firmware update.
    const char* factory = nullptr;
};

// The TR30 logger: more settings with every firmware release.
extern const std::span<const LoggerKey> kTr30Keys;
// The communication device ("MCD"): name, serial number and clock.
extern const std::span<const LoggerKey> kCommDeviceKeys;
// The Tr3b logger ("TR3B 2.04"): measurement settings, ports and the radio.
extern const std::span<const LoggerKey> kTr3bKeys;
// The FieldHub ("KS 1.09"): name, serial number, data parameter and the radio.
extern const std::span<const LoggerKey> kFieldHubKeys;
// The rB2 and ZL2 loggers ("RB2 1.05", "ZLG 1.02"): every logger setting, position included.
extern const std::span<const LoggerKey> kNetworkLoggerKeys;

// "1.14" (or "TR30 1.14") as 114; 0 when there is no version.
int VersionNumberOf(const std::string& text);

class Logger : public CommandDevice {
  public:
    // `versionReply` is the whole answer to "get -ver", e.g. "TR30 1.14"; its version decides
    // which of `keys` the firmware knows.
    Logger(Link& link, std::span<const LoggerKey> keys, std::string versionReply);
    Logger(EventLoop& loop, Sender send, std::span<const LoggerKey> keys, std::string versionReply);

    const std::string& VersionReply() const { return versionReply_; }
    int Version() const { return VersionNumberOf(versionReply_); }
    // A radio module: the trait says so and the radio settings exist.
    void SetRadio(bool on);
    // A network modem: the trait says so and the network settings exist.
    void SetModem(bool on);
    // New firmware: the settings with a factory value take it (the logger keeps the others).
    void FactoryReset();
    // The build text the next new firmware reports ("get -build"); empty: the build stays.
    // "set -build" never changes it.
    void SetNewBuild(std::string build) { newBuild_ = std::move(build); }

  private:
    void Build(std::span<const LoggerKey> keys);
    void StoreTrait();

    std::span<const LoggerKey> keys_;
    std::string versionReply_;
    bool radio_ = true;
    bool modem_ = false;
    std::string newBuild_;
};

// The oldest logger firmware: "get -ver" is unknown; "show" reports name, version, radio mode,
// measurement interval and resets; a setting is confirmed with the bare prompt.
class OldLogger : public CommandDevice {
  public:
    explicit OldLogger(Link& link, std::string version = "1.20");

    void SetResets(int resets) { resets_ = resets; }
    std::string ShowReport() const;

  private:
    std::string version_;
    int resets_ = 3;
};

}  // namespace korrsim
