// Reading or writing a whole settings record: the setting commands in a fixed order over a mask
// of wanted settings, logging in again when the connection drops in between.
#include "device/DeviceSettings.h"

#include <bit>

#include "device/DeviceIdentification.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

// What the old firmware's "show" report holds: name, version, interval and radio mode.
constexpr uint32_t kShowReport = kSetName | kSetVersion | kSetInterval | kSetRadioMode;
// The report's settings and the serial number, which old firmware does not report.
constexpr uint32_t kShowCleared = kShowReport | kSetSerialNumber;
constexpr uint32_t kFailurePauseMs = 100;

struct SettingsRun {
    MORVA_Protocol& link;
    int mode;
    uint32_t work = 0;  // settings still to do
    uint32_t done = 0;  // settings done
    int32_t result = 1;
    int32_t last = 1;  // the last command's result
    // Before the last command that went well: to repeat a command after logging in again.
    uint32_t previousWork = 0;
    int32_t previousResult = 1;
    uint32_t relogins = 0;  // in a row, for the same command
};

// A step of the run. A plain step does the settings in `bits` with one command: the run clears
// them and marks them done on success. Other steps keep the masks themselves.
struct Step {
    uint32_t bits;
    bool plain;
    bool (*due)(const SettingsRun& run);  // null: any of `bits` pending
    int32_t (*run)(SettingsRun& run);
};

bool Reading(const SettingsRun& run) {
    return run.mode != kSettingWrite;
}

int32_t RunVersion(SettingsRun& run) {
    DeviceSettingsRecord& s = run.link.settings;
    if (!Reading(run)) {
        run.work &= ~kSetVersion;
        return 0;
    }
    const bool known =
        s.deviceClass != 0 && s.newCommandSet && s.versionText[0] != '\0' && s.version != 0;
    const int32_t r = known ? 1 : VerCommand(run.link, false);
    if (s.newCommandSet) {
        run.work &= ~kSetVersion;
        if (r > 0) run.done |= kSetVersion;
    } else {
        // Old firmware answered with its "show" report.
        run.work &= ~kShowCleared;
        if (r > 0) run.done |= kShowReport;
    }
    return r;
}

bool ShowDue(const SettingsRun& run) {
    return Reading(run) && !run.link.settings.newCommandSet && (run.work & kShowReport) != 0;
}

int32_t RunShow(SettingsRun& run) {
    const int32_t r = ParseShowCommand(run.link, nullptr);
    run.work &= ~(kShowCleared & ~kSetVersion);
    if (r > 0) run.done |= kShowReport;
    return r;
}

int32_t RunRadio(SettingsRun& run) {
    DeviceSettingsRecord& s = run.link.settings;
    const uint32_t wanted = run.work & kRadioBits;
    run.work &= ~kRadioBits;
    // The trait was read first for this: without a radio there is nothing to ask.
    if (Reading(run) && TraitHasRadio(s.trait) == 0) return -23;
    uint32_t mask = wanted;
    const int32_t r = MSRadioCommand(run.link, &s.radioChannel, &s.radioSubchannel, s.radioVersion,
                                     run.mode, &mask);
    run.done |= mask & kRadioBits;
    return r;
}

// The plain steps, each one command on its field of the link's record.
#define SETTING_STEP(bit, call)                                                            \
    Step {                                                                                 \
        .bits = bit, .plain = true, .due = nullptr, .run = [](SettingsRun& r) -> int32_t { \
            DeviceSettingsRecord& s = r.link.settings;                                     \
            return call;                                                                   \
        }                                                                                  \
    }

constexpr Step kSteps[] = {
    {.bits = kSetVersion, .plain = false, .due = nullptr, .run = RunVersion},
    {.bits = kShowReport, .plain = false, .due = ShowDue, .run = RunShow},
    SETTING_STEP(kSetName, NameCommand(r.link, s.deviceName, r.mode)),
    SETTING_STEP(kSetDeviceID, DeviceIDCommand(r.link, s.deviceID, r.mode)),
    SETTING_STEP(kSetReportMode, ReportCommand(r.link, &s.reportMode, r.mode)),
    SETTING_STEP(kSetDepths, DepthCommand(r.link, s.depths, r.mode)),
    SETTING_STEP(kSetLatitude, LatitudeCommand(r.link, &s.latitude, r.mode)),
    SETTING_STEP(kSetLongitude, LongitudeCommand(r.link, &s.longitude, r.mode)),
    SETTING_STEP(kSetTimeZone, TimeZoneCommand(r.link, &s.timeZone, r.mode)),
    SETTING_STEP(kSetSite, SiteCommand(r.link, s.site, r.mode)),
    SETTING_STEP(kSetSerialNumber, SNCommand(r.link, s.serialNumber, r.mode)),
    SETTING_STEP(kSetInterval, WakeCommand(r.link, &s.interval, r.mode)),
    SETTING_STEP(kSetPADC, PADCCommand(r.link, &s.padcHz, r.mode)),
    SETTING_STEP(kSetPorts, PortsCommand(r.link, s.ports, r.mode)),
    SETTING_STEP(kSetTrait, TraitCommand(r.link, &s.trait, r.mode)),
    SETTING_STEP(kSetRadioMode, RmodeCommand(r.link, &s.radioMode, r.mode)),
    {.bits = kRadioBits, .plain = false, .due = nullptr, .run = RunRadio},
    SETTING_STEP(kSetDataParameter, DataParameterCommand(r.link, &s.dataParameter, r.mode)),
    SETTING_STEP(kSetBuild, KorrBuildCommand(r.link, s.build, r.mode)),
    SETTING_STEP(kSetADC30, ADCcalCommand(r.link, kADCSet30, s.adc30A, s.adc30B, r.mode)),
    SETTING_STEP(kSetADC15, ADCcalCommand(r.link, kADCSet15, s.adc15A, s.adc15B, r.mode)),
    SETTING_STEP(kSetAPN, APNCommand(r.link, s.apn, r.mode)),
    SETTING_STEP(kSetAPNUser, APNUserCommand(r.link, s.apnUser, r.mode)),
    SETTING_STEP(kSetAPNPassword, APNPasswdCommand(r.link, s.apnPassword, r.mode)),
    SETTING_STEP(kSetAuthKey, AuthKeyCommand(r.link, s.authKey, r.mode)),
    SETTING_STEP(kSetRemoteHost, HostCommand(r.link, s.remoteHost, r.mode)),
    SETTING_STEP(kSetIPPort, IPPortCommand(r.link, &s.ipPort, r.mode)),
};

