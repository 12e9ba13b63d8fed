// The logger family's section of the settings file, read back into the logger settings.
#include <cstdio>
#include <span>
#include <vector>

#include "device/DeviceRecords.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"

namespace korr {

namespace {

constexpr uint32_t kTr30Capabilities = 0x0707FFF7;
constexpr uint32_t kTr3bCapabilities = 0x000474BE;
constexpr uint32_t kFieldHubCapabilities = 0x00024583;
constexpr int kDeviceTypeTr3b = 2;
constexpr int kDeviceTypeFieldHub = 4;
constexpr size_t kFiveCapacity = 64;
constexpr int kPortKeys = 5;

// One reading pass: the file text and the valid mask built from nothing.
struct LoggerReader {
    const char* text;
    DeviceSettingsRecord& s;
    uint32_t mask = 0;

    template <size_t N>
    void Text(const char* key, char (&field)[N], uint32_t bit) {
        if (GetFileString(text, key, field, N)) mask |= bit;
    }
    template <typename Number>
    void Integer(const char* key, Number& field, uint32_t bit) {
        int32_t value = 0;
        if (!GetFileLong(text, key, &value)) return;
        field = static_cast<Number>(value);
        mask |= bit;
    }
    void Real(const char* key, double& field, uint32_t bit) {
        if (GetFileDouble(text, key, &field)) mask |= bit;
    }
    // Five numbers separated by blanks, stored only when all five are there.
    bool Five(const char* key, uint8_t (&field)[5]) {
        char value[kFiveCapacity];
        if (!GetFileString(text, key, value, sizeof value)) return false;
        unsigned v[5];
        if (std::sscanf(value, "%u %u %u %u %u", &v[0], &v[1], &v[2], &v[3], &v[4]) != 5) {
            return false;
        }
        for (int i = 0; i < 5; ++i) field[i] = static_cast<uint8_t>(v[i]);
        return true;
    }
    // The radio subchannel also tells that the logger has a radio, unless the file marks that
    // it has none ("radio" line): then the radio lines hold nothing to restore. Files without
    // the mark are read as they always were.
    void Subchannel(int32_t* trait) {
        int32_t radio = 1;
        const bool marked = GetFileLong(text, "radio", &radio);
        if (marked && radio == 0) {
            mask &= ~(kSetRadioMode | kSetRadioChannel | kSetRadioSubchannel);
            *trait = (*trait & ~kTraitRadio) | kTraitValid;
            mask |= kSetTrait;
            return;
        }
        int32_t value = 0;
        if (!GetFileLong(text, "rsch", &value)) return;
        s.radioSubchannel = value;
        mask |= kSetRadioSubchannel | kSetTrait;
        *trait |= kTraitValid | kTraitRadio;
    }
    // An ADC set counts only when its first factors are real (0 and 255 mark them missing).
    void ADC(const char* slopesKey, const char* offsetsKey, uint8_t (&slopes)[5],
             uint8_t (&offsets)[5], uint32_t bit) {
        Five(slopesKey, slopes);
        if (Five(offsetsKey, offsets) && slopes[0] != 0 && slopes[0] != 255 && offsets[0] != 0 &&
            offsets[0] != 255) {
            mask |= bit;
        }
    }
    void Ports() {
        if (Five("ports", s.ports)) mask |= kSetPorts;
    }
};

void ReadTr30(LoggerReader& r) {
    DeviceSettingsRecord& s = r.s;
    r.Text("deviceid", s.deviceID, kSetDeviceID);
    r.Text("name", s.deviceName, kSetName);
    r.Text("sn", s.serialNumber, kSetSerialNumber);
    r.Integer("trait", s.trait, kSetTrait);
    r.Integer("wake", s.interval, kSetInterval);
    r.Integer("padc", s.padcHz, kSetPADC);
    r.Ports();
    if (r.Five("depth", s.depths)) r.mask |= kSetDepths;
    r.ADC("ADC15 slopes", "ADC15 offsets", s.adc15A, s.adc15B, kSetADC15);
    r.ADC("ADC30 slopes", "ADC30 offsets", s.adc30A, s.adc30B, kSetADC30);
    r.Text("KorrBuild", s.build, kSetBuild);
    r.Integer("data", s.dataParameter, kSetDataParameter);
    r.Integer("rmode", s.radioMode, kSetRadioMode);
    r.Integer("rch", s.radioChannel, kSetRadioChannel);
    r.Subchannel(&s.trait);
    r.Text("site", s.site, kSetSite);
    r.Real("lat", s.latitude, kSetLatitude);
    r.Real("lon", s.longitude, kSetLongitude);
    r.Integer("timezone", s.timeZone, kSetTimeZone);
    r.Integer("report", s.reportMode, kSetReportMode);
    r.Text("apn", s.apn, kSetAPN);
    r.Text("user", s.apnUser, kSetAPNUser);
    r.Text("passwd", s.apnPassword, kSetAPNPassword);
    r.Text("host", s.remoteHost, kSetRemoteHost);
    r.Text("authkey", s.authKey, kSetAuthKey);
    r.Integer("ipport", s.ipPort, kSetIPPort);
    s.capabilities = kTr30Capabilities;
}

// Older files carry a Tr3b's ports as five "Port number" lines; the writer puts them on the
// "ports" line, which is read when none of those lines is there.
void ReadTr3bPorts(LoggerReader& r) {
    char key[32];
    int32_t port = 0;
    bool any = false;
    for (int i = 0; i < kPortKeys; ++i) {
        std::snprintf(key, sizeof key, "Port number=\"%d\" value", i + 1);
        if (GetFileLong(r.text, key, &port)) any = true;
        r.s.ports[i] = static_cast<uint8_t>(port);
    }
    if (!any) {
        r.Ports();
    } else if (port > 0) {
        r.mask |= kSetPorts;
    }
}

void ReadTr3b(LoggerReader& r) {
    DeviceSettingsRecord& s = r.s;
    r.Text("name", s.deviceName, kSetName);
    r.Text("sn", s.serialNumber, kSetSerialNumber);
    r.Integer("wake", s.interval, kSetInterval);
    r.Integer("padc", s.padcHz, kSetPADC);
    ReadTr3bPorts(r);
    r.Text("KorrBuild", s.build, kSetBuild);
    s.capabilities = kTr3bCapabilities;
}

void ReadFieldHub(LoggerReader& r) {
    DeviceSettingsRecord& s = r.s;
    r.Text("name", s.deviceName, kSetName);
    r.Text("sn", s.serialNumber, kSetSerialNumber);
    r.Integer("rch", s.radioChannel, kSetRadioChannel);
    int32_t trait = 0;  // the hub's trait is made from the file alone
    r.Subchannel(&trait);
    if (r.mask & kSetTrait) s.trait = trait;
    r.Integer("data", s.dataParameter, kSetDataParameter);
    s.capabilities = kFieldHubCapabilities;
}

// The keys of the settings a restore writes back that every file of the type holds (the ADC
// lines only come with ADC factors).
std::span<const char* const> LoggerKeysAlwaysWritten(int deviceType) {
    static constexpr const char* kTr3b[] = {"name", "sn", "wake", "padc", "ports"};
    static constexpr const char* kFieldHub[] = {"name", "sn", "rch", "rsch", "data"};
    static constexpr const char* kTr30[] = {
        "deviceid", "name", "sn",   "trait",    "wake",   "padc", "ports", "depth",
        "data",     "rmode", "rch", "rsch",     "site",   "lat",  "lon",   "timezone",
        "report",   "apn",  "user", "passwd",   "host",   "authkey", "ipport"};
    if (deviceType == kDeviceTypeTr3b) return kTr3b;
    if (deviceType == kDeviceTypeFieldHub) return kFieldHub;
    return kTr30;
}

}  // namespace

std::vector<const char*> LoggerRestoredKeys(int deviceType) {
    const std::span<const char* const> always = LoggerKeysAlwaysWritten(deviceType);
    std::vector<const char*> keys(always.begin(), always.end());
    if (deviceType != kDeviceTypeTr3b && deviceType != kDeviceTypeFieldHub) {
        keys.insert(keys.end(), {"ADC15 slopes", "ADC15 offsets", "ADC30 slopes", "ADC30 offsets"});
    }
    return keys;
}

int32_t ReadLoggerSection(Korr_protocol& protocol, const char* fileText) {
    char type[33];
    if (!GetFileString(fileText, "type", type, sizeof type) ||
        !LoggerTypeLineMatches(protocol.deviceType, type)) {
        return -30;
    }
    DeviceSettingsRecord settings = protocol.loggerSettings;
    LoggerReader reader{.text = fileText, .s = settings};
    if (protocol.deviceType == kDeviceTypeTr3b) {
        ReadTr3b(reader);
    } else if (protocol.deviceType == kDeviceTypeFieldHub) {
        ReadFieldHub(reader);
    } else {
        ReadTr30(reader);
    }
    std::span<const char* const> always = LoggerKeysAlwaysWritten(protocol.deviceType);
    // Older Tr3b files carry the ports as "Port number" lines instead of the last key.
    if (protocol.deviceType == kDeviceTypeTr3b && FindFileValue(fileText, "Port number=\"1\" value")) {
        always = always.first(always.size() - 1);
    }
    NoteMissingKeys(fileText, always, protocol.settingsNotInFile);
    settings.validMask = reader.mask;
    protocol.loggerSettings = settings;
    protocol.SavedFlags = reader.mask;
    return 1;
}

}  // namespace korr
