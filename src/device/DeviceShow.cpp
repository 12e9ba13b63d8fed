// The "show" report of the oldest logger firmware, which knows no "get -ver": labelled lines
// such as "ID: NAME", "Version: 1.20", "Radio: 0", "Wake: 60", "Resets: 3".
#include <cstdio>
#include <cstring>

#include "common/FixedText.h"
#include "device/DeviceIdentification.h"
#include "device/LinkLog.h"
#include "device/MORVA_Protocol.h"

namespace korr {

namespace {

constexpr uint32_t kShowTimeoutMs = 1000;
constexpr uint32_t kShowReplyCapacity = 180;
constexpr int32_t kOldestSupportedVersion = 110;

enum ShowError {
    kNameError = 1,
    kVersionError = 2,
    kRadioError = 4,
    kWakeError = 8,
    kResetsError = 16
};

struct ShowField {
    bool present = false;
    const char* value = nullptr;  // null when the report ends before the value
};

// The value starts `offset` characters after the start of its label.
ShowField FindField(const char* report, const char* label, size_t offset) {
    ShowField field;
    const char* at = std::strstr(report, label);
    if (at == nullptr) return field;
    field.present = true;
    if (strnlen(at, offset) == offset) field.value = at + offset;
    return field;
}

// Reads a number field; an absent label leaves the target alone and is no error.
int NumberField(const char* report, const char* label, size_t offset, int* target, int error) {
    ShowField f = FindField(report, label, offset);
    if (!f.present) return 0;
    return f.value != nullptr && std::sscanf(f.value, "%d", target) == 1 ? 0 : error;
}

// Reads the version text and number; `read` tells whether a number was found.
int VersionField(const char* report, DeviceSettingsRecord& s, bool* read) {
    *read = false;
    ShowField f = FindField(report, "Version:", 9);
    if (!f.present) return 0;
    int32_t version = 0;
    if (f.value == nullptr || std::sscanf(f.value, "%20s", s.versionText) != 1 ||
        ScanVersionNumber(s.versionText, &version) < 3) {
        return kVersionError;
    }
    s.version = version;
    *read = true;
    return 0;
}

}  // namespace

int32_t ParseShowCommand(MORVA_Protocol& link, char* name) {
    DeviceSettingsRecord& s = link.settings;
    if (name != nullptr) name[0] = '\0';  // a caller never reads a stale name after a failure
    if (s.deviceClass != kClassTr3 || s.newCommandSet) {
        LINK_LOG(link, LOG_ERROR,
                 "ParseShowCommand doesn't work with devices running \"new\" firmware.");
        return -11;
    }
    const uint32_t start = TickMs();
    char report[kShowReplyCapacity];
    uint32_t capacity = sizeof report;
    uint32_t ms = 0;
    const int32_t r = link.DeviceCommand("show\r", '>', kShowTimeoutMs, report, &capacity, &ms);

    ShowField id = FindField(report, "ID:", 4);
    if (name != nullptr) {  // only the name is wanted
        char found[kDeviceNameCapacity];
        if (id.value == nullptr || std::sscanf(id.value, "%8s", found) != 1) return -30;
        CopyText(name, kDeviceNameCapacity, found);
        return 1;
    }
    int errors = 0;
    if (id.present && (id.value == nullptr || std::sscanf(id.value, "%8s", s.deviceName) != 1)) {
        errors |= kNameError;
    }
    bool versionRead = false;
    errors |= VersionField(report, s, &versionRead);
    if (versionRead && s.version < kOldestSupportedVersion) return -13;
    int radio = static_cast<int>(s.radioMode);
    int wake = static_cast<int>(s.interval);
    int deviceResets = static_cast<int>(link.resets);
    errors |= NumberField(report, "Radio:", 7, &radio, kRadioError);
    errors |= NumberField(report, "Wake:", 6, &wake, kWakeError);
    errors |= NumberField(report, "Resets:", 8, &deviceResets, kResetsError);
    s.radioMode = static_cast<uint32_t>(radio);
    s.interval = static_cast<uint32_t>(wake);
    link.resets = static_cast<uint32_t>(deviceResets);
    s.serialNumber[0] = '\0';

    if (r < 0 || errors != 0) {
        LINK_LOG(link, LOG_ERROR, "ParseShowCommand failed with errors %d and %d (%d ms)", r,
                 errors, ElapsedMs(start));
        s.deviceName[0] = '\0';
        s.versionText[0] = '\0';
        s.version = -1;
        s.interval = static_cast<uint32_t>(-1);
        s.radioMode = 0;
        return -30;
    }
    LINK_LOG(link, LOG_ERROR, "ParseShowCommand found %s:%s:%d:%d:%d (%d ms)", s.deviceName,
             s.versionText, radio, wake, deviceResets, ElapsedMs(start));
    return 1;
}

}  // namespace korr
