// Reading what a sensor reports about itself: identification, firmware version, type, and the
// refresh of everything; changing its address.
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "sdi/KorrSDI12.h"
#include "sdi/SdiLog.h"
#include "sdi/SdiReply.h"

namespace korr {

namespace {

bool IsSDIAddress(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

int32_t KorrSDI12::SDIReadSensorInfo() {
    identification[0] = '\0';
    calibration1[0] = '\0';
    calibration2[0] = '\0';
    firmwareVersion = 0;
    sensorAddress = '0';
    sensorType = 0;
    const int32_t r = SDIGetSensorVersion();
    if (r < 0) return r;
    SDIGetSensorType();  // a sensor without a known type still has its calibration read
    const int32_t c = SDIGetSensorCalibration();
    return c < 0 ? c : 1;
}

int32_t KorrSDI12::SDIGetSensorVersion() {
    char reply[kSDIReplyCapacity];
    uint32_t length = sizeof reply;
    uint32_t ms = 0;
    const int32_t r = SDISendCommand("?I!", reply, &length, &ms);
    if (r < 0) {
        SDI_LOG(*this, "SDIGetSensorVersion recieved error %i", r);
        return r;
    }
    sensorAddress = reply[0];
    SDIIdentificationText(reply, identification.data(), identification.size());
    firmwareVersion = SDIFirmwareVersion(reply);
    SDI_LOG(*this, "SDIGetSensorVersion found sensor info: %s", identification.data());
    return static_cast<int32_t>(firmwareVersion);
}

int32_t KorrSDI12::SDISetSensorAddress(char address) {
    if (!IsSDIAddress(address)) {
        SDI_LOG(*this, "SDISetSensorAddress can't use \"%c\" as a sensor address", address);
        return -11;
    }
    char command[8];
    FormatText(command, sizeof command, "0A%c!", address);
    char reply[kSDIReplyCapacity];
    uint32_t length = sizeof reply;
    uint32_t ms = 0;
    const int32_t r = SDISendCommand(command, reply, &length, &ms);
    if (r < 0) {
        SDI_LOG(*this, "SDISetSensorAddress recieved error %i", r);
        return r;
    }
    if (reply[0] != address) {
        SDI_LOG(*this, "SDISetSensorAddress could not set sensor address to '%c'", address);
        return -30;
    }
    sensorAddress = address;
    SDI_LOG(*this, "SDISetSensorAddress successfully set sensor address to '%c'", address);
    return 1;
}

int32_t KorrSDI12::SDIGetSensorType() {
    char reply[kSDIReplyCapacity];
    uint32_t length = sizeof reply;
    uint32_t ms = 0;
    int32_t result = SDISendCommand("?X8!", reply, &length, &ms);
    const uint8_t reported = result > 0 ? SDISensorTypeOf(reply) : 0;
    if (reported != 0) {
        sensorType = reported;
        result = 1;
    } else {
        // Older sensors do not answer the type query; their model field tells the type.
        SDI_LOG(*this, "SDIGetSensorType recieved error %i", result > 0 ? -30 : result);
        if (identification[0] == '\0') SDIGetSensorVersion();
        if (const uint8_t known = SDITypeFromIdentification(identification.data()); known != 0)
            sensorType = known;
        result = sensorType != 0 ? 1 : -1;
    }
    if (result == 1) {
        SDI_LOG(*this, "SDIGetSensorType found sensor type as \"%c\"", sensorType);
    } else {
        SDI_LOG(*this, "SDIGetSensorType couldn't detirmine sensor type");
    }
    return result;
}

}  // namespace korr
