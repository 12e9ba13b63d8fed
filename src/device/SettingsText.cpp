// The text settings: device name, device ID, site, serial number, build string and the network
// settings. All but the name follow one pattern, so they are rows of one table.
#include <cctype>
#include <cstdio>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

struct TextSetting {
    const char* logName;
    const char* key;        // "set <key> %s\r", "get <key>\r"
    const char* setWhat;    // "<logName> set <setWhat> to \"%s\""
    const char* foundWhat;  // "<logName> found <foundWhat> \"%s\""
    Gate gate = Gate::kModem;
    uint32_t capability = 0;
    uint32_t maxChars = 0;  // the field holds this many and the NUL
    uint32_t replyCapacity = kSettingReplyCapacity;
    bool afterFirstReturn = false;  // the value follows the first carriage return, else white space
    bool rejectIsBadValue = true;   // a write the device rejects is a bad value (-12)
    bool secret = false;            // the value never goes to the log
    uint32_t clearOnFailure = 0;    // valid-mask bit given up when the command fails
    // Read again with this key when the device rejects the first.
    const char* fallbackKey = nullptr;
    bool hexKey = false;  // a write needs maxChars hexadecimal digits
};

constexpr TextSetting kDeviceID = {.logName = "DeviceIDCommand",
                                   .key = "-devid",
                                   .setWhat = "DeviceID",
                                   .foundWhat = "DeviceID",
                                   .gate = Gate::kCapability,
                                   .capability = kCapExtended,
                                   .maxChars = 8};
constexpr TextSetting kSite = {.logName = "SiteCommand",
                               .key = "-site",
                               .setWhat = "site",
                               .foundWhat = "site name",
                               .gate = Gate::kCapability,
                               .capability = kCapExtended,
                               .maxChars = 25,
                               .clearOnFailure = kSetSite};
constexpr TextSetting kSerialNumber = {.logName = "SNCommand",
                                       .key = "-sn",
                                       .setWhat = "device serial number",
                                       .foundWhat = "device serial number",
                                       .gate = Gate::kWriteNeedsNewSet,
                                       .maxChars = 15,
                                       .afterFirstReturn = true};
constexpr TextSetting kBuild = {.logName = "KorrBuildCommand",
                                .key = "-build",
                                .setWhat = "KorrBuild number",
                                .foundWhat = "KorrBuild info",
                                .gate = Gate::kCapability,
                                .capability = kCapBuild,
                                .maxChars = 16,
                                .afterFirstReturn = true,
                                .rejectIsBadValue = false};
constexpr TextSetting kAPN = {.logName = "APNCommand",
                              .key = "-apn",
                              .setWhat = "APN",
                              .foundWhat = "APN",
                              .maxChars = 35,
                              .replyCapacity = 64};
constexpr TextSetting kAPNUser = {.logName = "APNUserCommand",
                                  .key = "-user",
                                  .setWhat = "APN user name",
                                  .foundWhat = "APN user name",
                                  .maxChars = 35,
                                  .replyCapacity = 64};
constexpr TextSetting kAPNPassword = {.logName = "APNPasswdCommand",
                                      .key = "-passwd",
                                      .setWhat = "APN password",
                                      .foundWhat = "APN password",
                                      .maxChars = 35,
                                      .replyCapacity = 64,
                                      .secret = true};
constexpr TextSetting kAuthKey = {.logName = "AuthKeyCommand",
                                  .key = "-authkey",
                                  .setWhat = "authkey",
                                  .foundWhat = "authkey",
                                  .maxChars = 32,
                                  .replyCapacity = 64,
                                  .secret = true,
                                  .fallbackKey = "-teakey",  // what older modems call it
                                  .hexKey = true};
constexpr TextSetting kHost = {.logName = "HostCommand",
                               .key = "-host",
                               .setWhat = "remote host name",
                               .foundWhat = "the remote host name",
                               .maxChars = 63,
                               .replyCapacity = 96};

const char* Shown(const TextSetting& s, const char* value) {
    return s.secret ? kMaskedSecret : value;
}

bool IsHexKey(const char* key, uint32_t digits) {
    for (uint32_t i = 0; i < digits; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(key[i]))) return false;  // the NUL too
    }
    return true;
}

int32_t WriteText(MORVA_Protocol& link, const TextSetting& s, const char* value, uint32_t start) {
    if (s.hexKey && !IsHexKey(value, s.maxChars)) return -11;
    char shortened[kCommandCapacity];
    CopyText(shortened, value, s.maxChars);
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set %s %s\r", s.key, shortened);
    int32_t r = SendSet(link, command, Confirm::kOK, s.replyCapacity);
    if (r == -34 && s.rejectIsBadValue) return -12;
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "%s set %s to \"%s\" (%d ms)", s.logName, s.setWhat,
             Shown(s, shortened), ElapsedMs(start));
    return 1;
}

