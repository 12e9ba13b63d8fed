// Whatever a device answers to a settings read, the command parses it without harm and never
// stores more than its field holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DeviceIdentification.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzDevice.h"
#include "fuzz/FuzzLink.h"
#include "host/SimBench.h"

namespace {

using korrtest::Check;
using korrtest::Guarded;

void RunCommand(korr::MORVA_Protocol& link, uint8_t which, uint8_t flags) {
    using namespace korr;
    DeviceSettingsRecord& s = link.settings;
    s.newCommandSet = (flags & 1) ? 0 : 1;
    s.deviceClass = (flags & 1) ? kClassTr3 : kClassTr30;
    s.capabilities = ~0u;
    if (!(flags & 2)) s.capabilities &= ~(kCapADCShort | kCapKorrSeconds);
    switch (which % 9) {
        case 0: {
            uint8_t depths[5] = {};
            DepthCommand(link, depths, kSettingRead);
            break;
        }
        case 1: {
            uint8_t a[5] = {}, b[5] = {};
            ADCcalCommand(link, kADCSet30, a, b, kSettingRead);
            break;
        }
        case 2: {
            double latitude = 0;
            LatitudeCommand(link, &latitude, kSettingRead);
            break;
        }
        case 3: {
            int32_t seconds = 0;
            DeviceTime(link, &seconds, kSettingRead);
            break;
        }
        case 4: {
            int32_t channel = 0, subchannel = 0;
            Guarded<kDeviceNameCapacity> version;
            uint32_t mask = kRadioBits;
            Tm8Config(link, &channel, &subchannel, version.text, kSettingRead, &mask);
            Check(version.Sound());
            break;
        }
        case 5: {
            int32_t channel = 0, subchannel = 0;
            Guarded<kDeviceNameCapacity> version;
            uint32_t mask = kRadioBits;
            MSRadioCommand(link, &channel, &subchannel, version.text, kSettingRead, &mask);
            Check(version.Sound());
            break;
        }
        case 6: {
            Guarded<kDeviceNameCapacity> name;
            NameCommand(link, name.text, kSettingRead);
            Check(name.Sound());
            break;
        }
        case 7: {
            Guarded<33> key;
            AuthKeyCommand(link, key.text, kSettingRead);
            Check(key.Sound());
            break;
        }
        default: {
            int32_t trait = 0;
            TraitCommand(link, &trait, kSettingRead);
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    korrsim::SimBench bench;
    const std::string reply(reinterpret_cast<const char*>(data + 2), size - 2);
    korrtest::FuzzDevice device(bench.Line(), reply);
    korr::MORVA_Protocol link(nullptr);
    if (!korrtest::OpenFuzzLink(link, bench.Port())) return 0;
    link.settings.trait = korr::kTraitValid | korr::kTraitModem | korr::kTraitRadio;
    RunCommand(link, data[0], data[1]);
    return 0;
}
