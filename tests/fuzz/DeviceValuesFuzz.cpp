// Whatever a device answers to the settings reads the other targets leave out (numbers, the
// port list, the longitude, the remaining texts, the erase prompt), the command parses it
// without harm and never stores more than its field holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DeviceIdentification.h"
#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/MORVA_Protocol.h"
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzDevice.h"
#include "fuzz/FuzzLink.h"
#include "host/SimBench.h"

namespace {

using korrtest::Check;
using korrtest::Guarded;

using TextCommand = int32_t (*)(korr::MORVA_Protocol&, char*, int);

template <size_t N>
void ReadText(korr::MORVA_Protocol& link, TextCommand command) {
    Guarded<N> field;
    command(link, field.text, korr::kSettingRead);
    Check(field.Sound());
}

void ReadNumbers(korr::MORVA_Protocol& link, uint8_t which) {
    using namespace korr;
    int32_t value = 0;
    uint32_t unsignedValue = 0;
    switch (which % 7) {
        case 0:
            ReportCommand(link, &value, kSettingRead);
            break;
        case 1:
            TimeZoneCommand(link, &value, kSettingRead);
            break;
        case 2:
            WakeCommand(link, &unsignedValue, kSettingRead);
            break;
        case 3:
            PADCCommand(link, &value, kSettingRead);
            break;
        case 4:
            DataParameterCommand(link, &value, kSettingRead);
            break;
        case 5:
            IPPortCommand(link, &value, kSettingRead);
            break;
        default:
            RmodeCommand(link, &unsignedValue, kSettingRead);
            break;
    }
}

void RunCommand(korr::MORVA_Protocol& link, uint8_t which) {
    using namespace korr;
    switch (which % 12) {
        case 0: {
            uint8_t ports[5] = {};
            PortsCommand(link, ports, kSettingRead);
            break;
        }
        case 1: {
            double longitude = 0;
            LongitudeCommand(link, &longitude, kSettingRead);
            break;
        }
        case 2:
            ReadText<9>(link, DeviceIDCommand);
            break;
        case 3:
            ReadText<16>(link, SNCommand);
            break;
        case 4:
            ReadText<17>(link, KorrBuildCommand);
            break;
        case 5:
            ReadText<26>(link, SiteCommand);
            break;
        case 6:
            ReadText<36>(link, APNCommand);
            break;
        case 7:
            ReadText<36>(link, APNUserCommand);
            break;
        case 8:
            ReadText<36>(link, APNPasswdCommand);
            break;
        case 9:
            ReadText<64>(link, HostCommand);
            break;
        case 10:
            EraseData(link);
            break;
        default:
            ReadNumbers(link, static_cast<uint8_t>(which / 12));
            break;
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
    korr::DeviceSettingsRecord& s = link.settings;
    s.newCommandSet = (data[1] & 1) ? 0 : 1;
    s.deviceClass = (data[1] & 1) ? korr::kClassTr3 : korr::kClassTr30;
    s.capabilities = ~0u;
    s.trait = korr::kTraitValid | korr::kTraitModem | korr::kTraitRadio;
    RunCommand(link, data[0]);
    link.request.linkType = korr::kLinkClosed;  // nothing to log out of
    return 0;
}
