// The settings that hold one number: report mode, time zone, measurement interval, data
// parameter, IP port and radio mode follow one pattern (rows of a table); PADC has two command
// sets of its own.
#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

struct NumberSetting {
    const char* logName;
    const char* key;          // "set <key> %d\r", "get <key>\r"
    const char* setWhat;      // "<logName> set <setWhat> to %d"
    const char* foundWhat;    // "<logName> found <foundWhat> %d"
    const char* missingWhat;  // "<logName> could not find <missingWhat>"
    Gate gate = Gate::kCapability;
    uint32_t capability = 0;
    bool afterFirstReturn = false;  // the number follows the first carriage return
    Confirm confirm = Confirm::kOK;
    bool refuseNegative = false;  // a negative value is a bad argument (-11)
    int32_t unreadable = -30;     // the result when the reply holds no number
};

constexpr NumberSetting kReport = {.logName = "ReportCommand",
                                   .key = "-report",
                                   .setWhat = "report mode",
                                   .foundWhat = "device report mode",
                                   .missingWhat = "device report mode",
                                   .capability = kCapExtended};
constexpr NumberSetting kTimeZone = {.logName = "TimeZoneCommand",
                                     .key = "-tz",
                                     .setWhat = "time zone",
                                     .foundWhat = "device time zone",
                                     .missingWhat = "device time zone",
                                     .capability = kCapExtended};
constexpr NumberSetting kWake = {.logName = "WakeCommand",
                                 .key = "-w",
                                 .setWhat = "device measurment interval",
                                 .foundWhat = "device measurement interval",
                                 .missingWhat = "device measurement interval",
                                 .capability = kCapInterval,
                                 .afterFirstReturn = true,
                                 .confirm = Confirm::kOKOrPrompt,
                                 .refuseNegative = true};
constexpr NumberSetting kDataParameter = {.logName = "DataParameterCommand",
                                          .key = "-data",
                                          .setWhat = "data parameter",
                                          .foundWhat = "data parameter",
                                          .missingWhat = "device data parameter",
                                          .capability = kCapDataParameter};
constexpr NumberSetting kIPPort = {.logName = "IPPortCommand",
                                   .key = "-ipport",
                                   .setWhat = "ipport",
                                   .foundWhat = "device ipport",
                                   .missingWhat = "device ipport",
                                   .gate = Gate::kModem,
                                   .unreadable = -31};
constexpr NumberSetting kRmode = {.logName = "RmodeCommand",
                                  .key = "-r",
                                  .setWhat = "rmode",
                                  .foundWhat = "rmode",
                                  .missingWhat = "device rmode",
                                  .capability = kCapRadioMode,
                                  .confirm = Confirm::kOKOrPrompt};

int32_t WriteNumber(MORVA_Protocol& link, const NumberSetting& s, int32_t value, uint32_t start) {
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set %s %d\r", s.key, value);
    int32_t r = SendSet(link, command, s.confirm);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "%s set %s to %d (%d ms)", s.logName, s.setWhat, value,
             ElapsedMs(start));
    return 1;
}

int32_t ReadNumber(MORVA_Protocol& link, const NumberSetting& s, int32_t* value, uint32_t start) {
    char reply[kSettingReplyCapacity];
    int32_t r = GetSetting(link, s.key, reply, sizeof reply);
    if (r < 0) return r;
    int32_t found = 0;
    if (!TakeNumber(s.afterFirstReturn ? AfterFirstReturn(reply) : reply, &found)) {
        LINK_LOG(link, LOG_VERBOSE, "%s could not find %s (%d ms)", s.logName, s.missingWhat,
                 ElapsedMs(start));
        return s.unreadable;
    }
    if (s.refuseNegative && found < 0) return -11;
    *value = found;
    LINK_LOG(link, LOG_VERBOSE, "%s found %s %d (%d ms)", s.logName, s.foundWhat, found,
             ElapsedMs(start));
    return 1;
}

int32_t RunNumber(MORVA_Protocol& link, const NumberSetting& s, int32_t* value, int mode) {
    const uint32_t start = TickMs();
    const bool write = mode == kSettingWrite;
    int32_t result;
    if (value == nullptr) {
        result = -10;
    } else if (!GateOpen(link, s.gate, s.capability, write)) {
        result = -1;
    } else if (write && s.refuseNegative && *value < 0) {
        result = -11;
    } else {
        result = write ? WriteNumber(link, s, *value, start) : ReadNumber(link, s, value, start);
    }
    return Finished(link, s.logName, result, start);
}

