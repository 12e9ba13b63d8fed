// korrbsl identify --port PORT [--settings]: connects as an update would, tells what the device
// is and what an update of it involves, and (with --settings) reads its settings: a logger's
// record, or the settings an instrument's type keeps.
#include "cli/IdentifyCommand.h"

#include <cstdio>
#include <memory>
#include <string>

#include "cli/ErrorText.h"
#include "cli/InstrumentCheck.h"
#include "cli/InstrumentSettingsView.h"
#include "cli/PortAccess.h"
#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/DeviceSettings.h"
#include "device/DeviceTypes.h"
#include "device/MORVA_Protocol.h"
#include "log/KorrLog.h"

namespace korrcli {

namespace {

struct IdentifyOptions {
    std::string port;
    bool settings = false;
};

int Fail(int32_t code) {
    return ReportError(code, DeviceCodeMeaning(code));
}

const char* YesNo(bool value) {
    return value ? "yes" : "no";
}

void PrintIdentity(const char* port, const korr::DeviceSettingsRecord& s) {
    std::printf("port:               %s\n", port);
    // Instruments have no class of the logger family: a 0 would only puzzle.
    if (s.deviceClass != korr::kClassUnknown) {
        std::printf("device class:       %d %s\n", s.deviceClass, s.className);
    }
    std::printf("version:            \"%s\" (%d)\n", s.versionText, static_cast<int>(s.version));
    std::printf("command set:        %s\n", s.newCommandSet ? "current" : "old (\"show\" report)");
    std::printf("capabilities:       0x%08X\n", static_cast<unsigned>(s.capabilities));
    if (s.deviceName[0] != '\0') std::printf("device name:        %s\n", s.deviceName);
}

void PrintDeviceInfo(int32_t parsed, const korr::DeviceInfo& info) {
    const korr::DeviceTypeRow& row = korr::DeviceTypeInfo(info.type);
    std::printf("device type:        %d %s \"%s\"%s\n", info.type, row.code, info.displayName,
                parsed < 0 ? " (not a type this updater knows)" : "");
    std::printf("updatable:          %s\n", YesNo(info.updatable));
    std::printf("restart delay:      %u ms\n", static_cast<unsigned>(info.restartDelayMs));
    std::printf("save and restore:   %s\n", YesNo(info.saveRestore));
    std::printf("erase data:         %s\n", YesNo(info.eraseData));
    std::printf("check battery:      %s\n", YesNo(info.checkBattery));
    std::printf("access code login:  %s\n", YesNo(info.accessCode));
    std::printf("set clock:          %s\n", YesNo(info.setClock));
    std::printf("check with init:    %s\n", YesNo(info.checkWithInit));
    std::printf("calibration notice: %s\n", YesNo(info.calibrationNotice));
    std::printf("flash:              0x%X-0x%X\n", static_cast<unsigned>(info.flashStart),
                static_cast<unsigned>(info.flashEnd));
    std::printf("information memory: 0x%X, %u segments of %u bytes\n",
                static_cast<unsigned>(info.infoStart), static_cast<unsigned>(info.infoSegments),
                static_cast<unsigned>(info.infoSegmentSize));
    std::printf("20-bit addresses:   %s\n", YesNo(info.twentyBitAddresses));
    std::printf("loader baud:        %u\n", static_cast<unsigned>(info.loaderBaud));
}

constexpr uint32_t kEverySetting = (1u << 28) - 1;

void PrintFive(const char* label, const uint8_t* v) {
    std::printf("%-20s%d %d %d %d %d\n", label, v[0], v[1], v[2], v[3], v[4]);
}

// The settings read; secrets are shown only as being set.
void PrintSettings(const korr::DeviceSettingsRecord& s, uint32_t done) {
    using namespace korr;
    auto has = [done](uint32_t bit) { return (done & bit) != 0; };
    auto secret = [](const char* text) { return text[0] != '\0' ? "********" : ""; };
    std::printf("settings read:      0x%08X\n", static_cast<unsigned>(done));
    if (has(kSetName)) std::printf("name:               %s\n", s.deviceName);
    if (has(kSetSerialNumber)) std::printf("serial number:      %s\n", s.serialNumber);
    if (has(kSetDeviceID)) std::printf("device ID:          %s\n", s.deviceID);
    if (has(kSetTrait)) std::printf("trait:              0x%X\n", static_cast<unsigned>(s.trait));
    if (has(kSetInterval))
        std::printf("interval:           %u\n", static_cast<unsigned>(s.interval));
    if (has(kSetPorts)) PrintFive("ports:", s.ports);
    if (has(kSetDepths)) PrintFive("depths:", s.depths);
    if (has(kSetPADC)) std::printf("PADC:               %d Hz\n", static_cast<int>(s.padcHz));
    if (has(kSetSite)) std::printf("site:               %s\n", s.site);
    if (has(kSetLatitude)) std::printf("latitude:           %+.5f\n", s.latitude);
    if (has(kSetLongitude)) std::printf("longitude:          %+.5f\n", s.longitude);
    if (has(kSetTimeZone))
        std::printf("time zone:          %d quarter hours\n", static_cast<int>(s.timeZone));
    if (has(kSetDataParameter))
        std::printf("data parameter:     %d\n", static_cast<int>(s.dataParameter));
    if (has(kSetReportMode))
        std::printf("report mode:        %d\n", static_cast<int>(s.reportMode));
    if (has(kSetRadioMode))
        std::printf("radio mode:         %u\n", static_cast<unsigned>(s.radioMode));
    if (has(kSetRadioChannel))
        std::printf("radio channel:      %d\n", static_cast<int>(s.radioChannel));
    if (has(kSetRadioSubchannel))
        std::printf("radio subchannel:   %d\n", static_cast<int>(s.radioSubchannel));
    if (has(kSetRadioVersion)) std::printf("radio version:      %s\n", s.radioVersion);
    if (has(kSetBuild)) std::printf("build:              %s\n", s.build);
    if (has(kSetADC30)) {
        PrintFive("ADC adc30 A:", s.adc30A);
        PrintFive("ADC adc30 B:", s.adc30B);
    }
    if (has(kSetADC15)) {
        PrintFive("ADC adc15 A:", s.adc15A);
        PrintFive("ADC adc15 B:", s.adc15B);
    }
    if (has(kSetAPN)) std::printf("APN:                %s\n", s.apn);
    if (has(kSetAPNUser)) std::printf("APN user:           %s\n", s.apnUser);
    if (has(kSetAPNPassword)) std::printf("APN password:       %s\n", secret(s.apnPassword));
    if (has(kSetAuthKey)) std::printf("authentication key: %s\n", secret(s.authKey));
    if (has(kSetRemoteHost)) std::printf("remote host:        %s\n", s.remoteHost);
    if (has(kSetIPPort)) std::printf("IP port:            %d\n", static_cast<int>(s.ipPort));
}

// Reads every setting the device has; returns the exit status. -1 (nothing to read) and -35
// (some settings missing) still leave a record to show.
int ReadSettings(korr::MORVA_Protocol& link) {
    korr::DeviceSettingsRecord record{};
    uint32_t mask = kEverySetting;
    int32_t r = korr::DeviceSettings(link, &record, &mask, korr::kSettingRead);
    if (r < 0 && r != -1 && r != -35) return Fail(r);
    PrintSettings(record, mask);
    return kExitOk;
}

// Not the firmware: what answered instead, said in one line with what to do about it.
int ReportOtherAnswer(const std::string& port, const FoundDevice& found) {
    switch (found.answer) {
        case Answer::LoaderActive:
        case Answer::LoaderWaiting:
            return ReportFailure(std::string("on ") + port + " " + AnswerText(found.answer) +
                                 "; " + InterruptedUpdateHint(port));
        case Answer::Garbled:
        case Answer::Silent:
            return ReportFailure(std::string("on ") + port + " " + AnswerText(found.answer));
        case Answer::Failed:
        case Answer::Firmware:
            break;
    }
    return Fail(found.code);
}

int RunIdentify(const IdentifyOptions& o, CommandLog& commandLog) {
    korr::KorrLog* log = commandLog.Log();
    if (int status = CheckPort("identify", o.port, log); status != kExitOk) return status;
    commandLog.ConcernPort(o.port, false);
    korr::MORVA_Protocol link(log);
    if (link.status < 0) return Fail(link.status);

    const FoundDevice found = ProbeInstrument(link, o.port);
    if (found.answer != Answer::Firmware) return ReportOtherAnswer(o.port, found);
    PrintIdentity(link.port.name, found.settings);
    if (found.parsed == -10) {
        std::printf("device type:        unknown (no version text)\n");
    } else {
        PrintDeviceInfo(found.parsed, found.info);
    }
    if (o.settings && found.parsed > 0 && HasInstrumentSettings(found.info.type)) {
        link.DisconnectDevice(false);  // the instrument protocol connects on its own
        return ShowInstrumentSettings(o.port.c_str(), log);
    }
    const int status = o.settings ? ReadSettings(link) : kExitOk;
    link.DisconnectDevice(false);
    return status;
}

}  // namespace

void RegisterIdentifyCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub = app.add_subcommand(
        "identify", "Connect to a device as an update would and tell what it is");
    auto o = std::make_shared<IdentifyOptions>();
    sub->add_option("--port", o->port, "serial port of the device (ttyUSB0 or a path)")->required();
    sub->add_flag("--settings", o->settings, "also read and show the device's settings");
    AddLogOptions(sub, commands.logOptions);
    commands.entries.emplace_back(sub, [o, &commands] { return RunIdentify(*o, commands.log); });
}

}  // namespace korrcli
