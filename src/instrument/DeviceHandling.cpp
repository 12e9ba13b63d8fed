#include "instrument/DeviceHandling.h"

namespace korr {

namespace {

constexpr DeviceHandling Logger(int type, uint32_t request) {
    return DeviceHandling{.type = type,
                          .family = SettingsFamily::Logger,
                          .request = request,
                          .newerFrom = 0,
                          .newerRequest = 0,
                          .sensorTypeZeroFirst = false,
                          .configFollowsSerial = false,
                          .erase = EraseWay::LoggerErase,
                          .clockInSeconds = false};
}

constexpr DeviceHandling Instrument(int type, uint32_t request, EraseWay erase,
                                    bool clockInSeconds) {
    return DeviceHandling{.type = type,
                          .family = SettingsFamily::Instrument,
                          .request = request,
                          .newerFrom = 0,
                          .newerRequest = 0,
                          .sensorTypeZeroFirst = false,
                          .configFollowsSerial = false,
                          .erase = erase,
                          .clockInSeconds = clockInSeconds};
}

constexpr EraseWay kYes = EraseWay::Yes;
constexpr EraseWay kNo = EraseWay::None;

constexpr DeviceHandling kNothing{.type = 0,
                                  .family = SettingsFamily::None,
                                  .request = 0,
                                  .newerFrom = 0,
                                  .newerRequest = 0,
                                  .sensorTypeZeroFirst = false,
                                  .configFollowsSerial = false,
                                  .erase = EraseWay::None,
                                  .clockInSeconds = false};

// clang-format off
constexpr DeviceHandling kHandling[] = {
    Logger(2, 0x08000077),
    Logger(3, 0x07FFEFFF),
    Logger(4, 0x00000D07),
    DeviceHandling{.type = 10, .family = SettingsFamily::Sensor, .request = 0, .newerFrom = 0,
                   .newerRequest = 0, .sensorTypeZeroFirst = false,
                   .configFollowsSerial = false, .erase = EraseWay::None,
                   .clockInSeconds = false},
    Instrument(6, 0x4000007A, kNo, false),
    Instrument(7, 0x00100192, kYes, false),
    DeviceHandling{.type = 8, .family = SettingsFamily::Instrument, .request = 0x07000400,
                   .newerFrom = 200, .newerRequest = 0x07000C12, .sensorTypeZeroFirst = false,
                   .configFollowsSerial = false, .erase = EraseWay::Yes,
                   .clockInSeconds = true},
    Instrument(9, 0x000000B2, kYes, false),
    Instrument(11, 0x80027402, kYes, true),
    Instrument(12, 0x00000C00, kNo, false),
    Instrument(13, 0x00000003, kNo, false),
    Instrument(14, 0x00AC0013, kYes, false),
    DeviceHandling{.type = 15, .family = SettingsFamily::Instrument, .request = 0x38000802,
                   .newerFrom = 0, .newerRequest = 0, .sensorTypeZeroFirst = true,
                   .configFollowsSerial = true, .erase = EraseWay::Yes,
                   .clockInSeconds = true},
    Instrument(16, 0x28400802, kYes, true),
    Instrument(17, 0x00000802, kNo, false),
    Logger(18, 0x07FFEFFF),
    Logger(19, 0x07FFEFFF),
};
// clang-format on

}  // namespace

const DeviceHandling& HandlingOf(int deviceType) {
    for (const DeviceHandling& h : kHandling) {
        if (h.type == deviceType) return h;
    }
    return kNothing;
}

uint32_t RequestWordOf(int deviceType, int32_t firmwareVersion) {
    const DeviceHandling& h = HandlingOf(deviceType);
    if (h.newerFrom != 0 && firmwareVersion >= h.newerFrom) return h.newerRequest;
    return h.request;
}

}  // namespace korr
