// Whatever an instrument answers to a settings query or the battery query, the reader stores
// no more than its field holds and terminates it.
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

void RunQuery(korr::Korr_protocol& kp, uint8_t which) {
    switch (which % 4) {
        case 0: {
            char value[16] = {};  // the sanitizer sees a write past it
            kp.GetValueString("get -x", 1000, value, sizeof value);
            Check(std::memchr(value, '\0', sizeof value) != nullptr);
            break;
        }
        case 1: {
            int32_t value = 0;
            kp.GetValueLong("get -lang", 1000, &value);
            break;
        }
        case 2: {
            int32_t percent = 0;
            kp.KDCheckBattery(&percent);
            break;
        }
        default:
            // A whole collection: texts, numbers, the calibration list.
            kp.GetInstInfo(korr::kInstName | korr::kInstContrast | korr::kInstCal |
                           korr::kInstHadjTau);
            for (const auto& cal : kp.instrument.cal) {
                Check(std::memchr(cal, '\0', sizeof cal) != nullptr);
            }
            Check(std::memchr(kp.instrument.name, '\0', sizeof kp.instrument.name) != nullptr);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    korrsim::SimBench bench;
    const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
    korrtest::FuzzDevice device(bench.Line(), reply);
    korr::Korr_protocol kp(nullptr);
    if (!korrtest::OpenFuzzLink(*kp.link, bench.Port())) return 0;
    RunQuery(kp, data[0]);
    return 0;
}
