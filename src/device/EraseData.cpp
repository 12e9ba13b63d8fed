// Erasing a logger's stored data. The device asks for confirmation; it is given only to the
// device that was logged in, so data of another device is never erased.
#include <cstring>

#include "device/DeviceIdentification.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr uint32_t kEraseTimeoutMs = 17000;  // erasing the data memory takes its time
constexpr int32_t kBrokenDataFlash = -65;

// The name of the device now answering, and the prompt its firmware ends the erasure with.
int32_t ReadIdentity(MORVA_Protocol& link, char* name, char* prompt) {
    if (link.settings.newCommandSet) {
        *prompt = '>';
        return NameCommand(link, name, kSettingRead);
    }
    *prompt = '!';
    return ParseShowCommand(link, name);
}

int32_t ConfirmErase(MORVA_Protocol& link, char prompt) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskDevice(link, "yes\r", reply, sizeof reply, kEraseTimeoutMs, prompt);
    if (r == -34 || r == -22 || r == -21) return kBrokenDataFlash;
    if (r < 0) return r;
    if (Contains(reply, "OK")) return 1;
    if (Contains(reply, "DataFlash FAIL")) return kBrokenDataFlash;
    return -30;
}

}  // namespace

int32_t EraseData(MORVA_Protocol& link) {
    const uint32_t start = TickMs();
    char name[kDeviceNameCapacity] = {};
    char prompt = '>';
    int32_t r = ReadIdentity(link, name, &prompt);
    if (r < 0) {
        LINK_LOG(link, LOG_ERROR, "EraseData failed checking the identity of device (error %d)", r);
        return -37;
    }
    if (std::strncmp(name, link.settings.deviceName, kDeviceNameCapacity - 1) != 0) {
        LINK_LOG(link, LOG_ERROR, "EraseData: Identity mismatch. Class: %s, Device: %s",
                 link.settings.deviceName, name);
        return -37;
    }
    r = ConfirmErase(link, prompt);
    if (r > 0) {
        LINK_LOG(link, LOG_VERBOSE, "InitializeDevice erased device data (%d ms)",
                 ElapsedMs(start));
        return 1;
    }
    if (r == kBrokenDataFlash) {
        LINK_LOG(link, LOG_ERROR, "EraseData failed due to a broken DataFlash (%d ms)",
                 ElapsedMs(start));
    } else {
        LINK_LOG(link, LOG_ERROR, "EraseData failed with error %d (%d ms)", r, ElapsedMs(start));
    }
    return r;
}

}  // namespace korr
