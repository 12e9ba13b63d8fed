// Programs the built-in image into a simulated instrument at 9600 baud, in virtual time, and
// shows where the time goes: the bytes on the wire both ways and the pauses the loader
// protocol asks for, against the elapsed (virtual) time. Not a test: a program to run.

#include <chrono>
#include <cstdio>
#include <memory>

#include "bsl/KorrBSLHost.h"
#include "device/DeviceTypes.h"
#include "host/SimInstrument.h"
#include "PauseCounter.h"
#include "serial/Clock.h"

using korrbench::PauseCounter;
using korrbench::Seconds;

int main() {
    korrsim::SimInstrument sim("QS7");
    auto counter = std::make_shared<PauseCounter>(sim.Bench().Clock());
    korr::ScopedClock scoped(counter);
    korr::KorrBSLHost host(nullptr);
    if (host.image.status < 0 || host.image.text.empty()) {
        std::fprintf(stderr, "the built-in image is not usable (status %d)\n", host.image.status);
        return 1;
    }
    const korr::DeviceTypeRow& row = korr::DeviceTypeInfo(korr::kDeviceTypeQS7);

    const auto wallStart = std::chrono::steady_clock::now();
    const uint32_t start = korr::TickMs();
    int32_t r = host.BSLConnect(sim.Port(), row.loaderBaud, false, 3);
    if (r >= 0) r = host.BSLEraseINFO(row.infoStart, row.infoSegments, row.infoSegmentSize, false);
    if (r >= 0) r = host.BSLEraseFlash(row.flashStart, row.flashEnd, false);
    if (r >= 0) r = host.BSLSendFirmware(false);
    if (r >= 0) r = host.BSLSendVectors();
    host.BSLDisconnect();
    const double elapsed = (korr::TickMs() - start) / 1000.0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (r < 0) {
        std::fprintf(stderr, "programming failed with error %d\n", r);
        return 1;
    }

    const korrsim::LinkStats& line = sim.Line().Stats();
    const auto [pauses, yields] = korrbench::SumPauses(*counter);
    const korrsim::LoaderStats& loader = sim.Loader().Stats();
    const korrsim::LoaderTiming& timing = sim.Loader().Timing();
    const double busy = (loader.erases * timing.eraseSegment +
                         host.image.length / 4 * timing.programWord + timing.vectors) /
                        1e6;
    const double wire = Seconds(line.wireNsToDevice) + Seconds(line.wireNsToHost);

    std::printf("Programming %s (%u characters) at %u baud, in virtual time\n", host.image.name,
                host.image.length, row.loaderBaud);
    std::printf("  elapsed (virtual)              %8.3f s\n", elapsed);
    std::printf("  wire time to the instrument    %8.3f s  (%llu bytes)\n",
                Seconds(line.wireNsToDevice), static_cast<unsigned long long>(line.bytesToDevice));
    std::printf("  wire time to the host          %8.3f s  (%llu bytes)\n",
                Seconds(line.wireNsToHost), static_cast<unsigned long long>(line.bytesToHost));
    std::printf("  pauses of the loader protocol  %8.3f s\n", pauses);
    std::printf("  wire time + pauses             %8.3f s\n", wire + pauses);
    std::printf("  ratio elapsed / (wire+pauses)  %8.3f\n", elapsed / (wire + pauses));
    std::printf("  of the rest: loader busy about %8.3f s, serial-wait yields %u x 200 ms\n", busy,
                yields);
    std::printf("  real time taken by the run     %8.3f s\n", wall);
    return 0;
}
