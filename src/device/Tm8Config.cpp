// The radio module's own configuration through its AT command mode ("+++" ... "ATCN").
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "common/FixedText.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kEnterTimeoutMs = 1500;
constexpr uint32_t kATTimeoutMs = 1000;
constexpr uint32_t kSaveTimeoutMs = 2000;
constexpr int kEnterAttempts = 2;
constexpr uint32_t kSettlePauseMs = 100;
constexpr uint32_t kLineEndWaitMs = 20;

// Error-count weights: which item failed.
constexpr int kChannelFailed = 1;
constexpr int kSubchannelFailed = 2;
constexpr int kVersionFailed = 4;
constexpr int kSaveFailed = 8;

struct Tm8Run {
    MORVA_Protocol& link;
    uint32_t start;
    uint32_t done = 0;
    int errors = 0;
    int32_t result = 1;
};

// An AT exchange: 1 when the reply holds "OK", -30 when not, or the command error.
int32_t AskOK(MORVA_Protocol& link, const char* command, uint32_t timeoutMs) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskDevice(link, command, reply, sizeof reply, timeoutMs, 'K');
    if (r < 0) return r;
    return Contains(reply, "OK") ? 1 : -30;
}

int32_t EnterCommandMode(MORVA_Protocol& link) {
    int32_t r = -30;
    for (int attempt = 0; attempt < kEnterAttempts; ++attempt) {
        r = AskOK(link, "+++", kEnterTimeoutMs);
        if (r > 0) {
            // The module ends its "OK" with a carriage return that would otherwise arrive after
            // the next purge and pass for the answer to the first read.
            KSWait(link.port, kLineEndWaitMs, '\r');
            break;
        }
    }
    return r;
}

void SetItem(Tm8Run& run, const char* format, int32_t value, uint32_t bit, int failWeight,
             const char* what) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "%s%X\r", format, static_cast<unsigned>(value));
    int32_t r = AskOK(run.link, command, kATTimeoutMs);
    if (r > 0) {
        LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config set %s to %d (%d ms)", what, value,
                 ElapsedMs(run.start));
        run.done |= bit;
        return;
    }
    run.errors += failWeight;
    if (r != -30) run.result = r;
}

void SetAll(Tm8Run& run, int32_t* channel, int32_t* subchannel, uint32_t wanted) {
    if ((wanted & kSetRadioChannel) && channel != nullptr) {
        SetItem(run, "ATHP", *channel, kSetRadioChannel, kChannelFailed, "rch");
    }
    if ((wanted & kSetRadioSubchannel) && subchannel != nullptr) {
        SetItem(run, "ATDT", *subchannel, kSetRadioSubchannel, kSubchannelFailed, "rsch");
    }
    int32_t r = AskOK(run.link, "ATWR\r", kSaveTimeoutMs);  // keeps the settings over a restart
    if (r > 0) {
        LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config saved configuration (%d ms)",
                 ElapsedMs(run.start));
        run.result = 1;
        return;
    }
    run.errors += kSaveFailed;
    if (r != -30) run.result = r;
}

// Reads one answer of the module (it ends its replies with a carriage return).
int32_t AskValue(MORVA_Protocol& link, const char* command, char* reply) {
    return AskDevice(link, command, reply, kSettingReplyCapacity, kATTimeoutMs, '\r');
}

void ReadHexItem(Tm8Run& run, const char* command, int32_t* value, uint32_t bit, int failWeight,
                 const char* what) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskValue(run.link, command, reply);
    if (r >= 0) {
        char* end = nullptr;
        unsigned long n = std::strtoul(reply, &end, 16);
        if (end != reply && n <= INT32_MAX) {
            *value = static_cast<int32_t>(n);
            LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config found %s %d (%d ms)", what, *value,
                     ElapsedMs(run.start));
            run.done |= bit;
            return;
        }
        LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config could not find %s (%d ms)", what,
                 ElapsedMs(run.start));
    } else {
        run.result = r;
    }
    run.errors += failWeight;
}

void ReadVersionItem(Tm8Run& run, char* version) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskValue(run.link, "ATVR\r", reply);
    char value[kDeviceNameCapacity] = {};
    if (r >= 0 && std::sscanf(reply, "%8s", value) == 1) {
        CopyText(version, kDeviceNameCapacity, value);
        LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config found rver %s (%d ms)", version,
                 ElapsedMs(run.start));
        run.done |= kSetRadioVersion;
        return;
    }
    if (r >= 0) {
        LINK_LOG(run.link, LOG_VERBOSE, "Tm8Config could not find rver (%d ms)",
                 ElapsedMs(run.start));
    } else {
        run.result = r;
    }
    run.errors += kVersionFailed;
}

void ReadAll(Tm8Run& run, int32_t* channel, int32_t* subchannel, char* version, uint32_t wanted) {
    if ((wanted & kSetRadioChannel) && channel != nullptr) {
        ReadHexItem(run, "ATHP\r", channel, kSetRadioChannel, kChannelFailed, "rch");
    }
    if ((wanted & kSetRadioSubchannel) && subchannel != nullptr) {
        ReadHexItem(run, "ATDT\r", subchannel, kSetRadioSubchannel, kSubchannelFailed, "rsch");
    }
    if ((wanted & kSetRadioVersion) && version != nullptr) ReadVersionItem(run, version);
}

}  // namespace

int32_t Tm8Config(MORVA_Protocol& link, int32_t* channel, int32_t* subchannel, char* version,
                  int mode, uint32_t* mask) {
    if (mask == nullptr) return -10;
    Tm8Run run{.link = link, .start = TickMs()};
    int32_t r = EnterCommandMode(link);
    if (r < 0) {
        LINK_LOG(link, LOG_ERROR, "Tm8Config failed to get into AT command mode: %d (%d ms)", r,
                 ElapsedMs(run.start));
        *mask = 0;
        return -23;
    }
    if (mode == kSettingWrite) {
        SetAll(run, channel, subchannel, *mask);
    } else {
        ReadAll(run, channel, subchannel, version, *mask);
    }
    *mask = run.done;
    r = AskOK(link, "ATCN\r", kATTimeoutMs);
    if (r < 0) {
        if (r == -30) r = -1;
        LINK_LOG(link, LOG_ERROR, "Tm8Config failed to get out of AT command mode: %d (%d ms)", r,
                 ElapsedMs(run.start));
        return r;
    }
    if (run.result < 0 || run.errors != 0) {
        // An item that failed is never reported as success.
        if (run.done != 0) {
            run.result = -35;
        } else if (run.result > 0) {
            run.result = -30;
        }
        LINK_LOG(link, LOG_ERROR, "Tm8Config failed with error %d and %d (%d ms)", run.result,
                 run.errors, ElapsedMs(run.start));
    }
    SleepMs(kSettlePauseMs);
    return run.result;
}

}  // namespace korr
