// Whatever a loader (or line noise) answers, a loader command classifies it without harm.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bsl/KorrBSLHost.h"
#include "fuzz/FuzzDevice.h"
#include "host/SimBench.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    korrsim::SimBench bench;
    const std::string answer(reinterpret_cast<const char*>(data + 1), size - 1);
    korrtest::FuzzDevice device(bench.Line(), answer);
    korr::KorrBSLHost host(nullptr);
    if (korr::KSOpen(host.port, bench.Port(), 9600) != 1) return 0;
    host.connected = true;
    char reply[korr::kBSLReplyCapacity];
    uint32_t elapsed = 0;
    const char terminator = (data[0] & 1) ? '+' : '\r';
    int32_t r = host.BSLCommand('g', nullptr, 0, terminator, reply, &elapsed);
    if (r > static_cast<int32_t>(korr::kBSLReplyCapacity - 1)) __builtin_trap();
    return 0;
}
