// The trait: which modules (radio, network modem) a device has. Devices that cannot report it
// get it worked out from their class and from whether a radio module answers.
#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/SettingsSupport.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int32_t kTraitWithRadio = kTraitValid | kTraitRadio;  // 16385
constexpr int32_t kTraitNothing = kTraitValid;                  // valid, no modules
constexpr int32_t kStoredTraitMax = 255;  // the device keeps the complement in one byte

int32_t TraitWrite(MORVA_Protocol& link, int32_t trait, uint32_t start) {
    if ((trait & kTraitValid) == 0) return -11;
    if ((link.settings.capabilities & kCapExtended) == 0) return -12;
    char command[kCommandCapacity];
    FormatText(command, sizeof command, "set -trait %d\r", ~trait & 0xFF);
    int32_t r = SendSet(link, command, Confirm::kOK);
    if (r < 0) return r;
    LINK_LOG(link, LOG_VERBOSE, "TraitCommand set trait to %d (%d ms)", trait, ElapsedMs(start));
    return 1;
}

int32_t TraitAsk(MORVA_Protocol& link, int32_t* trait, uint32_t start) {
    char reply[kSettingReplyCapacity];
    int32_t r = AskDevice(link, "get -trait\r", reply, sizeof reply);
    if (r < 0) return r;
    int32_t stored = 0;
    if (!TakeNumber(reply, &stored) || stored < 0 || stored > kStoredTraitMax) return -30;
    *trait = (kStoredTraitMax - stored) | kTraitValid;
    LINK_LOG(link, LOG_VERBOSE, "TraitCommand: found %d (%d ms)", *trait, ElapsedMs(start));
    return 1;
}

// Without "get -trait": a device without radio commands has no radio; one reached over the radio
// has one; otherwise a radio module that tells its version is there. 0 when that question failed.
int32_t TraitEmulate(MORVA_Protocol& link, int32_t* trait) {
    if ((link.settings.capabilities & kCapRadioModule) == 0 || link.IsRadioLink()) {
        *trait = link.IsRadioLink() ? kTraitWithRadio : kTraitNothing;
        LINK_LOG(link, LOG_VERBOSE, "TraitCommand (emulated): knows %d", *trait);
        return 1;
    }
    char version[kDeviceNameCapacity] = {};
    uint32_t mask = kSetRadioVersion;
    int32_t r = MSRadioCommand(link, nullptr, nullptr, version, kSettingRead, &mask);
    *trait = (mask & kSetRadioVersion) ? kTraitWithRadio : kTraitNothing;
    if (r < 0) return 0;
    LINK_LOG(link, LOG_VERBOSE, "TraitCommand (emulated): found %d", *trait);
    return 1;
}

}  // namespace

int32_t TraitHasRadio(int32_t trait) {
    if ((trait & kTraitValid) == 0) return -1;
    return (trait & kTraitRadio) ? 1 : 0;
}

int32_t TraitHasModem(int32_t trait) {
    if ((trait & kTraitValid) == 0) return -1;
    return (trait & kTraitModem) ? 1 : 0;
}

int32_t TraitCommand(MORVA_Protocol& link, int32_t* trait, int mode) {
    const uint32_t start = TickMs();
    int32_t result;
    if (trait == nullptr) {
        result = -10;
    } else if (mode == kSettingWrite) {
        result = TraitWrite(link, *trait, start);
    } else if (link.settings.deviceClass == kClassFieldHub) {
        *trait = kTraitWithRadio;
        LINK_LOG(link, LOG_VERBOSE, "TraitCommand: set trait to %d for FieldHub", *trait);
        result = 1;
    } else if (link.settings.capabilities & kCapTraitRead) {
        result = TraitAsk(link, trait, start);
    } else {
        result = TraitEmulate(link, trait);
    }
    return Finished(link, "TraitCommand", result, start);
}

}  // namespace korr
