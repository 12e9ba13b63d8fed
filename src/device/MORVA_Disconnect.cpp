// Changing the device's baud rate and letting go of the device.
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"
#include "serial/Clock.h"

namespace korr {

namespace {

struct BaudCode {
    uint32_t rate;
    int code;
};
constexpr BaudCode kBaudCodes[] = {{9600, 0},   {19200, 1},  {38400, 2}, {57600, 3},
                                   {115200, 4}, {230400, 5}, {460800, 6}};
constexpr uint32_t kHostDefaultBaud = 9600;

}  // namespace

int DeviceBaudCode(uint32_t rate) {
    for (const BaudCode& b : kBaudCodes) {
        if (b.rate == rate) return b.code;
    }
    return -1;
}

int32_t MORVA_Protocol::SetBaudCommand(uint32_t rate) {
    if (!settings.newCommandSet) {
        LINK_LOG(*this, LOG_VERBOSE, "SetBaudCommand: device (%s) can't change baud rate",
                 settings.deviceName);
        return -1;
    }
    int code = DeviceBaudCode(rate);
    if (code < 0) {
        LINK_LOG(*this, LOG_VERBOSE, "SetBaudCommand: unsupported baud rate %d, using 9600",
                 static_cast<int>(rate));
        code = 0;
    }
    char command[32];
    FormatText(command, sizeof command, "set -baud %d\r", code);

    const uint32_t start = TickMs();
    int32_t result = -21;
    for (uint32_t attempt = 0; attempt < tries; ++attempt) {
        char reply[32];
        uint32_t capacity = sizeof reply;
        uint32_t ms = 0;
        int32_t r = DeviceCommand(command, 'K', 1000, reply, &capacity, &ms);
        if (r == -21) {
            if (rate == kHostDefaultBaud) {  // the device already switched back and is silent
                result = 1;
                break;
            }
            result = -21;
            if (port.baud == kHostDefaultBaud) DelayMs(1000);
            continue;
        }
        if (r < 0) {
            result = r;
            continue;
        }
        if (std::strstr(reply, "OK") != nullptr) {
            LINK_LOG(*this, LOG_VERBOSE, "SetBaudCommand set device baud rate to %d (%d ms)",
                     static_cast<int>(rate), ElapsedMs(start));
            result = 1;
            break;
        }
        result = -30;
        if (std::strstr(reply, "\r>") != nullptr) {
            LINK_LOG(*this, LOG_VERBOSE,
                     "SetBaudCommand failed (heard prompt): trying again (%d ms)",
                     ElapsedMs(start));
            continue;
        }
        LINK_LOG(*this, LOG_VERBOSE, "SetBaudCommand failed: heard: %s (%d ms)", reply,
                 ElapsedMs(start));
        break;
    }
    if (result < 0) {
        LINK_LOG(*this, LOG_ERROR, "SetBaudCommand failed with error %d (%d ms)", result,
                 ElapsedMs(start));
    }
    SleepMs(100);
    return result;
}

int32_t MORVA_Protocol::DisconnectDevice(bool quiet) {
    if (request.linkType == kLinkClosed) return 0;
    int32_t result = -22;
    if (request.linkType == kLinkSerial) {
        if (port.baud != kHostDefaultBaud) SetBaudCommand(kHostDefaultBaud);
        result = 1;
    } else if (request.linkType == kLinkRadio) {
        for (uint32_t round = 0; round < tries && !quiet; ++round) {
            KSPurge(port);
            KSWrite(port, "logout\r", 7);
            SleepMs(100);
            char login[32];
            FormatText(login, sizeof login, "login %s\r", settings.deviceName);
            KSWrite(port, login, static_cast<uint32_t>(std::strlen(login)));
            char heard[32];
            int32_t n = KSRead(port, heard, 31);
            if (n <= 0) {  // nothing heard: the device has gone to sleep
                result = 1;
                break;
            }
            LINK_LOG(*this, LOG_VERBOSE, "DisconnectDevice: Device didn't disconnect, retrying");
        }
    }
    settings = DeviceSettingsRecord{};
    resets = 0;
    if (options.keepPortOpen) {
        int32_t r = KSHostBaud(port, kHostDefaultBaud);
        if (r < 0) {
            KSClose(port);
            request.linkType = kLinkClosed;
            LINK_LOG(
                *this, LOG_ERROR,
                "DisconnectDevice: Error setting host baud rate; can't keep port open (error %d)",
                r);
        }
    } else {
        KSClose(port);
        request.linkType = kLinkClosed;
    }
    if (result > 0) LINK_LOG(*this, LOG_VERBOSE, "DisconnectDevice successful");
    return result;
}

}  // namespace korr