int32_t ReadText(MORVA_Protocol& link, const TextSetting& s, char* field, uint32_t start) {
    char reply[kReplyTextCapacity];
    int32_t r = GetSetting(link, s.key, reply, s.replyCapacity);
    bool fallback = false;
    if (r == -34 && s.fallbackKey != nullptr) {
        r = GetSetting(link, s.fallbackKey, reply, s.replyCapacity);
        fallback = true;
    }
    if (r < 0) return r;
    const char* from = s.afterFirstReturn ? AfterFirstReturn(reply) : SkipSpace(reply);
    char value[kCommandCapacity];
    r = TakeText(from, value, s.maxChars);
    if (r < 0) return r;
    CopyText(field, s.maxChars + 1, value);
    if (fallback) {
        LINK_LOG(link, LOG_VERBOSE, "%s found %s (as %s) \"%s\" (%d ms)", s.logName, s.foundWhat,
                 s.fallbackKey + 1, Shown(s, value), ElapsedMs(start));
    } else {
        LINK_LOG(link, LOG_VERBOSE, "%s found %s \"%s\" (%d ms)", s.logName, s.foundWhat,
                 Shown(s, value), ElapsedMs(start));
    }
    return 1;
}

int32_t RunText(MORVA_Protocol& link, const TextSetting& s, char* field, int mode) {
    const uint32_t start = TickMs();
    const bool write = mode == kSettingWrite;
    int32_t result;
    if (field == nullptr) {
        result = -10;
    } else if (!GateOpen(link, s.gate, s.capability, write)) {
        result = -1;
    } else {
        result = write ? WriteText(link, s, field, start) : ReadText(link, s, field, start);
    }
    if (result < 0) link.settings.validMask &= ~s.clearOnFailure;
    return Finished(link, s.logName, result, start);
}

int32_t NameWrite(MORVA_Protocol& link, const char* name, uint32_t start) {
    int32_t r = CheckDeviceName(name);
    if (r < 0) {
        LINK_LOG(link, LOG_ERROR, "NameCommand: \"%s\" is an illegal device name (error %d)", name,
                 r);
        return r;
    }
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set -i %s\r", name);
    r = SendSet(link, command, Confirm::kOKOrPrompt);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "NameCommand set device name to \"%s\" (%d ms)", name,
             ElapsedMs(start));
    return 1;
}

int32_t NameRead(MORVA_Protocol& link, char* name, uint32_t start) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskDevice(link, "get -i\r", reply, sizeof reply);
    if (r == -31) return -36;  // the device has no name
    if (r < 0) return r;
    char found[kDeviceNameCapacity] = {};
    const char* from = AfterFirstReturn(reply);
    // A value that is only the prompt is no name either.
    if (*from == '>' || std::sscanf(from, "%8s", found) != 1) {
        LINK_LOG(link, LOG_VERBOSE, "NameCommand couldn't find device name (%d ms)",
                 ElapsedMs(start));
        return -30;
    }
    CopyText(name, kDeviceNameCapacity, found);
    LINK_LOG(link, LOG_VERBOSE, "NameCommand found device named \"%s\" (%d ms)", name,
             ElapsedMs(start));
    return 1;
}

}  // namespace

int32_t NameCommand(MORVA_Protocol& link, char* name, int mode) {
    const uint32_t start = TickMs();
    int32_t result;
    if (name == nullptr) {
        result = -10;
    } else {
        result = mode == kSettingWrite ? NameWrite(link, name, start) : NameRead(link, name, start);
    }
    return Finished(link, "NameCommand", result, start);
}

int32_t DeviceIDCommand(MORVA_Protocol& link, char* deviceID, int mode) {
    return RunText(link, kDeviceID, deviceID, mode);
}

int32_t SiteCommand(MORVA_Protocol& link, char* site, int mode) {
    return RunText(link, kSite, site, mode);
}

int32_t SNCommand(MORVA_Protocol& link, char* serialNumber, int mode) {
    return RunText(link, kSerialNumber, serialNumber, mode);
}

int32_t KorrBuildCommand(MORVA_Protocol& link, char* build, int mode) {
    return RunText(link, kBuild, build, mode);
}

int32_t APNCommand(MORVA_Protocol& link, char* apn, int mode) {
    return RunText(link, kAPN, apn, mode);
}

int32_t APNUserCommand(MORVA_Protocol& link, char* user, int mode) {
    return RunText(link, kAPNUser, user, mode);
}

int32_t APNPasswdCommand(MORVA_Protocol& link, char* password, int mode) {
    return RunText(link, kAPNPassword, password, mode);
}

int32_t AuthKeyCommand(MORVA_Protocol& link, char* key, int mode) {
    return RunText(link, kAuthKey, key, mode);
}

int32_t HostCommand(MORVA_Protocol& link, char* host, int mode) {
    return RunText(link, kHost, host, mode);
}

}  // namespace korr
