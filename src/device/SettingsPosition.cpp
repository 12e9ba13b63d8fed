// The device's position: latitude and longitude in degrees.
#include <cstdlib>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

struct CoordinateSetting {
    const char* logName;
    const char* key;    // "set <key> %+.5f\r", "get <key>\r"
    const char* what;   // "latitude", "longitude"
    uint32_t validBit;  // given up when the command fails
};

constexpr CoordinateSetting kLatitude = {
    .logName = "LatitudeCommand", .key = "-lat", .what = "latitude", .validBit = kSetLatitude};
constexpr CoordinateSetting kLongitude = {
    .logName = "LongitudeCommand", .key = "-long", .what = "longitude", .validBit = kSetLongitude};

int32_t WriteCoordinate(MORVA_Protocol& link, const CoordinateSetting& s, double degrees,
                        uint32_t start) {
    char command[kCommandCapacity];
    if (degrees == 0) {
        FormatText(command, sizeof command, "set %s \r", s.key);  // the device's "not set"
    } else {
        FormatText(command, sizeof command, "set %s %+.5f\r", s.key, degrees);
    }
    int32_t r = SendSet(link, command, Confirm::kOK);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "%s set %s to %+.5f (%d ms)", s.logName, s.what, degrees,
             ElapsedMs(start));
    return 1;
}

int32_t ReadCoordinate(MORVA_Protocol& link, const CoordinateSetting& s, double* degrees,
                       uint32_t start) {
    char reply[kSettingReplyCapacity];
    int32_t r = GetSetting(link, s.key, reply, sizeof reply);
    if (r < 0) return r;
    const char* from = SkipSpace(reply);
    char* end = nullptr;
    const double found = std::strtod(from, &end);
    if (end == from) {
        LINK_LOG(link, LOG_VERBOSE, "%s could not find device %s (%d ms)", s.logName, s.what,
                 ElapsedMs(start));
        return -31;
    }
    *degrees = found;
    LINK_LOG(link, LOG_VERBOSE, "%s found device %s %+.5f (%d ms)", s.logName, s.what, found,
             ElapsedMs(start));
    return 1;
}

int32_t RunCoordinate(MORVA_Protocol& link, const CoordinateSetting& s, double* degrees, int mode) {
    const uint32_t start = TickMs();
    int32_t result;
    if (degrees == nullptr) {
        result = -10;
    } else if ((link.settings.capabilities & kCapPosition) == 0) {
        result = -1;
    } else if (mode == kSettingWrite) {
        result = WriteCoordinate(link, s, *degrees, start);
    } else {
        result = ReadCoordinate(link, s, degrees, start);
    }
    if (result < 0) link.settings.validMask &= ~s.validBit;
    return Finished(link, s.logName, result, start);
}

}  // namespace

int32_t LatitudeCommand(MORVA_Protocol& link, double* latitude, int mode) {
    return RunCoordinate(link, kLatitude, latitude, mode);
}

int32_t LongitudeCommand(MORVA_Protocol& link, double* longitude, int mode) {
    return RunCoordinate(link, kLongitude, longitude, mode);
}

}  // namespace korr
