// Whatever an instrument answers to the self-test, the data erase, the clock, the record
// count and records, and the identity questions of a connect, the instrument protocol reads it
// without harm and keeps every text within its field.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzChecks.h"
#include "fuzz/FuzzDevice.h"
#include "fuzz/FuzzLink.h"
#include "host/SimBench.h"
#include "instrument/Korr_protocol.h"

namespace {

using korrtest::Check;
using korrtest::CheckTerminated;

void RunCheck(korr::Korr_protocol& kp, uint8_t which) {
    switch (which % 5) {
        case 0:
            kp.KDCheckFirmware((which & 8) != 0);
            break;
        case 1:
            kp.KDEraseData();
            break;
        case 2:
            // The clock in seconds (QS7) or as date and time through the device layer (TR3).
            kp.deviceType = (which & 8) ? 12 : 1;
            kp.deviceInfo.setClock = 1;
            kp.KDSetTime();
            break;
        case 3: {
            korr::RecordSet set;
            if (kp.GetRecords_Serial(set, (which & 8) ? korr::kRecordUser : korr::kRecordEqn) > 0) {
                Check(set.count <= 100);
                for (int32_t i = 0; i < set.count; ++i) {
                    CheckTerminated(set.records[i].text, sizeof set.records[i].text);
                }
            }
            break;
        }
        default:
            break;  // the connect below
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    korrsim::SimBench bench;
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    korrtest::FuzzDevice device(bench.Line(), reply, 3);
    korr::Korr_protocol kp(nullptr);
    if (data[0] % 5 == 4) {
        korr::DeviceInfo info;
        kp.KDConnect(bench.Port(), 2, 1, &info);
        CheckTerminated(info.versionText, sizeof info.versionText);
        CheckTerminated(info.displayName, sizeof info.displayName);
        kp.KDDisconnect(false);
        return 0;
    }
    if (!korrtest::OpenFuzzLink(*kp.link, bench.Port())) return 0;
    RunCheck(kp, data[0]);
    kp.link->request.linkType = korr::kLinkClosed;
    return 0;
}
