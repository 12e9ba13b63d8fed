#pragma once
// The records of the device command layer: link options, the connect request, the settings
// record of a logger-family device, and the description of a device to update.

#include <cstdint>

#include "serial/KorrSerial.h"

namespace korr {

// Link types; the request's link type is also the link's state.
inline constexpr uint8_t kLinkClosed = 0;
inline constexpr uint8_t kLinkSerial = 10;
inline constexpr uint8_t kLinkRadio = 30;

struct LinkOptions {
    uint8_t keepPortOpen = 0;
    uint32_t serialTries = 3;  // 1..12; 0 means 3
    uint32_t radioTries = 5;   // 1..12; 0 means 5
    uint8_t progressHookOn = 0;
    int8_t traceLevel = 0;     // 0..3: 1 received text, 2 sent text, 3 both
    uint32_t extraWaitMs = 0;  // 0..30000, added to every exchange's time-out
};

inline constexpr size_t kDeviceNameCapacity = 9;  // 8 characters and the NUL

struct ConnectRequest {
    // As wide as the serial layer's port names: device paths do not fit in 12 characters.
    char portName[kPortNameCapacity] = {};
    uint8_t linkType = kLinkClosed;
    uint8_t baudIndex = 0;  // 0 means 2 (9600); on return, the index in use
    char deviceName[kDeviceNameCapacity] = {};
    int32_t radioChannel = 0;
    int32_t radioSubchannel = 0;
    uint8_t configureRadioFirst = 0;
};

// Bits of the valid mask, the request mask of DeviceSettings and its done mask.
enum SettingBit : uint32_t {
    kSetName = 1u << 0,
    kSetSerialNumber = 1u << 1,
    kSetVersion = 1u << 2,
    kSetTrait = 1u << 3,
    kSetInterval = 1u << 4,
    kSetPorts = 1u << 5,
    kSetPADC = 1u << 6,
    kSetDeviceID = 1u << 7,
    kSetDataParameter = 1u << 8,
    kSetRadioMode = 1u << 9,
    kSetRadioChannel = 1u << 10,
    kSetRadioSubchannel = 1u << 11,
    kSetRadioVersion = 1u << 12,
    kSetDepths = 1u << 13,
    kSetSite = 1u << 14,
    kSetLatitude = 1u << 15,
    kSetLongitude = 1u << 16,
    kSetTimeZone = 1u << 17,
    kSetAPN = 1u << 18,
    kSetAPNUser = 1u << 19,
    kSetAPNPassword = 1u << 20,
    kSetRemoteHost = 1u << 21,
    kSetAuthKey = 1u << 22,
    kSetIPPort = 1u << 23,
    kSetReportMode = 1u << 24,
    kSetADC30 = 1u << 25,
    kSetADC15 = 1u << 26,
    kSetBuild = 1u << 27,
};

// Trait: bit 14 marks it valid; bit 0 a radio module, bit 3 a network modem.
inline constexpr int32_t kTraitValid = 0x4000;
inline constexpr int32_t kTraitRadio = 0x0001;
inline constexpr int32_t kTraitModem = 0x0008;

struct DeviceSettingsRecord {
    uint32_t validMask = 0;
    uint32_t capabilities = 0;
    uint8_t deviceClass = 0;
    char className[32] = {};
    uint8_t newCommandSet = 0;
    char deviceID[9] = {};
    char deviceName[kDeviceNameCapacity] = {};
    char serialNumber[16] = {};
    char versionText[21] = {};
    int32_t version = 0;
    int32_t trait = 0;
    char build[17] = {};
    uint32_t interval = 0;
    uint8_t ports[5] = {};
    uint8_t depths[5] = {};
    int32_t padcHz = 0;
    char site[26] = {};
    double latitude = 0;
    double longitude = 0;
    int32_t timeZone = 0;  // quarter hours
    uint8_t adc30A[5] = {};
    uint8_t adc30B[5] = {};
    uint8_t adc15A[5] = {};
    uint8_t adc15B[5] = {};
    int32_t dataParameter = 0;
    int32_t reportMode = 0;
    uint32_t radioMode = 0;
    int32_t radioChannel = 0;
    int32_t radioSubchannel = 0;
    char radioVersion[9] = {};
    char apn[36] = {};
    char apnUser[36] = {};
    char apnPassword[36] = {};
    char authKey[33] = {};
    char remoteHost[64] = {};
    int32_t ipPort = 0;
};

// What the update sequence needs to know of the device it updates.
struct DeviceInfo {
    uint8_t type = 0;
    char displayName[33] = {};
    char versionText[22] = {};
    int32_t version = 0;
    uint32_t restartDelayMs = 0;
    uint8_t saveRestore = 0;
    uint8_t eraseData = 0;
    uint8_t checkBattery = 0;
    uint8_t accessCode = 0;
    uint8_t setClock = 0;
    uint8_t updatable = 0;
    uint8_t checkWithInit = 0;
    uint8_t calibrationNotice = 0;
    uint32_t flashStart = 0;
    uint32_t flashEnd = 0;
    uint8_t twentyBitAddresses = 0;
    uint32_t infoStart = 0;
    uint32_t infoSegments = 0;
    uint32_t infoSegmentSize = 0;
    uint32_t loaderBaud = 0;
    int32_t sensorType = 0;
};

}  // namespace korr
