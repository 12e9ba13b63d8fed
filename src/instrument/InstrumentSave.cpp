// Saving the settings of a device before its firmware is replaced, and putting them back once
// the new firmware runs.
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "instrument/DeviceHandling.h"
#include "instrument/InstrumentLog.h"
#include "instrument/InstrumentReplies.h"

namespace korr {

namespace {

constexpr uint32_t kSensorTimeoutMs = 1000;
constexpr uint32_t kShortReplyCapacity = 32;
constexpr size_t kNewSerialMaxChars = 15;
constexpr int32_t kNothingWritten = -30;

// The QE8 keeps a config value that carries the character sum of its serial number: a new
// serial number moves the value by the difference of the sums.
void AdjustConfigForSerial(InstrumentSettings& s, const char* newSerial) {
    int64_t config = 0;
    ParseDecimal(s.config, &config);
    for (const char* c = s.serialNumber; *c != '\0'; ++c) config -= static_cast<int8_t>(*c);
    for (size_t i = 0; i < kNewSerialMaxChars && newSerial[i] != '\0'; ++i) {
        config += static_cast<int8_t>(newSerial[i]);
    }
    FormatText(s.config, sizeof s.config, "%u", static_cast<unsigned>(config));
}

// The QE8 reads its settings only with its sensor type at 0.
int32_t ZeroSensorType(Korr_protocol& kp) {
    KorrLog* log = kp.log;
    char reply[kShortReplyCapacity] = {};
    uint32_t capacity = sizeof reply;
    uint32_t ms = 0;
    int32_t r =
        kp.link->DeviceCommand("set -sensor 0\r", '>', kSensorTimeoutMs, reply, &capacity, &ms);
    if (r > 0 && std::strstr(reply, "OK") != nullptr) {
        INST_LOG(LOG_INFO, "KDSaveInfo set Q8S sensor type to '0' (%d ms)", static_cast<int>(ms));
        return 1;
    }
    if (r > 0) r = -30;
    INST_LOG(LOG_INFO, "KDSaveInfo received error %d setting Q8S sensor type to '0' (%d ms)", r,
             static_cast<int>(ms));
    return r;
}

}  // namespace

int32_t Korr_protocol::KDSaveInfo(const char* path) {
    const DeviceHandling& h = HandlingOf(deviceType);
    int32_t result = -13;
    uint32_t valid = 0;
    switch (h.family) {
        case SettingsFamily::Logger: {
            valid = h.request;
            result = DeviceSettings(*link, &loggerSettings, &valid, kSettingRead);
            if (result == -36) {
                settingsHeld = false;
                SavedFlags = 0;
                INST_LOG(LOG_INFO, "KDSaveInfo does not save data for an uninitialized device");
                return -36;
            }
            break;
        }
        case SettingsFamily::Sensor:
            result = sdi->SDIReadSensorInfo();
            break;
        case SettingsFamily::Instrument:
            if (h.sensorTypeZeroFirst) ZeroSensorType(*this);
            result = GetInstInfo(RequestWordOf(deviceType, deviceInfo.version));
            valid = instrumentFlags;
            break;
        case SettingsFamily::None:
            break;
    }
    if (result < 0 && result != -35) {
        INST_LOG(LOG_ERROR, "KDSaveInfo received error %d trying to collect device settings",
                 result);
        return result;
    }
    settingsHeld = true;
    SavedFlags = valid;
    const int32_t written = WriteInfoFile(path);
    if (written < 0) {
        INST_LOG(LOG_ERROR,
                 "KDSaveInfo received error %d trying to save device settings to a temp file",
                 written);
        return written;
    }
    // Some settings could not be read: the file holds the rest, and the caller must know that
    // an erase now would lose what is missing. (A logger's request word asks every model for
    // settings only some models have, so its -35 is no sign of a loss.)
    if (result == -35 && h.family == SettingsFamily::Instrument) {
        INST_LOG(LOG_ERROR, "KDSaveInfo saved the device settings without some it could not read");
        return -35;
    }
    INST_LOG(LOG_INFO,
             "KDSaveInfo successfully retreived and saved device settings to a temp file");
    return 1;
}

int32_t Korr_protocol::KDRestoreInfo(const char* path, const char* newSerialNumber) {
    settingsNotInFile.clear();  // filled only by a read of the file here
    if (!settingsHeld) {
        const int32_t r = ReadInfoFile(path);
        if (r < 0) {
            INST_LOG(LOG_ERROR,
                     "KDRestoreInfo received error %d trying to read device settings from %s", r,
                     path != nullptr ? path : "");
            return r;
        }
        settingsHeld = true;
        loggerSettings.validMask = SavedFlags;
    }
    const bool newSerial = newSerialNumber != nullptr && newSerialNumber[0] != '\0';
    const DeviceHandling& h = HandlingOf(deviceType);
    int32_t result = -13;
    switch (h.family) {
        case SettingsFamily::Logger: {
            if (newSerial) {
                CopyText(loggerSettings.serialNumber, newSerialNumber, kNewSerialMaxChars);
                loggerSettings.validMask |= kSetSerialNumber;
            }
            // A logger with a device id is known by it; its serial number is never rewritten.
            if (loggerSettings.validMask & kSetDeviceID)
                loggerSettings.validMask &= ~kSetSerialNumber;
            uint32_t written = loggerSettings.validMask;
            result = DeviceSettings(*link, &loggerSettings, &written, kSettingWrite);
            // Nothing written is no restore, whatever the run reported.
            if (written == 0 && (result >= 0 || result == -35)) result = kNothingWritten;
            if (result < 0 && result != -35) {
                INST_LOG(LOG_ERROR,
                         "KDRestoreInfo received error %d trying to upload device settings",
                         result);
                return result;
            }
            break;
        }
        case SettingsFamily::Sensor: {
            const int32_t address = sdi->SDISetSensorAddress(sdi->sensorAddress);
            result = sdi->SDISetSensorCalibration(nullptr);
            // A sensor that kept its calibration but not its address is only partly restored.
            if (address < 0) result = result > 0 ? -35 : result < 0 ? result : address;
            break;
        }
        case SettingsFamily::Instrument:
            if (newSerial) {
                if (h.configFollowsSerial) {
                    AdjustConfigForSerial(instrument, newSerialNumber);
                    instrumentFlags |= kInstConfig;
                }
                CopyText(instrument.serialNumber, newSerialNumber, kNewSerialMaxChars);
                instrumentFlags |= kInstSerialNumber;
            }
            result = SetInstInfo(instrumentFlags);
            break;
        case SettingsFamily::None:
            break;
    }
    // What the file did not hold did not go back, however well the rest went.
    if (!settingsNotInFile.empty()) {
        INST_LOG(LOG_ERROR, "KDRestoreInfo found no %s in settings file %s",
                 settingsNotInFile.c_str(), path != nullptr ? path : "");
        if (result >= 0) result = -35;
    }
    INST_LOG(LOG_INFO, "KDRestoreInfo successfully restored device setting");
    return result;
}

}  // namespace korr
