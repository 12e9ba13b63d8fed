// Whatever a device (or line noise) answers, identification reads it without harm: the version
// reply, the old firmware's "show" report, and the version text that names the device type.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DeviceIdentification.h"
#include "device/MORVA_Protocol.h"
#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzDevice.h"
#include "host/SimBench.h"

using korrtest::CheckTerminated;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);

    korr::DeviceInfo info;
    korr::ParseVersionString(reply.c_str(), &info);
    CheckTerminated(info.versionText, sizeof info.versionText);
    CheckTerminated(info.displayName, sizeof info.displayName);

    korrsim::SimBench bench;
    korrtest::FuzzDevice device(bench.Line(), reply);
    korr::MORVA_Protocol link(nullptr);
    if (korr::KSOpen(link.port, bench.Port(), 9600) != 1) return 0;
    link.request.linkType = (mode & 1) ? korr::kLinkRadio : korr::kLinkSerial;
    link.tries = 1 + (mode >> 1) % 3;
    korr::DeviceSettingsRecord& s = link.settings;
    if (mode & 8) {
        s.deviceClass = korr::kClassTr3;  // old firmware: the "show" report
        char name[korr::kDeviceNameCapacity] = {};
        korr::ParseShowCommand(link, (mode & 16) ? name : nullptr);
        if (mode & 16) CheckTerminated(name, sizeof name);
    } else {
        korr::VerCommand(link, (mode & 16) != 0);
    }
    CheckTerminated(s.versionText, sizeof s.versionText);
    CheckTerminated(s.className, sizeof s.className);
    CheckTerminated(s.deviceName, sizeof s.deviceName);
    CheckTerminated(link.replyBuffer.get(), korr::kReplyBufferSize);
    link.request.linkType = korr::kLinkClosed;  // nothing to log out of
    return 0;
}
