// The digital sensor's lines of the settings file.
#include "device/DeviceTypes.h"
#include "instrument/InfoFile.h"

namespace korr {

void AppendSensorSection(InfoText& out, const KorrSDI12& sdi) {
    AppendLine(out, "type=\"%s\"\r\n", DeviceTypeInfo(kDeviceTypeDigitalSensor).code);
    AppendLine(out, "identity=\"%s\"\r\n", sdi.identification.data());
    AppendLine(out, "address=\"%c\"\r\n", sdi.sensorAddress);
    AppendLine(out, "addressInt=\"%i\"\r\n", static_cast<int>(sdi.sensorAddress));
    AppendLine(out, "calibration=\"%s\"\r\n", sdi.calibration1.data());
    // The type decides whether the second string is written back; as a number, since some
    // types are characters the file cannot show.
    AppendLine(out, "sensorType=\"%d\"\r\n", static_cast<int>(sdi.sensorType));
    AppendLine(out, "calibration2=\"%s\"\r\n", sdi.calibration2.data());
}

}  // namespace korr
