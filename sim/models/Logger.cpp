#include "models/Logger.h"

#include <cstdio>

namespace korrsim {

namespace {

// TR30: the keys of each release. Radio settings are listed here and dropped without a radio.
constexpr LoggerKey kTr30KeyTable[] = {
    {.key = "i", .value = "TR30LOG", .fromVersion = 0, .factory = "NEWLOG"},
    {.key = "sn", .value = "T30-004711", .fromVersion = 0},
    {.key = "w", .value = "300", .fromVersion = 0, .factory = "60"},
    {.key = "padc", .value = "0", .fromVersion = 0},
    {.key = "ports", .value = "1 2 3 4 5", .fromVersion = 0},
    {.key = "r", .value = "0", .fromVersion = 0},
    {.key = "rch", .value = "5", .fromVersion = 0},
    {.key = "rsch", .value = "1A2B", .fromVersion = 0},
    {.key = "rver", .value = "1084", .fromVersion = 0},
    {.key = "t", .value = "2026-12-1 0:00:00", .fromVersion = 0},
    {.key = "d", .value = "2026-12-1", .fromVersion = 0},
    {.key = "trait", .value = "254", .fromVersion = 108},
    {.key = "data", .value = "0", .fromVersion = 114},
    {.key = "build", .value = "T30B0114", .fromVersion = 114},
    {.key = "devid", .value = "DEV00001", .fromVersion = 200},
    {.key = "report", .value = "0", .fromVersion = 200},
    {.key = "depth", .value = "10 20 30 40 50", .fromVersion = 200, .factory = "0 0 0 0 0"},
    {.key = "site", .value = "North Field", .fromVersion = 200, .factory = ""},
    {.key = "tz", .value = "0", .fromVersion = 200, .factory = "0"},
    {.key = "lat", .value = "+46.50000", .fromVersion = 202},
    {.key = "long", .value = "-117.25000", .fromVersion = 202},
};

constexpr LoggerKey kCommDeviceKeyTable[] = {
    {.key = "i", .value = "MCD01", .fromVersion = 0},
    {.key = "sn", .value = "MCD-000815", .fromVersion = 0},
    {.key = "t", .value = "2026-12-1 0:00:00", .fromVersion = 0},
    {.key = "d", .value = "2026-12-1", .fromVersion = 0},
};

// The settings a user makes, as factory firmware holds them.
constexpr const char* kFactoryName = "NEWLOG";
constexpr const char* kFactorySerial = "00000000";

constexpr LoggerKey kTr3bKeyTable[] = {
    {.key = "i", .value = "B-POND2", .fromVersion = 0, .factory = kFactoryName},
    {.key = "sn", .value = "T3B-120877", .fromVersion = 0, .factory = kFactorySerial},
    {.key = "w", .value = "900", .fromVersion = 0, .factory = "60"},
    {.key = "padc", .value = "50", .fromVersion = 0, .factory = "0"},
    {.key = "ports", .value = "3 3 1 0 2", .fromVersion = 0, .factory = "0 0 0 0 0"},
    {.key = "r", .value = "1", .fromVersion = 0},
    {.key = "rch", .value = "7", .fromVersion = 0},
    {.key = "rsch", .value = "0C1D", .fromVersion = 0},
    {.key = "rver", .value = "1084", .fromVersion = 0},
    {.key = "t", .value = "2026-12-1 0:00:00", .fromVersion = 0},
    {.key = "d", .value = "2026-12-1", .fromVersion = 0},
    {.key = "trait", .value = "254", .fromVersion = 0},
    {.key = "build", .value = "T3BB0204", .fromVersion = 204},
};

constexpr LoggerKey kFieldHubKeyTable[] = {
    {.key = "i", .value = "HUB-EAST", .fromVersion = 0, .factory = kFactoryName},
    {.key = "sn", .value = "KS-004455", .fromVersion = 0, .factory = kFactorySerial},
    {.key = "data", .value = "3", .fromVersion = 0, .factory = "0"},
    {.key = "r", .value = "0", .fromVersion = 0},
    {.key = "rch", .value = "4", .fromVersion = 0, .factory = "1"},
    {.key = "rsch", .value = "BEEF", .fromVersion = 0, .factory = "0"},
    {.key = "rver", .value = "1090", .fromVersion = 0},
    {.key = "t", .value = "2026-12-1 0:00:00", .fromVersion = 0},
    {.key = "d", .value = "2026-12-1", .fromVersion = 0},
};

// Loggers known by their device id keep their serial number through a firmware update.
constexpr LoggerKey kNetworkLoggerKeyTable[] = {
    {.key = "i", .value = "ZL-SITE4", .fromVersion = 0, .factory = kFactoryName},
    {.key = "sn", .value = "Z2-771100", .fromVersion = 0},
    {.key = "w", .value = "600", .fromVersion = 0, .factory = "60"},
    {.key = "padc", .value = "0", .fromVersion = 0},
    {.key = "ports", .value = "1 2 3 4 5", .fromVersion = 0, .factory = "0 0 0 0 0"},
    {.key = "r", .value = "0", .fromVersion = 0},
    {.key = "rch", .value = "5", .fromVersion = 0, .factory = "1"},
    {.key = "rsch", .value = "1A2B", .fromVersion = 0, .factory = "0"},
    {.key = "rver", .value = "1084", .fromVersion = 0},
    {.key = "t", .value = "2026-12-1 0:00:00", .fromVersion = 0},
    {.key = "d", .value = "2026-12-1", .fromVersion = 0},
    {.key = "trait", .value = "254", .fromVersion = 0},
    {.key = "data", .value = "2", .fromVersion = 0, .factory = "0"},
    {.key = "build", .value = "ZLB0105", .fromVersion = 0},
    {.key = "devid", .value = "ZL000417", .fromVersion = 0},
    {.key = "report", .value = "1", .fromVersion = 0, .factory = "0"},
    {.key = "depth", .value = "5 15 30 60 90", .fromVersion = 0, .factory = "0 0 0 0 0"},
    {.key = "site", .value = "Ridge plot #4, upper", .fromVersion = 0, .factory = ""},
    {.key = "tz", .value = "-28", .fromVersion = 0, .factory = "0"},
    {.key = "lat", .value = "+46.73210", .fromVersion = 0, .factory = "+0.00000"},
    {.key = "long", .value = "-117.16870", .fromVersion = 0, .factory = "+0.00000"},
};

constexpr const char* kRadioKeys[] = {"r", "rch", "rsch", "rver"};

// The network modem's settings (their values are the device's own).
constexpr LoggerKey kModemKeys[] = {
    {.key = "apn", .value = "internet.example", .fromVersion = 0, .factory = "default.apn"},
    {.key = "user", .value = "field", .fromVersion = 0, .factory = "guest"},
    {.key = "passwd", .value = "s3cret", .fromVersion = 0, .factory = "guest"},
    {.key = "authkey",
     .value = "00112233445566778899AABBCCDDEEFF",
     .fromVersion = 0,
     .factory = "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
    {.key = "host", .value = "data.example.com", .fromVersion = 0, .factory = "0.0.0.0"},
    {.key = "ipport", .value = "8080", .fromVersion = 0, .factory = "0"},
};

constexpr int kTraitRadio = 0x01;
constexpr int kTraitModem = 0x08;

}  // namespace

const std::span<const LoggerKey> kTr30Keys{kTr30KeyTable};
const std::span<const LoggerKey> kCommDeviceKeys{kCommDeviceKeyTable};
const std::span<const LoggerKey> kTr3bKeys{kTr3bKeyTable};
const std::span<const LoggerKey> kFieldHubKeys{kFieldHubKeyTable};
const std::span<const LoggerKey> kNetworkLoggerKeys{kNetworkLoggerKeyTable};

int VersionNumberOf(const std::string& text) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos) return 0;
    size_t start = text.rfind(' ', dot);
    start = start == std::string::npos ? 0 : start + 1;
    int major = 0, minor = 0, sub = 0;
    int n = std::sscanf(text.c_str() + start, "%d.%1d%1d", &major, &minor, &sub);
    if (n < 2) return 0;
    return major * 100 + minor * 10 + (n > 2 ? sub : 0);
}

