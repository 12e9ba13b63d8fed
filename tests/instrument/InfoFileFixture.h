#pragma once
// Sample settings for each family of the settings file; the files under data/ hold what the
// writer makes of them.

#include <string>

#include "common/FixedText.h"
#include "device/DeviceRecords.h"
#include "instrument/Korr_protocol.h"
#include "support/TempDir.h"

namespace korrtest {

inline std::string DataFile(const std::string& name) {
    return korrtest::ReadFile(std::string(KORR_INSTRUMENT_DATA) + "/" + name);
}

inline void FillTr30(korr::Korr_protocol& p) {
    using namespace korr;
    p.deviceType = 3;
    DeviceSettingsRecord& s = p.loggerSettings;
    s.validMask = kSetName | kSetADC15 | kSetBuild;
    CopyText(s.className, "Tr30");
    CopyText(s.deviceID, "DEV12345");
    CopyText(s.deviceName, "Plateau");
    CopyText(s.serialNumber, "TR30-0042");
    s.trait = 0x4001;
    s.interval = 600;
    s.padcHz = 50;
    const uint8_t ports[5] = {1, 2, 3, 4, 5}, depths[5] = {10, 20, 30, 40, 255};
    const uint8_t slopes[5] = {100, 101, 102, 103, 104}, offsets[5] = {7, 8, 9, 10, 11};
    for (int i = 0; i < 5; ++i) {
        s.ports[i] = ports[i];
        s.depths[i] = depths[i];
        s.adc15A[i] = slopes[i];
        s.adc15B[i] = offsets[i];
        s.adc30A[i] = 99;  // not written: the mask lacks the bit
    }
    s.radioMode = 2;
    s.radioChannel = 12;
    s.radioSubchannel = 3;
    s.dataParameter = 1;
    CopyText(s.site, "North \"Ridge\", plot 4");
    s.latitude = 47.123456;
    s.longitude = -122.5;
    s.timeZone = -32;
    s.reportMode = 1;
    CopyText(s.apn, "internet.example");
    CopyText(s.apnUser, "korr");
    CopyText(s.apnPassword, "s3cret");
    CopyText(s.remoteHost, "data.example.com");
    CopyText(s.authKey, "0123456789ABCDEF0123456789ABCDEF");
    s.ipPort = 8080;
    CopyText(s.build, "B2026-07");
}

inline void FillHV(korr::Korr_protocol& p) {
    using namespace korr;
    p.deviceType = 14;
    InstrumentSettings& s = p.instrument;
    CopyText(s.name, "HV-7");
    CopyText(s.serialNumber, "HV0007");
    s.contrast = 12;
    CopyText(s.adc15, "1 2 3");
    CopyText(s.adc30, "4 5 6");
    CopyText(s.hvUnits, "kPa");
    CopyText(s.cal[0], "0 1.000");
    CopyText(s.cal[1], "1 0.998 x");
    CopyText(s.cal[2], "2 1.002");
    CopyText(s.cal[4], "not written after the gap");
}

inline void SetRecords(korr::RecordSet& set, std::initializer_list<const char*> texts) {
    set.count = static_cast<int32_t>(texts.size());
    set.records = std::make_unique<korr::NamedRecord[]>(texts.size());
    int i = 0;
    for (const char* text : texts) korr::CopyText(set.records[i++].text, text);
}

inline void FillQE8(korr::Korr_protocol& p) {
    using namespace korr;
    p.deviceType = 15;
    InstrumentSettings& s = p.instrument;
    CopyText(s.serialNumber, "12");
    CopyText(s.build, "3.60");
    CopyText(s.config, "1000");
    CopyText(s.tadj, "0.5 0.1");
    SetRecords(p.userRecords, {"YQliCWMJU29pbAl4", "ZAllCWYJQ2xheQ=="});
    SetRecords(p.eqnRecords, {"Zeta_1 x+1", "alpha 2*x"});
}

inline void FillSensor(korr::Korr_protocol& p) {
    p.deviceType = 10;
    korr::CopyText(p.sdi->identification.data(), p.sdi->identification.size(), "KORRIN  MV-XE 123");
    p.sdi->sensorAddress = '3';
    korr::CopyText(p.sdi->calibration1.data(), p.sdi->calibration1.size(), "X4 0.1 0.2 0.3");
    p.sdi->sensorType = 'y';
    korr::CopyText(p.sdi->calibration2.data(), p.sdi->calibration2.size(), "Xa 1.5 -0.25");
}

}  // namespace korrtest
