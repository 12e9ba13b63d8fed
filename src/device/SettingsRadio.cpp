// The radio module of a logger: channel, subchannel and firmware version. New firmware passes
// get/set commands to it; old firmware hands the line to the module ("term"); over the radio
// the module cannot be changed at all.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kRadioTimeoutMs = 2000;
constexpr uint32_t kTermPauseMs = 500;
constexpr unsigned long kMaxChannel = 6;
constexpr unsigned long kMaxSubchannel = 0xFFFF;
constexpr int32_t kNoRadio = -45;

struct RadioRun {
    MORVA_Protocol& link;
    uint32_t start;
    uint32_t done = 0;
    uint32_t failed = 0;
    int32_t result = 1;
    bool noRadio = false;
};

// One exchange of an item; -45 when the device says it has no radio.
int32_t AskRadio(RadioRun& run, const char* command, char* reply) {
    int32_t r = AskDevice(run.link, command, reply, kSettingReplyCapacity, kRadioTimeoutMs);
    if (r >= 0 && Contains(reply, "No Radio")) return kNoRadio;
    return r;
}

// Where a read value starts: two characters after the first 'K' (of "OK"), else at the start.
const char* RadioValue(const char* reply) {
    const char* k = std::strchr(reply, 'K');
    if (k == nullptr) return reply;
    return k[1] == '\0' ? k + 1 : k + 2;
}

void Finish(RadioRun& run, uint32_t bit, int32_t outcome) {
    if (outcome > 0) {
        run.done |= bit;
        return;
    }
    run.failed |= bit;
    run.result = outcome;
    if (outcome == kNoRadio) run.noRadio = true;
}

void SetItem(RadioRun& run, uint32_t bit, const char* key, int32_t value) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set %s %X\r", key, static_cast<unsigned>(value));
    const char* confirm = run.link.settings.deviceClass == kClassTr3 ? "OK\r\rOK" : "OK";
    int32_t outcome = -30;
    for (uint32_t attempt = 0; attempt < run.link.tries; ++attempt) {
        char reply[kSettingReplyCapacity];
        int32_t r = AskRadio(run, command, reply);
        if (r == kNoRadio) {
            outcome = r;
            break;
        }
        if (r >= 0 && Contains(reply, confirm)) {
            LINK_LOG(run.link, LOG_VERBOSE, "MSRadioCommand set %s to %d (%d ms)", key + 1, value,
                     ElapsedMs(run.start));
            outcome = 1;
            break;
        }
        outcome = r < 0 ? r : -30;
    }
    Finish(run, bit, outcome);
}

bool IsRadioVersion(const char* text) {
    for (int i = 0; i < 4; ++i) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    return text[4] == '\0';
}

void ReadVersion(RadioRun& run, char* version) {
    int32_t outcome = -30;
    version[0] = '\0';
    for (uint32_t attempt = 0; attempt < run.link.tries; ++attempt) {
        char reply[kSettingReplyCapacity];
        int32_t r = AskRadio(run, "get -rver\r", reply);
        char value[kDeviceNameCapacity] = {};
        if (r >= 0 && std::sscanf(RadioValue(reply), "%8s", value) == 1) {
            if (value[0] == '0' && value[1] == '0') r = kNoRadio;  // the module is not fitted
            if (r >= 0 && IsRadioVersion(value)) {
                CopyText(version, kDeviceNameCapacity, value);
                LINK_LOG(run.link, LOG_VERBOSE, "MSRadioCommand found rver %s (%d ms)", version,
                         ElapsedMs(run.start));
                outcome = 1;
                break;
            }
        }
        outcome = r == -31 ? 0 : r < 0 ? r : -30;
        if (r == kNoRadio) break;
    }
    if (outcome <= 0 && outcome != kNoRadio) {
        LINK_LOG(run.link, LOG_VERBOSE, "MSRadioCommand could not find rver (%d ms)",
                 ElapsedMs(run.start));
    }
    Finish(run, kSetRadioVersion, outcome);
}

void ReadNumberItem(RadioRun& run, uint32_t bit, const char* key, unsigned long limit,
                    int32_t* value) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "get %s\r", key);
    int32_t outcome = -30;
    for (uint32_t attempt = 0; attempt < run.link.tries; ++attempt) {
        char reply[kSettingReplyCapacity];
        int32_t r = AskRadio(run, command, reply);
        if (r >= 0) {
            const char* from = RadioValue(reply);
            char* end = nullptr;
            unsigned long n = std::strtoul(from, &end, 16);
            if (end != from && n <= limit) {
                *value = static_cast<int32_t>(n);
                LINK_LOG(run.link, LOG_VERBOSE, "MSRadioCommand found %s %d (%d ms)", key + 1,
                         *value, ElapsedMs(run.start));
                outcome = 1;
                break;
            }
        }
        outcome = r == -31 ? 0 : r < 0 ? r : -30;
        if (r == kNoRadio) break;
    }
    if (outcome <= 0 && outcome != kNoRadio) {
        LINK_LOG(run.link, LOG_VERBOSE, "MSRadioCommand could not find %s (%d ms)", key + 1,
                 ElapsedMs(run.start));
    }
    Finish(run, bit, outcome);
}

