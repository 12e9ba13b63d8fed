#pragma once
// What the benchmarks share: a clock that notes every pause the code under measure asks for,
// and the sums they print.

#include <cstdint>
#include <ctime>
#include <map>

#include "serial/Clock.h"

namespace korrbench {

// Passes every call on to the simulator's clock and notes the pauses by length.
class PauseCounter final : public korr::Clock {
  public:
    explicit PauseCounter(korr::Clock& inner) : inner_(inner) {}
    uint32_t TickMs() override { return inner_.TickMs(); }
    void SleepMs(uint32_t ms) override { inner_.SleepMs(ms); }
    void DelayMs(uint32_t ms) override {
        ++pauses[ms];
        inner_.DelayMs(ms);
    }
    int32_t LocalUtcOffset() override { return inner_.LocalUtcOffset(); }
    std::time_t WallTime() override { return inner_.WallTime(); }

    std::map<uint32_t, uint32_t> pauses;  // length in ms -> count

  private:
    korr::Clock& inner_;
};

struct PauseTotals {
    double seconds = 0;   // the pauses the protocol asked for
    uint32_t yields = 0;  // the serial layer's waits while a reply is slow
};

// The serial layer's own 200 ms waits while a reply is slow are not the protocol's pauses.
constexpr uint32_t kSerialYieldMs = 200;

inline PauseTotals SumPauses(const PauseCounter& counter) {
    PauseTotals totals;
    for (const auto& [ms, count] : counter.pauses) {
        if (ms == kSerialYieldMs) {
            totals.yields = count;
        } else {
            totals.seconds += ms * count / 1000.0;
        }
    }
    return totals;
}

inline double Seconds(uint64_t ns) {
    return static_cast<double>(ns) / 1e9;
}

}  // namespace korrbench