// For the fields the record keeps unsigned.
int32_t RunUnsigned(MORVA_Protocol& link, const NumberSetting& s, uint32_t* value, int mode) {
    if (value == nullptr) return RunNumber(link, s, nullptr, mode);
    int32_t number = static_cast<int32_t>(*value);
    int32_t result = RunNumber(link, s, &number, mode);
    if (result > 0) *value = static_cast<uint32_t>(number);
    return result;
}

constexpr int32_t kHostZone = -2;  // writing this value writes the host's own zone
constexpr int32_t kSecondsPerQuarterHour = 900;
constexpr uint32_t kRB2RadioMode = 16;  // an rB2 knows no other
constexpr int32_t kFirstPADCVersion = 165;

}  // namespace

int32_t ReportCommand(MORVA_Protocol& link, int32_t* reportMode, int mode) {
    return RunNumber(link, kReport, reportMode, mode);
}

int32_t TimeZoneCommand(MORVA_Protocol& link, int32_t* quarterHours, int mode) {
    if (mode == kSettingWrite && quarterHours != nullptr && *quarterHours == kHostZone &&
        GateOpen(link, kTimeZone.gate, kTimeZone.capability, true)) {
        *quarterHours = LocalUtcOffset() / kSecondsPerQuarterHour;
    }
    return RunNumber(link, kTimeZone, quarterHours, mode);
}

int32_t WakeCommand(MORVA_Protocol& link, uint32_t* interval, int mode) {
    return RunUnsigned(link, kWake, interval, mode);
}

int32_t DataParameterCommand(MORVA_Protocol& link, int32_t* parameter, int mode) {
    return RunNumber(link, kDataParameter, parameter, mode);
}

int32_t IPPortCommand(MORVA_Protocol& link, int32_t* ipPort, int mode) {
    return RunNumber(link, kIPPort, ipPort, mode);
}

int32_t RmodeCommand(MORVA_Protocol& link, uint32_t* radioMode, int mode) {
    if (radioMode != nullptr && link.settings.deviceClass == kClassRB2) {
        if (mode != kSettingWrite) *radioMode = kRB2RadioMode;
        LINK_LOG(link, LOG_VERBOSE, "RmodeCommand found an rB2 that is always mode %d",
                 static_cast<int>(kRB2RadioMode));
        return 1;
    }
    return RunUnsigned(link, kRmode, radioMode, mode);
}

namespace {

int32_t PADCWrite(MORVA_Protocol& link, int32_t hertz, uint32_t start) {
    if (hertz < 0) return -11;
    const bool newSet = link.settings.newCommandSet != 0;
    char command[kCommandCapacity];
    FormatText(command, sizeof command, newSet ? "set -padc %d\r" : "set -p %d\r", hertz);
    int32_t r = SendSet(link, command, newSet ? Confirm::kOK : Confirm::kPrompt);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "PADCCommand set device PADC %d Hz (%d ms)", hertz,
             ElapsedMs(start));
    return 1;
}

int32_t PADCRead(MORVA_Protocol& link, int32_t* hertz, uint32_t start) {
    const bool newSet = link.settings.newCommandSet != 0;
    char reply[kSettingReplyCapacity];
    int32_t r = AskDevice(link, newSet ? "get -padc\r" : "hertz\r", reply, sizeof reply);
    if (r < 0) return r;
    int32_t found = 0;
    if (!TakeNumber(AfterFirstReturn(reply), &found)) {
        LINK_LOG(link, LOG_VERBOSE, "PADCCommand could not find device PADC value (%d ms)",
                 ElapsedMs(start));
        return -30;
    }
    if (found < 0) return -11;
    *hertz = found;
    LINK_LOG(link, LOG_VERBOSE, "PADCCommand found device PADC %d Hz (%d ms)", found,
             ElapsedMs(start));
    return 1;
}

}  // namespace

int32_t PADCCommand(MORVA_Protocol& link, int32_t* hertz, int mode) {
    const uint32_t start = TickMs();
    int32_t result;
    if (hertz == nullptr) {
        result = -10;
    } else if ((link.settings.capabilities & kCapInterval) == 0) {
        result = -1;
    } else if (!link.settings.newCommandSet && link.settings.version < kFirstPADCVersion) {
        *hertz = -1;  // older firmware has no PADC
        result = -1;
    } else if (mode == kSettingWrite) {
        result = PADCWrite(link, *hertz, start);
    } else {
        result = PADCRead(link, hertz, start);
    }
    return Finished(link, "PADCCommand", result, start);
}

}  // namespace korr
