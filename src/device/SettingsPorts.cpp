// The settings that hold one value per port: the ports themselves and their depths.
#include <climits>
#include <cstdlib>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int kPortCount = 5;
constexpr int32_t kMaxPortValue = 255;

struct PortListSetting {
    const char* logName;
    const char* key;          // "set <key> %d %d %d %d %d\r", "get <key>\r"
    const char* what;         // "<logName> set <what> to ...", "<logName>: <what> are ..."
    const char* missingWhat;  // "<logName> only found %d of %d <missingWhat>"
    uint32_t capability;
    bool zeroWithoutCapability;  // a read the device cannot do clears the list
};

constexpr PortListSetting kDepths = {.logName = "DepthCommand",
                                     .key = "-depth",
                                     .what = "depths",
                                     .missingWhat = "port depths",
                                     .capability = kCapExtended,
                                     .zeroWithoutCapability = false};
constexpr PortListSetting kPorts = {.logName = "PortsCommand",
                                    .key = "-ports",
                                    .what = "ports",
                                    .missingWhat = "ports",
                                    .capability = kCapPorts,
                                    .zeroWithoutCapability = true};

int32_t WriteList(MORVA_Protocol& link, const PortListSetting& s, const uint8_t* v,
                  uint32_t start) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set %s %d %d %d %d %d\r", s.key, v[0], v[1], v[2], v[3],
               v[4]);
    int32_t r = SendSet(link, command, Confirm::kOK);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "%s set %s to %d %d %d %d %d (%d ms)", s.logName, s.what, v[0],
             v[1], v[2], v[3], v[4], ElapsedMs(start));
    return 1;
}

// Reads up to five numbers in a row; returns how many were found.
int ScanList(const char* text, int32_t* values) {
    int found = 0;
    while (found < kPortCount) {
        char* end = nullptr;
        long n = std::strtol(text, &end, 10);
        if (end == text || n < INT32_MIN || n > INT32_MAX) break;
        values[found++] = static_cast<int32_t>(n);
        text = end;
    }
    return found;
}

int32_t ReadList(MORVA_Protocol& link, const PortListSetting& s, uint8_t* v, uint32_t start) {
    char reply[kSettingReplyCapacity];
    int32_t r = GetSetting(link, s.key, reply, sizeof reply);
    if (r < 0) return r;
    int32_t values[kPortCount] = {};
    const int found = ScanList(reply, values);
    if (found < kPortCount) {
        LINK_LOG(link, LOG_VERBOSE, "%s only found %d of %d %s (%d ms)", s.logName, found,
                 kPortCount, s.missingWhat, ElapsedMs(start));
        return -30;
    }
    for (int i = 0; i < kPortCount; ++i) {
        v[i] = static_cast<uint8_t>(values[i] > kMaxPortValue ? kMaxPortValue : values[i]);
    }
    LINK_LOG(link, LOG_VERBOSE, "%s: %s are %d %d %d %d %d (%d ms)", s.logName, s.what, v[0], v[1],
             v[2], v[3], v[4], ElapsedMs(start));
    return 1;
}

int32_t RunList(MORVA_Protocol& link, const PortListSetting& s, uint8_t* values, int mode) {
    const uint32_t start = TickMs();
    const bool write = mode == kSettingWrite;
    int32_t result;
    if (values == nullptr) {
        result = -10;
    } else if ((link.settings.capabilities & s.capability) == 0) {
        if (!write && s.zeroWithoutCapability) {
            for (int i = 0; i < kPortCount; ++i) values[i] = 0;
        }
        result = -1;
    } else {
        result = write ? WriteList(link, s, values, start) : ReadList(link, s, values, start);
    }
    return Finished(link, s.logName, result, start);
}

}  // namespace

int32_t DepthCommand(MORVA_Protocol& link, uint8_t* depths, int mode) {
    return RunList(link, kDepths, depths, mode);
}

int32_t PortsCommand(MORVA_Protocol& link, uint8_t* ports, int mode) {
    return RunList(link, kPorts, ports, mode);
}

}  // namespace korr
