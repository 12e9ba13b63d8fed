#include "models/SettingsFirmware.h"

#include <cstdlib>
#include <optional>

namespace korrsim {

namespace {

constexpr int kFactorySensorType = 2;

bool ParseIndex(const std::string& text, size_t* index) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || n < 0 || n > 99) return false;
    *index = static_cast<size_t>(n);
    return true;
}

std::vector<std::string> ListOf(const char* const* items, size_t count) {
    return std::vector<std::string>(items, items + count);
}

}  // namespace

SettingsFirmware::SettingsFirmware(Link& link, const InstrumentProfile& profile)
    : CommandDevice(link),
      profile_(profile),
      versionReply_(std::string(profile.code) + " " + profile.version) {
    LoadFieldValues();
    OnGet("ver", [this] { return Reply::Text(versionReply_); });
    OnGet("batt", [this] { return Reply::Text(batteryReply_); });
    OnGet("build",
          [this] { return Reply::Text(std::string(profile_.code) + "-B" + profile_.version); });
    OnGet("int", [] { return Reply::Text("60"); });
    OnGet("sec", [this] { return Reply::Text(std::to_string(clockSeconds_)); });
    OnSet("sec", [this](const std::string& value) {
        clockSeconds_ = std::strtol(value.c_str(), nullptr, 10);
        return Reply::Ok();
    });
    if (profile.sensorCommand) {
        OnSet("sensor", [this](const std::string& value) {
            sensorType_ = std::atoi(value.c_str());
            return Reply::Ok();
        });
    }
    if (profile.accessCode) {
        AddCommand("login", [this](const std::string& code) {
            if (code != kInstrumentAccessCode) return Reply::Error();
            loggedIn_ = true;
            return Reply::Ok();
        });
        AddCommand("logout", [this](const std::string&) {
            loggedIn_ = false;
            return Reply::Ok();
        });
    }
    AddCommand("yes", [this](const std::string&) {
        if (dataFlashBroken_) return Reply::Text("DataFlash FAIL");
        ++erases_;
        return Reply::Ok();
    });
    AddCommand("post", [this](const std::string& args) {
        lastPost_ = args.empty() ? "post" : "post " + args;
        const bool good = imageSound_ && !selfTestFails_;
        return Reply::Text(good ? "Code Good!" : "Code Corrupt!");
    });
}

void SettingsFirmware::LoadFieldValues() {
    for (size_t i = 0; i < profile_.settingCount; ++i) {
        Settings().Define(profile_.settings[i].key, profile_.settings[i].field);
    }
    cal_ = ListOf(profile_.cal, profile_.calCount);
    user_ = ListOf(profile_.user, profile_.userCount);
    eqn_ = ListOf(profile_.eqn, profile_.eqnCount);
}

void SettingsFirmware::FactoryReset() {
    for (size_t i = 0; i < profile_.settingCount; ++i) {
        Settings().Define(profile_.settings[i].key, profile_.settings[i].factory);
    }
    cal_.clear();
    user_.clear();
    eqn_.clear();
    loggedIn_ = false;
    sensorType_ = kFactorySensorType;
}

void SettingsFirmware::PowerUp() {
    CommandDevice::PowerUp();
    loggedIn_ = false;
}

SettingsSnapshot SettingsFirmware::Snapshot() const {
    SettingsSnapshot s;
    for (const std::string& key : Settings().Keys()) s[key] = Settings().Get(key);
    for (size_t i = 0; i < cal_.size(); ++i) s["cal " + std::to_string(i)] = cal_[i];
    for (size_t i = 0; i < user_.size(); ++i) s["user " + std::to_string(i)] = user_[i];
    for (size_t i = 0; i < eqn_.size(); ++i) s["eqn " + std::to_string(i)] = eqn_[i];
    return s;
}