Logger::Logger(Link& link, std::span<const LoggerKey> keys, std::string versionReply)
    : CommandDevice(link), versionReply_(std::move(versionReply)) {
    Build(keys);
}

Logger::Logger(EventLoop& loop, Sender send, std::span<const LoggerKey> keys,
               std::string versionReply)
    : CommandDevice(loop, std::move(send)), versionReply_(std::move(versionReply)) {
    Build(keys);
}

void Logger::Build(std::span<const LoggerKey> keys) {
    keys_ = keys;
    const int version = Version();
    for (const LoggerKey& k : keys) {
        if (version >= k.fromVersion) Settings().Define(k.key, k.value);
    }
    OnGet("ver", [this] { return Reply::Text(versionReply_); });
    // The trait is stored as its complement: bit 0 a radio module, bit 3 a network modem.
    OnSet("trait", [this](const std::string& value) {
        if (!Settings().Knows("trait")) return Reply::Error();
        int stored = 0;
        if (std::sscanf(value.c_str(), "%d", &stored) != 1) return Reply::Error();
        Settings().Set("trait", std::to_string(stored & 0xFF));
        return Reply::Ok();
    });
    // The build belongs to the firmware: "set -build" is acknowledged and changes nothing.
    OnSet("build", [this](const std::string&) {
        return Settings().Knows("build") ? Reply::Ok() : Reply::Error();
    });
    radio_ = Settings().Knows("rch");
}

