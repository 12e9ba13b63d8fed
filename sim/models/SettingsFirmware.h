#pragma once
// The application firmware of an instrument that keeps named settings ("get -sn",
// "set -sn QE8-51234"), a calibration list ("get -cal 0"), record sets ("get -user 2"), a
// battery, a clock ("set -sec"), a data memory ("yes"), its self-test ("post"), and, for some
// types, the access-code login. Its settings live in their own memory: a used instrument holds
// its field values, and keeps them through a power failure; a sound image other than the one
// that made the settings starts with factory values, so that a restore shows. A damaged image
// fails its self-test before it sets anything up and leaves the settings as they are.
//
// Switches make it fail the ways the host must handle: a setting refused ("Error", or "ERROR"
// which the host retries), an empty answer, an answer that is only the prompt, a data memory
// that fails, a flat battery, a battery answer without a number.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "models/CommandDevice.h"
#include "models/CommandFirmware.h"
#include "models/InstrumentProfiles.h"

namespace korrsim {

enum class SettingFault {
    None,
    Refused,      // "Error": the instrument will not give or take the value
    RefusedLoud,  // "ERROR": refused in a way the link retries
    EmptyAnswer,  // the bare prompt "\r\r>"
    PromptOnly,   // "\r>": the prompt where the value should be
};

// Everything an instrument keeps in its settings memory, by command key: "sn", "cal 0",
// "user 2" ... Two instruments hold the same settings when their snapshots are equal.
using SettingsSnapshot = std::map<std::string, std::string>;

class SettingsFirmware : public CommandDevice {
  public:
    // A used instrument of the profile's type, holding its field values.
    SettingsFirmware(Link& link, const InstrumentProfile& profile);

    const InstrumentProfile& Profile() const { return profile_; }
    void SetVersionReply(std::string reply) { versionReply_ = std::move(reply); }
    const std::string& VersionReply() const { return versionReply_; }

    // New firmware: factory values, no calibration list, no records, logged out.
    void FactoryReset();
    void PowerUp() override;
    SettingsSnapshot Snapshot() const;

    std::vector<std::string>& Cal() { return cal_; }
    std::vector<std::string>& UserRecords() { return user_; }
    std::vector<std::string>& EqnRecords() { return eqn_; }

    bool LoggedIn() const { return loggedIn_; }
    int SensorType() const { return sensorType_; }
    long ClockSeconds() const { return clockSeconds_; }
    int Erases() const { return erases_; }
    const std::string& LastPost() const { return lastPost_; }

    // --- switches ---
    // `key` may name one entry of a list ("user 2").
    void SetGetFault(const std::string& key, SettingFault fault) { getFaults_[key] = fault; }
    void SetSetFault(const std::string& key, SettingFault fault) { setFaults_[key] = fault; }
    void SetBattery(int percent) { batteryReply_ = std::to_string(percent); }
    // The whole text of the battery answer (one without a number, say).
    void SetBatteryReply(std::string text) { batteryReply_ = std::move(text); }
    void SetDataFlashBroken(bool broken) { dataFlashBroken_ = broken; }
    // The self-test fails although the image is sound (the image's own verdict otherwise).
    void SetSelfTestFails(bool fails) { selfTestFails_ = fails; }
    void SetImageSound(bool sound) { imageSound_ = sound; }

  protected:
    Reply Dispatch(const std::string& word, const std::string& args) override;

  private:
    void LoadFieldValues();
    Reply GetListed(const std::string& key, const std::string& index);
    Reply SetListed(const std::string& key, const std::string& indexAndValue);
    std::vector<std::string>* List(const std::string& key);
    Reply WithFault(const std::map<std::string, SettingFault>& faults, const std::string& key,
                    Reply normal) const;
    bool Locked() const { return profile_.accessCode && !loggedIn_; }

    const InstrumentProfile& profile_;
    std::string versionReply_;
    std::vector<std::string> cal_;
    std::vector<std::string> user_;
    std::vector<std::string> eqn_;
    std::map<std::string, SettingFault> getFaults_;
    std::map<std::string, SettingFault> setFaults_;
    bool loggedIn_ = false;
    int sensorType_ = 2;
    long clockSeconds_ = 0;
    int erases_ = 0;
    std::string lastPost_;
    std::string batteryReply_ = "87";
    bool dataFlashBroken_ = false;
    bool selfTestFails_ = false;
    bool imageSound_ = true;
};

// The firmware inside a simulated instrument: the boot command leaves for the loader; the first
// start keeps the field values, a later start of another sound image begins with factory
// values; each start reports the version of the image that started.
std::unique_ptr<CommandFirmware> MakeSettingsFirmware(Link& link, const InstrumentProfile& profile,
                                                      SettingsFirmware** commands,
                                                      bool hasLoader = true);

}  // namespace korrsim