#undef SETTING_STEP

// Runs the first pending step and returns it; null when none is pending.
const Step* RunNextStep(SettingsRun& run, int32_t* result) {
    for (const Step& step : kSteps) {
        const bool due = step.due != nullptr ? step.due(run) : (run.work & step.bits) != 0;
        if (!due) continue;
        *result = step.run(run);
        if (step.plain) {
            run.work &= ~step.bits;
            if (*result > 0) run.done |= step.bits;
        }
        return &step;
    }
    return nullptr;
}

uint32_t Pending(const SettingsRun& run, uint32_t total) {
    const uint32_t pending = static_cast<uint32_t>(std::popcount(run.work));
    return pending < total ? total - pending : 0;
}

// The connection dropped: log in again so that the command that failed runs again. False ends
// the run.
bool Reconnect(SettingsRun& run) {
    MORVA_Protocol& link = run.link;
    if (run.relogins >= link.tries || link.IsRadioLink()) {
        run.result = -21;
        return false;
    }
    ++run.relogins;
    const int32_t r = link.DeviceLogin(link.request.deviceName, "", &link.request.baudIndex);
    if (r == -20) {
        run.result = -21;
        return false;
    }
    if (r > 0) {
        if (link.log != nullptr) {
            link.log->Print(LOG_VERBOSE, "******", "DeviceSettings re-connected to device");
        }
        run.work = run.previousWork;
        run.result = run.previousResult;
    }
    return true;  // a login that failed otherwise lets the run go on with the next step
}

// Weighs the last command's result before the next step. False ends the run.
bool GoOn(SettingsRun& run) {
    const int32_t last = run.last;
    if (last == -32 || last == -33 || last == -36) {  // echo, relay, no name: no use going on
        run.result = last;
        return false;
    }
    if (last < 0) {
        run.result = -35;
        SleepMs(kFailurePauseMs);
        return last == -21 ? Reconnect(run) : true;
    }
    // A step that did nothing would run for ever.
    if (run.work == 0 || run.work == run.previousWork) return false;
    run.previousWork = run.work;
    run.previousResult = run.result;
    run.relogins = 0;
    return true;
}

// Read mode adds what the wanted settings depend on: the identity, and the trait for the radio.
void AddDependencies(SettingsRun& run) {
    const DeviceSettingsRecord& s = run.link.settings;
    if (s.version == 0) {
        run.work |= kSetVersion;
    } else {
        run.done |= kSetVersion;
    }
    if ((run.work & kRadioBits) && !(s.validMask & kSetTrait)) run.work |= kSetTrait;
}

}  // namespace

int32_t DeviceSettings(MORVA_Protocol& link, DeviceSettingsRecord* record, uint32_t* mask,
                       int mode) {
    if (record == nullptr || mask == nullptr) return -10;
    if (mode != kSettingRead && mode != kSettingWrite) return -11;
    if (mode == kSettingWrite) link.settings = *record;

    SettingsRun run{.link = link, .mode = mode, .work = *mask};
    if (Reading(run)) AddDependencies(run);
    const uint32_t total = static_cast<uint32_t>(std::popcount(*mask));
    for (;;) {
        if (!link.CallProgress(total, Pending(run, total), 1)) {
            LINK_LOG(link, LOG_VERBOSE,
                     "DeviceSettings canceled by user after getting %d of %d settings",
                     std::popcount(run.work), static_cast<int>(total));
            link.CallProgress(total, Pending(run, total), 2);
            return -40;
        }
        if (!GoOn(run)) break;
        const Step* step = RunNextStep(run, &run.last);
        if (step == nullptr) break;
        if (step == &kSteps[0] && run.last == -13) {  // the version: firmware too old
            LINK_LOG(link, LOG_ERROR, "DeviceSettings: old KeepVault model 007 not supported");
            *mask = run.done;
            return -13;
        }
    }
    if (run.done == 0 && run.result == 1 && *mask != 0) run.result = -1;
    *mask = run.done;
    if (Reading(run)) {
        link.settings.validMask |= run.done;
        *record = link.settings;
    }
    link.CallProgress(total, total, 2);
    return run.result;
}

}  // namespace korr
