#pragma once
// The device types this updater knows, with the per-type facts of an update: which steps apply,
// the loader's memory map and baud rate, and how long the device takes to restart.

#include <climits>
#include <cstdint>
#include <string_view>

namespace korr {

struct DeviceTypeRow {
    const char* code;
    const char* displayName;
    uint32_t restartDelayMs;
    bool saveRestore;   // save the settings before the update and restore them after
    bool eraseData;     // erase stored data after the update
    bool eraseWarning;  // warn that the update erases stored data
    bool checkBattery;
    bool accessCode;          // log in with the instrument access code
    bool setClock;            // set the device clock after the update
    bool checkWithInit;       // the firmware check sends "post -init"
    bool calibrationNotice;   // show the calibration notice after the update
    bool twentyBitAddresses;  // the loader takes five-digit addresses
    uint32_t flashStart;
    uint32_t flashEnd;
    uint32_t infoStart;
    uint32_t infoSegments;
    uint32_t infoSegmentSize;
    uint32_t loaderBaud;
    int32_t updatableFrom;  // lowest firmware version this updater can replace
};

// updatableFrom of the types whose firmware this updater never replaces.
inline constexpr int32_t kNeverUpdatable = INT32_MAX;
// updatableFrom of the types whose every firmware this updater replaces, whatever the version
// reads (also -1, an unreadable "show" report).
inline constexpr int32_t kAlwaysUpdatable = INT32_MIN;

inline constexpr int kDeviceTypeUnknown = 0;
inline constexpr int kDeviceTypeEnd = 20;  // index of the end marker
inline constexpr int kDeviceTypeDigitalSensor = 10;
inline constexpr int kDeviceTypeQS7 = 12;
inline constexpr int kDeviceTypeQE8 = 15;
inline constexpr int kDeviceTypeQVX = 16;

namespace detail {
// The common row shape: most types share the 16-bit memory map and the 9600-baud loader.
constexpr DeviceTypeRow Row(const char* code, const char* name, uint32_t restart, bool save,
                            bool erase, bool warn, bool battery, bool access, bool clock, bool init,
                            bool calibration, int32_t updatableFrom) {
    return DeviceTypeRow{.code = code,
                         .displayName = name,
                         .restartDelayMs = restart,
                         .saveRestore = save,
                         .eraseData = erase,
                         .eraseWarning = warn,
                         .checkBattery = battery,
                         .accessCode = access,
                         .setClock = clock,
                         .checkWithInit = init,
                         .calibrationNotice = calibration,
                         .twentyBitAddresses = false,
                         .flashStart = 0x1100,
                         .flashEnd = 0xF9FF,
                         .infoStart = 0x1000,
                         .infoSegments = 2,
                         .infoSegmentSize = 128,
                         .loaderBaud = 9600,
                         .updatableFrom = updatableFrom};
}
}  // namespace detail

// Index = the type number used throughout the updater; index 20 is the end marker.
// clang-format off
inline constexpr DeviceTypeRow kDeviceTypes[] = {
    //              code        display name      restart save erase warn batt access clock init calib
    //              updatable from version
    detail::Row("UNKNOWN", "UNKNOWN", 7000, 0, 0, 0, 0, 0, 0, 0, 0, kNeverUpdatable),
    detail::Row("TR3", "Tr3", 1000, 1, 0, 1, 1, 0, 1, 1, 0, kNeverUpdatable),
    detail::Row("TR3B", "Tr3b", 1000, 1, 0, 1, 1, 0, 1, 1, 0, kAlwaysUpdatable),
    detail::Row("TR30", "Tr30", 6000, 1, 1, 1, 1, 0, 1, 1, 0, 103),
    detail::Row("KS", "FieldHub", 6000, 1, 1, 1, 1, 0, 0, 1, 0, 105),
    detail::Row("WH", "WebHub", 4000, 1, 1, 1, 0, 0, 0, 1, 0, kNeverUpdatable),
    detail::Row("QMINI", "Quorra Mini", 8500, 1, 0, 0, 0, 1, 0, 0, 0, 118),
    detail::Row("TM", "Thermion", 7000, 1, 1, 1, 1, 0, 1, 0, 0, kAlwaysUpdatable),
    detail::Row("CZ40", "Canopia CZ-40", 3000, 1, 1, 1, 0, 0, 1, 0, 1, 150),
    detail::Row("SZ", "Stomazor", 7000, 1, 1, 1, 1, 0, 1, 0, 1, kAlwaysUpdatable),
    detail::Row("MORVA-XE", "Digital Sensor", 1000, 0, 0, 0, 0, 0, 0, 0, 0, kAlwaysUpdatable),
    detail::Row("SORB", "Sorbion", 2000, 1, 1, 1, 0, 0, 1, 0, 0, kAlwaysUpdatable),
    detail::Row("QS7", "Quorra Series 7", 2000, 1, 0, 0, 0, 1, 0, 0, 0, 351),
    detail::Row("MCD", "MCD", 7000, 1, 0, 0, 1, 0, 0, 0, 0, kAlwaysUpdatable),
    detail::Row("HV", "Handview", 2000, 1, 1, 1, 1, 0, 1, 0, 0, kAlwaysUpdatable),
    DeviceTypeRow{.code = "QE8", .displayName = "Quorra 8", .restartDelayMs = 4000,
                  .saveRestore = true, .eraseData = true, .eraseWarning = true,
                  .checkBattery = false, .accessCode = true, .setClock = true,
                  .checkWithInit = false, .calibrationNotice = false, .twentyBitAddresses = true,
                  .flashStart = 0x2100, .flashEnd = 0x1FF00, .infoStart = 0x1000,
                  .infoSegments = 3, .infoSegmentSize = 64, .loaderBaud = 57600,
                  .updatableFrom = kAlwaysUpdatable},
    DeviceTypeRow{.code = "QVX", .displayName = "Quorra VX", .restartDelayMs = 8000,
                  .saveRestore = true, .eraseData = true, .eraseWarning = true,
                  .checkBattery = false, .accessCode = false, .setClock = true,
                  .checkWithInit = false, .calibrationNotice = false, .twentyBitAddresses = true,
                  .flashStart = 0x5C00, .flashEnd = 0x3BFFF, .infoStart = 0x1800,
                  .infoSegments = 3, .infoSegmentSize = 128, .loaderBaud = 57600,
                  .updatableFrom = kAlwaysUpdatable},
    detail::Row("HYP9", "HYP9", 2000, 1, 0, 0, 0, 1, 0, 0, 0, kAlwaysUpdatable),
    detail::Row("RB2", "rB2", 6000, 1, 1, 1, 1, 0, 1, 1, 0, kAlwaysUpdatable),
    detail::Row("ZLG", "ZL2 Logger", 6000, 1, 1, 1, 0, 0, 1, 1, 0, kAlwaysUpdatable),
    detail::Row("END", "END", 0, 0, 0, 0, 0, 0, 0, 0, 0, kNeverUpdatable),
};
// clang-format on

static_assert(sizeof kDeviceTypes / sizeof kDeviceTypes[0] == kDeviceTypeEnd + 1);

// The row of a type number; numbers outside 0..19 get the row of "UNKNOWN".
constexpr const DeviceTypeRow& DeviceTypeInfo(int type) {
    return (type > 0 && type < kDeviceTypeEnd) ? kDeviceTypes[type] : kDeviceTypes[0];
}

// The type whose code equals `code` exactly (types 1..19); 0 when none does.
constexpr int FindDeviceTypeByCode(std::string_view code) {
    for (int i = 1; i < kDeviceTypeEnd; ++i) {
        if (code == kDeviceTypes[i].code) return i;
    }
    return kDeviceTypeUnknown;
}

static_assert(FindDeviceTypeByCode("QS7") == kDeviceTypeQS7);
static_assert(FindDeviceTypeByCode("QE8") == kDeviceTypeQE8);
static_assert(DeviceTypeInfo(kDeviceTypeQVX).loaderBaud == 57600);
static_assert(DeviceTypeInfo(kDeviceTypeQS7).updatableFrom == 351);

}  // namespace korr
