#pragma once
// What the save, restore and check operations do with each device type: which settings family
// it keeps, the request word that collects them, and how its data memory and clock are reached.

#include <cstdint>

#include "instrument/InstrumentSettings.h"

namespace korr {

enum class SettingsFamily : uint8_t {
    None,        // nothing is saved: -13
    Logger,      // a DeviceSettingsRecord through DeviceSettings
    Sensor,      // the digital sensor behind the communication device
    Instrument,  // InstrumentFlags through GetInstInfo and SetInstInfo
};

enum class EraseWay : uint8_t {
    None,         // -13
    LoggerErase,  // EraseData of the device link, with its identity check
    Yes,          // "yes"
};

struct DeviceHandling {
    int type;
    SettingsFamily family;
    uint32_t request;   // the logger's settings mask or the instrument's request word
    int32_t newerFrom;  // firmware from this version on collects newerRequest (0: never)
    uint32_t newerRequest;
    bool sensorTypeZeroFirst;  // "set -sensor 0" before collecting
    bool configFollowsSerial;  // its config value carries the serial number's character sum
    EraseWay erase;
    bool clockInSeconds;  // "set -sec" instead of the device link's clock operation
};

// The handling of a device type; types without any get family None.
const DeviceHandling& HandlingOf(int deviceType);

// The request word of a type at a firmware version (0 for types without one).
uint32_t RequestWordOf(int deviceType, int32_t firmwareVersion);

}  // namespace korr
