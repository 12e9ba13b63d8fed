#pragma once
// SDI-12 access to a digital sensor behind the communication device: commands such as "?I!" are
// written through the device link's open port and the sensor's answer comes back on the same
// line. The object borrows the link's port; it never opens or closes it.

#include <array>
#include <cstdint>

#include "device/MORVA_Protocol.h"
#include "log/KorrLog.h"

namespace korr {

inline constexpr size_t kSDIIdentificationCapacity = 37;  // 36 characters and the NUL
inline constexpr size_t kSDICalibrationCapacity = 129;    // 128 characters and the NUL
inline constexpr size_t kSDIReplyCapacity = 129;          // 128 characters and the NUL

// Sensor type characters the sensors report for themselves.
inline constexpr char kSensorTypeTwoCalibrations = 'y';  // the one type with an "Xa" string

class KorrSDI12 {
  public:
    KorrSDI12(KorrLog* logTo, MORVA_Protocol* deviceLink);
    ~KorrSDI12();
    KorrSDI12(const KorrSDI12&) = delete;
    KorrSDI12& operator=(const KorrSDI12&) = delete;

    // One exchange with the wake byte and the recovery after a silent sensor. Returns the bytes
    // received (> 0), -21 (sensor and bus silent), -22 (bus answers, command unanswered) or a
    // port error. reply may be null; replyLength is the capacity in and the stored length out.
    int32_t SDISendCommand(const char* command, char* reply, uint32_t* replyLength,
                           uint32_t* elapsedMs);

    // Sensor operations: 1 (or a value) on success, negative on failure.
    int32_t SDIReadSensorInfo();
    int32_t SDIGetSensorVersion();
    int32_t SDISetSensorAddress(char address);
    int32_t SDIGetSensorCalibration();
    int32_t SDISetSensorCalibration(const char* calibration);  // null: the first string held
    int32_t SDIGetSensorType();

    char sensorAddress = '0';
    std::array<char, kSDIIdentificationCapacity> identification{};
    std::array<char, kSDICalibrationCapacity> calibration1{};
    std::array<char, kSDICalibrationCapacity> calibration2{};
    uint8_t sensorType = 0;
    uint32_t firmwareVersion = 0;
    KorrLog* log;
    MORVA_Protocol* link;
    std::array<char, kSDIReplyCapacity> replyBuffer{};
    uint32_t timeoutMs = 2000;
    uint32_t tries = 5;
};

}  // namespace korr
