#pragma once
// What the connected device is: the link's own device class and capability mask (from the
// version reply or the old firmware's "show" report), and the updater's device type with the
// facts an update needs (DeviceInfo).

#include <climits>
#include <cstdint>

#include "device/DeviceRecords.h"

namespace korr {

class MORVA_Protocol;

// The link's device classes; the class selects the capability mask.
enum DeviceClassCode : uint8_t {
    kClassUnknown = 0,
    kClassUnknownLogger = 1,
    kClassTr3 = 2,  // also any device that rejects "get -ver" (old firmware)
    kClassTr30 = 3,
    kClassFieldHub = 4,
    kClassWebHub = 5,
    kClassTr3b = 6,
    kClassGeneric = 7,
    kClassCommDevice = 8,
    kClassCalibrator = 9,
    kClassHandview = 10,
    kClassRB2 = 11,
    kClassZLG = 12,
    kClassEnd = 13,
};

struct DeviceClassRow {
    uint8_t deviceClass;
    const char* replyCode;  // the code in the version reply (upper case); null: never matched
    const char* name;
};

inline constexpr DeviceClassRow kDeviceClasses[] = {
    {.deviceClass = kClassUnknown, .replyCode = nullptr, .name = "Unknown"},
    {.deviceClass = kClassUnknownLogger, .replyCode = nullptr, .name = "Unknown Logger"},
    {.deviceClass = kClassTr3, .replyCode = "TR3", .name = "Tr3"},
    {.deviceClass = kClassTr30, .replyCode = "TR30", .name = "Tr30"},
    {.deviceClass = kClassFieldHub, .replyCode = "KS", .name = "FieldHub"},
    {.deviceClass = kClassWebHub, .replyCode = "WH", .name = "WebHub"},
    {.deviceClass = kClassTr3b, .replyCode = "TR3B", .name = "Tr3b"},
    {.deviceClass = kClassGeneric, .replyCode = nullptr, .name = "Generic"},
    {.deviceClass = kClassCommDevice, .replyCode = "MCD", .name = "MORVA Comm Dev"},
    {.deviceClass = kClassCalibrator, .replyCode = "MORVA_CAL", .name = "MORVA Calibrator"},
    {.deviceClass = kClassHandview, .replyCode = "HV", .name = "Handview"},
    {.deviceClass = kClassRB2, .replyCode = "RB2", .name = "rB2"},
    {.deviceClass = kClassZLG, .replyCode = "ZLG", .name = "ZLG"},
    {.deviceClass = kClassEnd, .replyCode = nullptr, .name = "END of List"},
};

// Capability bits: what a device understands beyond the basic commands.
enum Capability : uint32_t {
    kCapBaudChange = 1u << 0,  // changes its baud rate at login
    kCapInterval = 1u << 4,    // measurement interval and PADC
    kCapPorts = 1u << 5,
    kCapTraitRead = 1u << 6,    // "get -trait"
    kCapRadioModule = 1u << 8,  // radio-module commands
    kCapRadioMode = 1u << 9,
    kCapClock = 1u << 12,
    kCapADCcal = 1u << 16,
    kCapDataParameter = 1u << 17,
    kCapBuild = 1u << 18,
    kCapKorrSeconds = 1u << 19,  // the clock is set and read in KorrSeconds
    kCapADCShort = 1u << 20,     // ADC calibration in the short three-value form
    kCapExtended = 1u << 24,     // device ID, report mode, depths, site, time zone, trait write
    kCapPosition = 1u << 26,     // latitude and longitude
};

// A class's capabilities: a base mask and bits that firmware versions from a number on add.
struct CapabilityStep {
    int32_t fromVersion;
    uint32_t bits;
};

struct ClassCapabilities {
    uint8_t deviceClass;
    uint32_t base;
    uint32_t baseOldCommandSet;  // for devices that do not understand "get -ver"
    CapabilityStep steps[8];
};

inline constexpr uint32_t kDefaultCapabilities = 0x1005;

inline constexpr ClassCapabilities kClassCapabilities[] = {
    {.deviceClass = kClassTr3, .base = 0x371F, .baseOldCommandSet = 0x331C, .steps = {}},
    {.deviceClass = kClassTr30,
     .base = 0x7737,
     .baseOldCommandSet = 0x7737,
     .steps = {{105, 0x80},
               {108, 0x40},
               {112, 0x8800},
               {114, 0x70000},
               {118, 0xC00000},
               {119, 0x200000},
               {200, 0x1000000},
               {202, 0x4000000}}},
    {.deviceClass = kClassFieldHub,
     .base = 0x4503,
     .baseOldCommandSet = 0x4503,
     .steps = {{105, 0x80}, {109, 0x20000}}},
    {.deviceClass = kClassTr3b,
     .base = 0x74BE,
     .baseOldCommandSet = 0x74BE,
     .steps = {{204, 0x40000}}},
    {.deviceClass = kClassCommDevice, .base = 0x3007, .baseOldCommandSet = 0x3007, .steps = {}},
    {.deviceClass = kClassCalibrator, .base = 0x10026, .baseOldCommandSet = 0x10026, .steps = {}},
    {.deviceClass = kClassHandview, .base = 0x1D3083, .baseOldCommandSet = 0x1D3083, .steps = {}},
    {.deviceClass = kClassRB2, .base = 0x5E3FFF7, .baseOldCommandSet = 0x5E3FFF7, .steps = {}},
    {.deviceClass = kClassZLG, .base = 0x7C3F6F7, .baseOldCommandSet = 0x7C3F6F7, .steps = {}},
};

// The capability mask of a class at a firmware version.
constexpr uint32_t ClassCapabilityMask(uint8_t deviceClass, bool newCommandSet, int32_t version) {
    for (const ClassCapabilities& c : kClassCapabilities) {
        if (c.deviceClass != deviceClass) continue;
        uint32_t mask = newCommandSet ? c.base : c.baseOldCommandSet;
        for (const CapabilityStep& s : c.steps) {
            if (s.bits != 0 && version >= s.fromVersion) mask |= s.bits;
        }
        return mask;
    }
    return kDefaultCapabilities;
}

static_assert(ClassCapabilityMask(kClassTr30, true, 114) == 0x7FFF7);
static_assert(ClassCapabilityMask(kClassTr3, false, 0) == 0x331C);
static_assert(ClassCapabilityMask(kClassWebHub, true, 500) == kDefaultCapabilities);

// The class whose reply code equals `code` (already upper case); kClassUnknown when none does.
uint8_t FindDeviceClass(const char* code);
// The class's name; classes past the table are "Unknown".
const char* DeviceClassName(uint8_t deviceClass);

// major x 100 + minor x 10 + sub, kept within int32 for absurd majors.
constexpr int32_t ComposeVersion(int major, int minor, int sub) {
    const int64_t v = int64_t{major} * 100 + int64_t{minor} * 10 + sub;
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// Reads "%d.%1d%1d" (a missing last digit counts as 0): 3.60 is 360, 1.2 is 120.
// Returns the number of fields read (3 when the version is complete).
int ScanVersionNumber(const char* text, int32_t* version);

// Asks the device for its version ("get -ver") and fills class, class name, new-command-set
// flag, version text and number and the capability mask of the link's settings record.
// Login mode leaves out the "show" report on old firmware. 1 or a negative code:
// -21 nothing answers, -30 unreadable, -32 echo, -80 the loader answers, -81 the loader waits.
int32_t VerCommand(MORVA_Protocol& link, bool loginMode);

// Parses the "show" report of old logger firmware (class 2 without the new command set). With a
// name buffer (kDeviceNameCapacity) it reads only the device name into it; otherwise it fills
// name, version, radio mode, interval and the resets counter. -11 on newer firmware, -13 for a
// version below 1.10, -30 when the report is unreadable.
int32_t ParseShowCommand(MORVA_Protocol& link, char* name);

// Sets the capability mask from class, new-command-set flag and version.
void UpdateCapabilities(DeviceSettingsRecord& settings);

// Maps a version reply ("QS7 3.60") to a device type and fills `info`. 1, -10 (missing or
// empty text) or -30 (unknown code or unreadable version).
int32_t ParseVersionString(const char* versionText, DeviceInfo* info);

// Rebuilds `info` for a device type, version and (digital sensors) sensor type character.
void FillDeviceInfo(int type, int32_t version, int32_t sensorType, DeviceInfo* info);

}  // namespace korr