void Logger::StoreTrait() {
    if (!Settings().Knows("trait")) return;
    const int trait = (radio_ ? kTraitRadio : 0) | (modem_ ? kTraitModem : 0);
    Settings().Set("trait", std::to_string(~trait & 0xFF));
}

void Logger::SetRadio(bool on) {
    radio_ = on;
    for (const LoggerKey& k : keys_) {
        for (const char* key : kRadioKeys) {
            if (std::string(k.key) != key) continue;
            if (on && Version() >= k.fromVersion) {
                Settings().Define(k.key, k.value);
            } else if (!on) {
                Settings().Forget(k.key);
            }
        }
    }
    StoreTrait();
}

void Logger::FactoryReset() {
    auto reset = [this](const LoggerKey& k) {
        if (k.factory != nullptr && Settings().Knows(k.key)) Settings().Set(k.key, k.factory);
    };
    for (const LoggerKey& k : keys_) reset(k);
    for (const LoggerKey& k : kModemKeys) reset(k);
    if (!newBuild_.empty() && Settings().Knows("build")) Settings().Set("build", newBuild_);
}

void Logger::SetModem(bool on) {
    modem_ = on;
    for (const LoggerKey& k : kModemKeys) {
        if (on) {
            Settings().Define(k.key, k.value);
        } else {
            Settings().Forget(k.key);
        }
    }
    StoreTrait();
}

OldLogger::OldLogger(Link& link, std::string version)
    : CommandDevice(link), version_(std::move(version)) {
    Settings().Define("i", "OLDTR3");
    Settings().Define("sn", "TR3-000042");
    Settings().Define("w", "60");
    Settings().Define("p", "0");
    Settings().Define("r", "0");
    SetBaudChange(false);
    AddCommand("show", [this](const std::string&) { return Reply::Text(ShowReport()); });
    AddCommand("hertz", [this](const std::string&) { return Reply::Text(Settings().Get("p")); });
    // This firmware confirms a setting with its prompt alone.
    AddCommand("set", [this](const std::string& args) {
        std::string key, value;
        SplitKeyValue(args, &key, &value);
        return Settings().Set(key, value) ? Reply::Raw("\r>") : Reply::Error();
    });
}

std::string OldLogger::ShowReport() const {
    const SettingsStore& s = Settings();
    return "ID: " + s.Get("i") + "\rVersion: " + version_ + "\rRadio: " + s.Get("r") +
           "\rWake: " + s.Get("w") + "\rResets: " + std::to_string(resets_);
}

}  // namespace korrsim
