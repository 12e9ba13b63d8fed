#pragma once
// The clock seam: every wait and every time stamp of the program goes through one process-wide
// clock, so that protocol behaviour can run in virtual time against the simulator.

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>

namespace korr {

class Clock {
  public:
    virtual ~Clock() = default;
    // Free-running millisecond counter; wraps around; differences in unsigned arithmetic.
    virtual uint32_t TickMs() = 0;
    // A plain pause: nothing else runs meanwhile.
    virtual void SleepMs(uint32_t ms) = 0;
    // A pause that keeps the window responsive from 170 ms up (see DelayMs).
    virtual void DelayMs(uint32_t ms) = 0;
    // Seconds by which local time, daylight saving included, is ahead of UTC.
    virtual int32_t LocalUtcOffset() = 0;
    // Current calendar time (seconds since 1970, UTC).
    virtual std::time_t WallTime() = 0;
};

// Waits up to maxMs while dispatching the window's events; may return early. A GUI installs
// one so that long protocol pauses keep the window alive.
using EventPump = std::function<void(uint32_t maxMs)>;

// Delays from this length up dispatch window events.
inline constexpr uint32_t kResponsiveDelayMs = 170;

// Real time: a monotonic counter, thread sleeps, and the event pump for long delays.
class RealClock final : public Clock {
  public:
    uint32_t TickMs() override;
    void SleepMs(uint32_t ms) override;
    void DelayMs(uint32_t ms) override;
    int32_t LocalUtcOffset() override;
    std::time_t WallTime() override;
};

// Virtual time for tests: nothing waits, time advances by exactly what is asked. Subclasses
// (the simulator's clock) run their device models while time advances.
class VirtualClock : public Clock {
  public:
    explicit VirtualClock(std::time_t wallStart = 1796083200 /* 2026-12-01 00:00 UTC */,
                          int32_t utcOffset = 0)
        : wallStart_(wallStart), utcOffset_(utcOffset) {}

    uint32_t TickMs() override { return static_cast<uint32_t>(nowUs_ / 1000); }
    void SleepMs(uint32_t ms) override { AdvanceTo(nowUs_ + uint64_t{ms} * 1000); }
    void DelayMs(uint32_t ms) override;
    int32_t LocalUtcOffset() override { return utcOffset_; }
    std::time_t WallTime() override {
        return wallStart_ + static_cast<std::time_t>(nowUs_ / 1000000);
    }

    uint64_t NowUs() const { return nowUs_; }
    void SetUtcOffset(int32_t seconds) { utcOffset_ = seconds; }
    void SetWallStart(std::time_t start) { wallStart_ = start; }
    // Moves time forward to the given instant (never backwards).
    virtual void AdvanceTo(uint64_t targetUs) {
        if (targetUs > nowUs_) nowUs_ = targetUs;
    }

  protected:
    uint64_t nowUs_ = 0;

  private:
    std::time_t wallStart_;
    int32_t utcOffset_;
};

// The process-wide clock (a RealClock until someone installs another) and the event pump.
Clock& CurrentClock();
// Installs a clock; null restores the real one. Returns the previous one.
std::shared_ptr<Clock> SetClock(std::shared_ptr<Clock> clock);
void SetEventPump(EventPump pump);
const EventPump& CurrentEventPump();

// The timing functions every layer uses.
uint32_t TickMs();
void DelayMs(uint32_t ms);
void SleepMs(uint32_t ms);
int32_t LocalUtcOffset();
std::time_t WallTime();

// Installs a clock for the lifetime of a scope (tests).
class ScopedClock {
  public:
    explicit ScopedClock(std::shared_ptr<Clock> clock) : previous_(SetClock(std::move(clock))) {}
    ~ScopedClock() { SetClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    std::shared_ptr<Clock> previous_;
};

}  // namespace korr
