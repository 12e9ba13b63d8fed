// Connecting to an instrument: open the port and log in through the device link, learn what
// the device is, and type the instrument's access code where the device type asks for it.
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/DeviceSettings.h"
#include "instrument/InstrumentLog.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr const char* kAccessCode = "*8173";
constexpr int kLoginTries = 3;
constexpr uint32_t kLoginKeyGapMs = 50;
constexpr uint32_t kLoginSettleMs = 100;
constexpr uint32_t kLoginTimeoutMs = 3000;
constexpr uint32_t kLogoutTimeoutMs = 1000;
constexpr uint32_t kShortReplyCapacity = 32;
constexpr uint32_t kDisconnectSettleMs = 100;

}  // namespace

int32_t Korr_protocol::KDConnect(const char* portName, uint8_t baudIndex, uint32_t tries,
                                 DeviceInfo* info) {
    if (portName == nullptr || portName[0] == '\0' || info == nullptr) return -10;

    LinkOptions options;
    options.keepPortOpen = 0;
    options.serialTries = tries;
    options.radioTries = 0;
    int32_t r = link->ConfigureLink(&options, true);
    if (r < 0) {
        INST_LOG(LOG_ERROR, "KDConnect received error %d trying to configure MORVA_Prototcol", r);
        return r;
    }

    ConnectRequest request;
    CopyText(request.portName, portName);
    request.linkType = kLinkSerial;
    request.baudIndex = baudIndex;
    DeviceSettingsRecord fresh{};
    r = link->ConnectDevice(&request);
    if (r > 0) {
        uint32_t mask = 0;
        r = DeviceSettings(*link, &fresh, &mask, kSettingRead);
    }
    if (r > 0) r = ParseVersionString(fresh.versionText, info);

    if (r > 0 && !info->updatable) {
        INST_LOG(LOG_ERROR, "KDConnect this firmware version is not supported");
        return -120;
    }
    if (r == -20) {
        INST_LOG(LOG_INFO, "KDConnect couldn't connect.");
        return -20;
    }
    if (r == -80 || r == -81) {
        INST_LOG(LOG_INFO, "KDConnect found the KorrBSL listening (%d)", r);
        return r;
    }
    if (r == -30 || r == -32) {
        INST_LOG(LOG_ERROR, "KDConnect this device must not be supported");
        return -120;
    }
    if (r < 0) {
        INST_LOG(LOG_ERROR, "KDConnect received error %d trying to connect to device", r);
        return r;
    }

    // A later restore uploads the identity of the firmware running now, not the saved one.
    loggerSettings.deviceClass = fresh.deviceClass;
    CopyText(loggerSettings.className, fresh.className);
    loggerSettings.newCommandSet = fresh.newCommandSet;
    loggerSettings.version = fresh.version;
    CopyText(loggerSettings.versionText, fresh.versionText);
    deviceType = info->type;
    deviceInfo = *info;

    if (deviceInfo.accessCode) {
        const int32_t login = KDLogin();
        if (login < 0) return login;
    }
    INST_LOG(LOG_INFO, "KDConnect successfully connected to device");
    return r;
}

int32_t Korr_protocol::KDLogin() {
    char command[16];
    FormatText(command, sizeof command, "login %s", kAccessCode);
    const size_t length = std::strlen(command);
    int32_t result = 0;
    bool accepted = false;
    uint32_t ms = 0;
    for (int attempt = 0; attempt < kLoginTries && !accepted; ++attempt) {
        KSPurge(link->port);
        link->replyBuffer[0] = '\0';
        // The instrument takes its access code only when typed, one key at a time.
        for (size_t i = 0; i < length; ++i) {
            KSWrite(link->port, command + i, 1);
            DelayMs(kLoginKeyGapMs);
        }
        DelayMs(kLoginSettleMs);
        DelayMs(kLoginSettleMs);
        char reply[kShortReplyCapacity] = {};
        uint32_t capacity = sizeof reply;
        result = link->DeviceCommand("\n\r", '>', kLoginTimeoutMs, reply, &capacity, &ms);
        accepted = result > 0 && std::strstr(reply, "OK") != nullptr;
    }
    // A reply without "OK" on every try means the code was not taken.
    if (!accepted && result > 0) result = -25;
    if (result < 0) {
        INST_LOG(LOG_ERROR, "KDConnect couldn't log into the device (%d ms)", static_cast<int>(ms));
        return -25;
    }
    INST_LOG(LOG_ERROR, "KDConnect successfully loged into the device (%d ms)",
             static_cast<int>(ms));
    return 1;
}

int32_t Korr_protocol::KDDisconnect(bool sendLogout) {
    if (deviceInfo.accessCode && sendLogout) {
        char reply[kShortReplyCapacity] = {};
        uint32_t capacity = sizeof reply;
        uint32_t ms = 0;
        link->DeviceCommand("logout\r", '>', kLogoutTimeoutMs, reply, &capacity, &ms);
    }
    const int32_t r = link->DisconnectDevice(false);
    DelayMs(kDisconnectSettleMs);
    return r;
}

}  // namespace korr
