// Opening the link and logging into the device, on a serial line or through a radio modem.
#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"

namespace korr {

namespace {

constexpr uint32_t kHostDefaultBaud = 9600;
constexpr uint8_t kDefaultBaudIndex = 2;
constexpr uint32_t kRadioSetupTries = 3;

// Link types the command language knows but this program does not drive.
constexpr uint8_t kUnsupportedLinks[] = {4, 20, 40, 100, 110, 120};

bool IsUnsupportedLink(uint8_t linkType) {
    for (uint8_t t : kUnsupportedLinks) {
        if (t == linkType) return true;
    }
    return false;
}

}  // namespace

int32_t MORVA_Protocol::ConnectDevice(ConnectRequest* connectRequest) {
    if (connectRequest == nullptr) return -10;
    if (!replyBuffer) return -60;
    settings = DeviceSettingsRecord{};
    resets = 0;

    const uint8_t linkType = connectRequest->linkType;
    if (linkType == kLinkClosed) return -11;
    if (IsUnsupportedLink(linkType)) return -13;
    if (linkType == kLinkSerial) {
        tries = options.serialTries;
    } else if (linkType == kLinkRadio) {
        tries = options.radioTries;
    } else {
        return -10;
    }
    if (connectRequest->baudIndex == 0) connectRequest->baudIndex = kDefaultBaudIndex;

    if (request.linkType == kLinkClosed) {
        // The whole name goes to the port: device paths are longer than the old COMn names.
        int32_t r = KSOpen(port, connectRequest->portName, kHostDefaultBaud);
        if (r < 0) return r;
    }
    request = *connectRequest;
    request.portName[kPortNameCapacity - 1] = '\0';
    request.deviceName[kDeviceNameCapacity - 1] = '\0';

    if (request.linkType == kLinkRadio && request.configureRadioFirst) {
        tries = kRadioSetupTries;
        int32_t channel = request.radioChannel;
        int32_t subchannel = request.radioSubchannel;
        uint32_t mask = kSetRadioChannel | kSetRadioSubchannel;
        int32_t r = Tm8Config(*this, &channel, &subchannel, nullptr, 1, &mask);
        if (r != 1) {
            if (!options.keepPortOpen) {
                request.linkType = kLinkClosed;
                KSClose(port);
            }
            return -23;
        }
        tries = options.radioTries;
    }

    int32_t result = DeviceLogin(request.deviceName, nullptr, &request.baudIndex);
    CopyText(connectRequest->deviceName, request.deviceName);
    connectRequest->baudIndex = request.baudIndex;
    if (result < 0 && !options.keepPortOpen) {
        KSClose(port);
        request.linkType = kLinkClosed;
    }
    return result;
}

int32_t MORVA_Protocol::DeviceLogin(char* name, const char* /*ignored*/, uint8_t* baudIndex) {
    if (name == nullptr) return -10;
    uint8_t unusedIndex = kDefaultBaudIndex;
    if (baudIndex == nullptr) baudIndex = &unusedIndex;
    if (port.baud != kHostDefaultBaud) {
        int32_t r = KSHostBaud(port, kHostDefaultBaud);
        if (r < 0) {
            LINK_LOG(*this, LOG_VERBOSE,
                     "DeviceLogin: host reports it can't change baud (error %d)", r);
            return -20;
        }
    }
    return IsRadioLink() ? RadioLogin(name, baudIndex) : SerialLogin(baudIndex);
}

int32_t MORVA_Protocol::SerialLogin(uint8_t* baudIndex) {
    int32_t r = VerCommand(*this, true);
    if (r == -21) {
        LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin: nothing is listening over the serial port");
        return -20;
    }
    if (r < 0) {
        LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin failed with error %d", r);
        return r;
    }
    // A rate the device has no code for (or an index outside the table) would leave host and
    // device at different rates: stay at 9600 then.
    const uint32_t rate = BaudIndexToRate(*baudIndex);
    if ((settings.capabilities & kCapBaudChange) && DeviceBaudCode(rate) >= 0 &&
        rate != port.baud) {
        r = SetBaudCommand(rate);
        if (r > 0) {
            r = KSHostBaud(port, rate);
            if (r < 0) {
                LINK_LOG(*this, LOG_ERROR,
                         "DeviceLogin: host reports it can't change baud (error %d)", r);
                return -20;
            }
        } else {
            LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin: device didn't change baud rate (error %d)",
                     r);
            *baudIndex = kDefaultBaudIndex;
        }
    } else {
        *baudIndex = kDefaultBaudIndex;
    }
    LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin communicating with a device running %s at %d baud",
             settings.versionText, static_cast<int>(port.baud));
    return 1;
}

int32_t MORVA_Protocol::RadioLogin(char* name, uint8_t* baudIndex) {
    int32_t result = -21;
    bool wakePending = true;
    for (;;) {
        if (name[0] == '\0') {
            char heard[kDeviceNameCapacity] = {};
            int32_t r = QueryCommand(heard, 1);
            if (r > 0) {
                CopyText(name, kDeviceNameCapacity, heard);
            } else if (r == -40) {
                return -40;
            } else if (r == -21 || r == -22) {
                result = r;  // nobody answered
            } else {
                result = r;
                break;
            }
        }
        if (name[0] != '\0') {
            int32_t r = LoginCommand(name);
            if (r > 0) {
                CopyText(settings.deviceName, name, kDeviceNameCapacity - 1);
                result = 1;
                break;
            }
            result = r;
            if (r != -21) break;
        }
        if (!wakePending) break;
        wakePending = false;
        if (SendWake() == -40) return -40;
    }

    if (result == -21 || result == -22 || (result > 0 && settings.deviceName[0] == '\0')) {
        LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin: nothing is listening over the radio");
        return -20;
    }
    if (result == -32) {
        LINK_LOG(*this, LOG_ERROR, "DeviceLogin thinks a relay must be active");
        return -33;
    }
    if (result < 0) {
        LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin failed with error %d", result);
        return result;
    }
    *baudIndex = kDefaultBaudIndex;
    LINK_LOG(*this, LOG_VERBOSE, "DeviceLogin communicating with a device running %s at %d baud",
             settings.versionText, static_cast<int>(port.baud));
    return 1;
}

}  // namespace korr
