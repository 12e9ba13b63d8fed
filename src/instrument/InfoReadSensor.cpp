// The digital sensor's section of the settings file, read back into the SDI-12 object.
#include <cstring>

#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"

namespace korr {

int32_t ReadSensorSection(Korr_protocol& protocol, const char* fileText) {
    char type[33];
    if (!GetFileString(fileText, "type", type, sizeof type) ||
        std::strcmp(type, DeviceTypeInfo(kDeviceTypeDigitalSensor).code) != 0) {
        return -30;
    }
    static constexpr const char* kAlwaysWritten[] = {"addressInt", "calibration"};
    NoteMissingKeys(fileText, kAlwaysWritten, protocol.settingsNotInFile);
    KorrSDI12& sdi = *protocol.sdi;
    int32_t address = 0;
    if (GetFileLong(fileText, "addressInt", &address)) {
        sdi.sensorAddress = static_cast<char>(address & 0xFF);
    }
    GetFileString(fileText, "calibration", sdi.calibration1.data(), sdi.calibration1.size());
    // Older files hold neither the type nor the second string: the sensor keeps what it has.
    int32_t sensorType = 0;
    if (GetFileLong(fileText, "sensorType", &sensorType)) {
        sdi.sensorType = static_cast<uint8_t>(sensorType & 0xFF);
        GetFileString(fileText, "calibration2", sdi.calibration2.data(), sdi.calibration2.size());
    }
    return 1;
}

}  // namespace korr
