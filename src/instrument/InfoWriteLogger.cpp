// The logger family's lines of the settings file.
#include <charconv>
#include <cmath>

#include "device/DeviceRecords.h"
#include "device/DeviceSettings.h"
#include "instrument/InfoFile.h"

namespace korr {

namespace {

// "%+.5f" without the locale: the file always carries a decimal point.
void AppendCoordinate(InfoText& out, const char* key, double value) {
    char digits[64];
    char* at = digits;
    if (!std::signbit(value)) *at++ = '+';
    auto [end, ec] =
        std::to_chars(at, digits + sizeof digits - 1, value, std::chars_format::fixed, 5);
    if (ec != std::errc{}) end = at;
    *end = '\0';
    AppendLine(out, "%s=\"%s\"\r\n", key, digits);
}

void AppendFive(InfoText& out, const char* key, const uint8_t* v) {
    AppendLine(out, "%s=\"%u %u %u %u %u\"\r\n", key, v[0], v[1], v[2], v[3], v[4]);
}

void AppendRadioAndSite(InfoText& out, const DeviceSettingsRecord& s) {
    AppendLine(out, "rmode=\"%d\"\r\n", static_cast<int>(s.radioMode));
    AppendLine(out, "rch=\"%d\"\r\n", static_cast<int>(s.radioChannel));
    AppendLine(out, "rsch=\"%d\"\r\n", static_cast<int>(s.radioSubchannel));
    // The radio lines are written for every logger; this one says whether they mean anything.
    if (const int32_t radio = TraitHasRadio(s.trait); radio >= 0) {
        AppendLine(out, "radio=\"%d\"\r\n", static_cast<int>(radio));
    }
    AppendLine(out, "data=\"%d\"\r\n", static_cast<int>(s.dataParameter));
    AppendLine(out, "site=\"%s\"\r\n", s.site);
    AppendCoordinate(out, "lat", s.latitude);
    AppendCoordinate(out, "lon", s.longitude);
    AppendLine(out, "timezone=\"%d\"\r\n", static_cast<int>(s.timeZone));
    AppendLine(out, "report=\"%u\"\r\n", static_cast<unsigned>(s.reportMode));
}

void AppendNetwork(InfoText& out, const DeviceSettingsRecord& s) {
    AppendLine(out, "apn=\"%s\"\r\n", s.apn);
    AppendLine(out, "user=\"%s\"\r\n", s.apnUser);
    AppendLine(out, "passwd=\"%s\"\r\n", s.apnPassword);
    AppendLine(out, "host=\"%s\"\r\n", s.remoteHost);
    AppendLine(out, "authkey=\"%s\"\r\n", s.authKey);
    AppendLine(out, "ipport=\"%u\"\r\n", static_cast<unsigned>(s.ipPort));
}

}  // namespace

void AppendLoggerSection(InfoText& out, const DeviceSettingsRecord& s) {
    AppendLine(out, "type=\"%s\"\r\n", s.className);
    AppendLine(out, "deviceid=\"%s\"\r\n", s.deviceID);
    AppendLine(out, "name=\"%s\"\r\n", s.deviceName);
    AppendLine(out, "sn=\"%s\"\r\n", s.serialNumber);
    AppendLine(out, "trait=\"%d\"\r\n", static_cast<int>(s.trait));
    AppendLine(out, "wake=\"%d\"\r\n", static_cast<int>(s.interval));
    AppendLine(out, "padc=\"%d\"\r\n", static_cast<int>(s.padcHz));
    AppendFive(out, "ports", s.ports);
    AppendFive(out, "depth", s.depths);
    if (s.validMask & kSetADC15) {
        AppendFive(out, "ADC15 slopes", s.adc15A);
        AppendFive(out, "ADC15 offsets", s.adc15B);
    }
    if (s.validMask & kSetADC30) {
        AppendFive(out, "ADC30 slopes", s.adc30A);
        AppendFive(out, "ADC30 offsets", s.adc30B);
    }
    AppendRadioAndSite(out, s);
    AppendNetwork(out, s);
    if (s.validMask & kSetBuild) AppendLine(out, "KorrBuild=\"%s\"\r\n", s.build);
}

}  // namespace korr
