#pragma once
// The updater's clock running on the simulator's event loop: every pause of the updater lets
// the simulated devices run for exactly that long, and nothing really waits.

#include <ctime>

#include "core/EventLoop.h"
#include "serial/Clock.h"

namespace korrsim {

class SimClock final : public korr::Clock {
  public:
    explicit SimClock(EventLoop& loop, std::time_t wallStart = 1796083200, int32_t utcOffset = 0)
        : loop_(loop), wallStart_(wallStart), utcOffset_(utcOffset) {}

    uint32_t TickMs() override { return static_cast<uint32_t>(loop_.Now() / kUsPerMs); }
    void SleepMs(uint32_t ms) override { loop_.RunUntil(loop_.Now() + TimeUs{ms} * kUsPerMs); }
    void DelayMs(uint32_t ms) override;
    int32_t LocalUtcOffset() override { return utcOffset_; }
    std::time_t WallTime() override {
        return wallStart_ + static_cast<std::time_t>(loop_.Now() / 1'000'000);
    }
    void SetUtcOffset(int32_t seconds) { utcOffset_ = seconds; }

  private:
    EventLoop& loop_;
    std::time_t wallStart_;
    int32_t utcOffset_;
};

}  // namespace korrsim