std::vector<std::string>* SettingsFirmware::List(const std::string& key) {
    if (key == "cal" && profile_.cal != nullptr) return &cal_;
    if (key == "user" && profile_.user != nullptr) return &user_;
    if (key == "eqn" && profile_.eqn != nullptr) return &eqn_;
    return nullptr;
}

Reply SettingsFirmware::WithFault(const std::map<std::string, SettingFault>& faults,
                                  const std::string& key, Reply normal) const {
    auto it = faults.find(key);
    switch (it == faults.end() ? SettingFault::None : it->second) {
        case SettingFault::None:
            break;
        case SettingFault::Refused:
            return Reply::Text("Error");
        case SettingFault::RefusedLoud:
            return Reply::Error();
        case SettingFault::EmptyAnswer:
            return Reply::Raw("\r\r>");
        case SettingFault::PromptOnly:
            return Reply::Raw("\r>");
    }
    return normal;
}

Reply SettingsFirmware::Dispatch(const std::string& word, const std::string& args) {
    if (word != "get" && word != "set") return CommandDevice::Dispatch(word, args);
    std::string key, value;
    SplitKeyValue(args, &key, &value);
    if (word == "get") {
        if (List(key) != nullptr) {
            // A fault on one entry ("user 2") leaves the count and the other entries alone.
            const Reply entry = WithFault(getFaults_, key + " " + value, GetListed(key, value));
            return WithFault(getFaults_, key, entry);
        }
        return WithFault(getFaults_, key, CommandDevice::Dispatch(word, args));
    }
    // Settings are written only after the access code, where the type asks for one.
    if (Locked() && key != "baud") return Reply::Error();
    auto fault = setFaults_.find(key);
    if (fault != setFaults_.end() && fault->second != SettingFault::None) {
        return WithFault(setFaults_, key, Reply::Ok());
    }
    if (List(key) != nullptr) return SetListed(key, value);
    return CommandDevice::Dispatch(word, args);
}

// "get -cal" alone is the number of entries; "get -cal 2" the entry.
Reply SettingsFirmware::GetListed(const std::string& key, const std::string& index) {
    const std::vector<std::string>& list = *List(key);
    if (index.empty()) return Reply::Text(std::to_string(list.size()));
    size_t i = 0;
    if (!ParseIndex(index, &i) || i >= list.size()) return Reply::Text("Error");
    return Reply::Text(list[i]);
}

// "set -cal 2 TEXT" replaces entry 2 or appends it right after the last one.
Reply SettingsFirmware::SetListed(const std::string& key, const std::string& indexAndValue) {
    std::vector<std::string>& list = *List(key);
    const size_t space = indexAndValue.find(' ');
    size_t i = 0;
    if (space == std::string::npos || !ParseIndex(indexAndValue.substr(0, space), &i) ||
        i > list.size()) {
        return Reply::Text("Error");
    }
    const std::string text = indexAndValue.substr(space + 1);
    if (i == list.size()) {
        list.push_back(text);
    } else {
        list[i] = text;
    }
    return Reply::Ok();
}

std::unique_ptr<CommandFirmware> MakeSettingsFirmware(Link& link, const InstrumentProfile& profile,
                                                      SettingsFirmware** commands, bool hasLoader) {
    auto device = std::make_unique<SettingsFirmware>(link, profile);
    if (commands != nullptr) *commands = device.get();
    // The program that set up the settings memory; none before the first start.
    auto owner = std::make_shared<std::optional<uint64_t>>();
    return std::make_unique<CommandFirmware>(
        std::move(device), hasLoader, [owner](CommandDevice& d, const BootImage& image) {
            auto& firmware = static_cast<SettingsFirmware&>(d);
            firmware.SetImageSound(image.sound);
            if (!image.code.empty() && !image.version.empty()) {
                firmware.SetVersionReply(image.code + " " + image.version);
            }
            if (!owner->has_value()) {
                *owner = image.program;
            } else if (image.sound && **owner != image.program) {
                firmware.FactoryReset();
                *owner = image.program;
            }
        });
}

}  // namespace korrsim