int32_t NewCommandSet(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                      int mode, uint32_t* mask, uint32_t start) {
    RadioRun run{.link = link, .start = start};
    const uint32_t wanted = *mask;
    if (mode == kSettingWrite) {
        if ((wanted & kSetRadioChannel) && channel != nullptr) {
            SetItem(run, kSetRadioChannel, "-rch", *channel);
        }
        if (!run.noRadio && (wanted & kSetRadioSubchannel) && subchannel != nullptr) {
            SetItem(run, kSetRadioSubchannel, "-rsch", *subchannel);
        }
    } else {
        if ((wanted & kSetRadioVersion) && version != nullptr) ReadVersion(run, version);
        if (!run.noRadio && (wanted & kSetRadioChannel) && channel != nullptr) {
            ReadNumberItem(run, kSetRadioChannel, "-rch", kMaxChannel, channel);
        }
        if (!run.noRadio && (wanted & kSetRadioSubchannel) && subchannel != nullptr) {
            ReadNumberItem(run, kSetRadioSubchannel, "-rsch", kMaxSubchannel, subchannel);
        }
    }
    if ((run.result != 0 && run.result != kNoRadio) || run.done != 0) {
        if (run.result < 0 || run.failed != 0) {
            if (run.done != 0) run.result = -35;
            LINK_LOG(link, LOG_ERROR, "MSRadioCommand failed with error %d setting %d (%d ms)",
                     run.result, static_cast<int>(run.failed), ElapsedMs(start));
        }
    } else {
        LINK_LOG(link, LOG_VERBOSE, "MSRadioCommand couldn't find a radio (%d ms)",
                 ElapsedMs(start));
    }
    *mask = run.done;
    return run.result;
}

// Old firmware: "term" hands the line to the radio module until the next "term".
int32_t OldCommandSet(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                      int mode, uint32_t* mask) {
    KSWrite(link.port, "term\r", 5);
    DelayMs(kTermPauseMs);
    int32_t result = Tm8Config(link, channel, subchannel, version, mode, mask);
    DelayMs(kTermPauseMs);
    char reply[kSettingReplyCapacity];
    AskDevice(link, "term\r", reply, sizeof reply);
    return result;
}

int32_t OverTheRadio(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                     int mode, uint32_t* mask) {
    if (mode == kSettingWrite) {
        LINK_LOG(link, LOG_VERBOSE,
                 "MSRadioCommand can't set radio parameters while connected over the radio");
        *mask = 0;
        return -12;
    }
    if (version != nullptr) version[0] = '\0';
    int32_t result = 1;
    *mask = kSetRadioChannel | kSetRadioSubchannel;
    if (link.request.configureRadioFirst) {
        if (channel != nullptr) *channel = link.request.radioChannel;
        if (subchannel != nullptr) *subchannel = link.request.radioSubchannel;
    } else {
        result = Tm8Config(link, channel, subchannel, nullptr, kSettingRead, mask);
    }
    const int rch = channel != nullptr ? *channel : 0;
    const int rsch = subchannel != nullptr ? *subchannel : 0;
    if (link.request.configureRadioFirst) {
        LINK_LOG(link, LOG_VERBOSE,
                 "MSRadioCommand knows the RCH is %d and RSCH is %d (can't get RVER)", rch, rsch);
    } else {
        LINK_LOG(link, LOG_VERBOSE,
                 "MSRadioCommand asked the Tm8 and found the RCH is %d and RSCH is %d (can't get "
                 "RVER)",
                 rch, rsch);
    }
    return result;
}

}  // namespace

int32_t MSRadioCommand(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                       int mode, uint32_t* mask) {
    const uint32_t start = TickMs();
    if (mask == nullptr) return -10;
    if ((link.settings.capabilities & kCapRadioModule) == 0) {
        LINK_LOG(link, LOG_ERROR, "MSRadioCommand failed with error %d setting %d (%d ms)", -1,
                 static_cast<int>(*mask), ElapsedMs(start));
        *mask = 0;
        return -1;
    }
    if (link.IsRadioLink()) return OverTheRadio(link, channel, subchannel, version, mode, mask);
    if (link.settings.newCommandSet) {
        return NewCommandSet(link, channel, subchannel, version, mode, mask, start);
    }
    if (link.settings.deviceClass != kClassTr3) {
        LINK_LOG(link, LOG_ERROR, "MSRadioCommand failed with error %d setting %d (%d ms)", -21,
                 static_cast<int>(*mask), ElapsedMs(start));
        *mask = 0;
        return -21;
    }
    return OldCommandSet(link, channel, subchannel, version, mode, mask);
}

}  // namespace korr
