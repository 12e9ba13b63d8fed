// The updater's view of a device: its type from the version text and what an update of that
// type needs.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/DeviceTypes.h"

namespace korr {

namespace {

// Digital sensors from these makes kept the old memory map until version 2.50.
constexpr int32_t kSensorNewLayoutVersion = 250;

bool HasOldSensorLayout(int32_t sensorType, int32_t version) {
    return (sensorType == 'z' || sensorType == 'x') && version < kSensorNewLayoutVersion;
}

}  // namespace

void FillDeviceInfo(int type, int32_t version, int32_t sensorType, DeviceInfo* info) {
    if (info == nullptr) return;
    *info = DeviceInfo{};
    const bool known = type > kDeviceTypeUnknown && type < kDeviceTypeEnd;
    const DeviceTypeRow& row = DeviceTypeInfo(type);
    info->type = known ? static_cast<uint8_t>(type) : kDeviceTypeUnknown;
    info->version = version;
    info->sensorType = sensorType;
    CopyText(info->displayName, row.displayName);
    info->restartDelayMs = row.restartDelayMs;
    info->saveRestore = row.saveRestore;
    info->eraseData = row.eraseData;
    info->checkBattery = row.checkBattery;
    info->accessCode = row.accessCode;
    info->setClock = row.setClock;
    info->checkWithInit = row.checkWithInit;
    info->calibrationNotice = row.calibrationNotice;
    info->flashStart = row.flashStart;
    info->flashEnd = row.flashEnd;
    info->twentyBitAddresses = row.twentyBitAddresses;
    info->infoStart = row.infoStart;
    info->infoSegments = row.infoSegments;
    info->infoSegmentSize = row.infoSegmentSize;
    info->loaderBaud = row.loaderBaud;
    info->updatable = known && version >= row.updatableFrom;

    if (type == kDeviceTypeDigitalSensor && !HasOldSensorLayout(sensorType, version)) {
        info->flashStart = 0x8000;
        info->flashEnd = 0xF9FF;
        info->infoStart = 0x1000;
        info->infoSegments = 3;
        info->infoSegmentSize = 64;
    }
}

int32_t ParseVersionString(const char* versionText, DeviceInfo* info) {
    if (info == nullptr || versionText == nullptr || versionText[0] == '\0') return -10;
    int type = kDeviceTypeUnknown;
    int32_t version = 0;
    int32_t result = 1;
    if (std::strchr(versionText, '.') != nullptr) {
        char code[64];
        int major = 0, minor = 0, sub = 0;
        int fields = std::sscanf(versionText, "%63s %d.%1d%1d", code, &major, &minor, &sub);
        if (fields < 3) return -30;
        version = ComposeVersion(major, minor, fields > 3 ? sub : 0);
        for (char* c = code; *c != '\0'; ++c) {
            *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
        type = FindDeviceTypeByCode(code);
        if (type == kDeviceTypeUnknown) result = -30;
    }
    FillDeviceInfo(type, version, 0, info);
    CopyText(info->versionText, versionText);
    return result;
}

}  // namespace korr
