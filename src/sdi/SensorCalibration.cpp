// The sensor's calibration strings: read with "?X4!" (and "?Xa!" for the type with two), written
// with "?X5...!" (and "?Xb...!"). They are opaque text to this program.
#include <cstring>

#include "common/FixedText.h"
#include "sdi/KorrSDI12.h"
#include "sdi/SdiLog.h"
#include "sdi/SdiReply.h"

namespace korr {

namespace {

constexpr int kAttentionTries = 3;
// "?X5" or "?Xb", the value, "!" and the NUL.
constexpr size_t kCalibrationCommandCapacity = 3 + (kSDICalibrationCapacity - 1) + 1 + 1;

// A value goes inside one command: the '!' would end it early and the sensor would store
// (and confirm) only the part before it.
bool FitsInCommand(const char* value) {
    return strnlen(value, kSDICalibrationCapacity) < kSDICalibrationCapacity &&
           std::strchr(value, '!') == nullptr;
}

// Reads one calibration string; 1 or an error.
int32_t ReadCalibration(KorrSDI12& sdi, const char* command, const char* name, char* out,
                        size_t capacity) {
    char reply[kSDIReplyCapacity];
    uint32_t length = sizeof reply;
    uint32_t ms = 0;
    int32_t r = sdi.SDISendCommand(command, reply, &length, &ms);
    if (r >= 0) r = SDIValueText(reply, out, capacity);
    if (r < 0) {
        out[0] = '\0';  // a value cut short must never be written back to the sensor
        SDI_LOG(sdi, "SDIGetSensorCalibration recieved error %i looking for %s", r, name);
        return r;
    }
    SDI_LOG(sdi, "SDIGetSensorCalibration found calibration %s \"%s\"", name, out);
    return 1;
}

// Writes one calibration string with up to `tries` commands: 1 when the sensor confirms with
// "OK", -34 when it answers "ERROR", -22 when it answers neither, or the last exchange's error.
int32_t WriteCalibration(KorrSDI12& sdi, const char* prefix, const char* name, const char* value) {
    if (!FitsInCommand(value)) {
        SDI_LOG(sdi, "SDISetSensorCalibration can't send \"%s\" as %s calibration", value, name);
        return -11;
    }
    char command[kCalibrationCommandCapacity];
    FormatText(command, sizeof command, "%s%s!", prefix, value);
    int32_t result = 0;
    int32_t last = 0;
    for (uint32_t attempt = 0; attempt < sdi.tries; ++attempt) {
        char reply[kSDIReplyCapacity];
        uint32_t length = sizeof reply;
        uint32_t ms = 0;
        last = sdi.SDISendCommand(command, reply, &length, &ms);
        if (last > 0 && std::strstr(reply, "OK") != nullptr) {
            SDI_LOG(sdi, "SDISetSensorCalibration successfully set sensor %s calibration to \"%s\"",
                    name, value);
            result = 1;
            break;
        }
        if (last > 0 && std::strstr(reply, "ERROR") != nullptr) result = -34;
        if (result == 0) result = -22;
    }
    if (last < 0) {
        SDI_LOG(sdi, "SDISetSensorCalibration recieved error %i for %s", last, name);
        result = last;
    }
    return result;
}

}  // namespace

int32_t KorrSDI12::SDIGetSensorCalibration() {
    int32_t r = -22;
    for (int i = 0; i < kAttentionTries && r < 0; ++i)
        r = SDISendCommand("?!", nullptr, nullptr, nullptr);
    if (r < 0)
        SDI_LOG(*this, "SDIGetSensorCalibration \"attention sequence\" recieved error %i", r);

    r = ReadCalibration(*this, "?X4!", "X4", calibration1.data(), calibration1.size());
    if (r < 0 || sensorType != kSensorTypeTwoCalibrations) return r;
    return ReadCalibration(*this, "?Xa!", "Xa", calibration2.data(), calibration2.size());
}

int32_t KorrSDI12::SDISetSensorCalibration(const char* calibration) {
    const char* value = calibration != nullptr ? calibration : calibration1.data();
    if (value[0] == '\0') {
        SDI_LOG(*this, "SDISetSensorCalibration doesn't have a valid X5 calibration string");
        return 0;
    }
    int32_t result = WriteCalibration(*this, "?X5", "X5", value);
    if (sensorType == kSensorTypeTwoCalibrations) {
        // The second string counts only when the first went through; a failed second one is
        // a failure of the whole write.
        const int32_t second = WriteCalibration(*this, "?Xb", "Xb", calibration2.data());
        if (result == 1) result = second;
    }
    if (result != 1) SDI_LOG(*this, "SDISetSensorCalibration did not set sensor calibration");
    return result;
}

}  // namespace korr
