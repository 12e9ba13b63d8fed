#include "serial/Clock.h"

#include <chrono>
#include <thread>

namespace korr {

namespace {

std::shared_ptr<Clock>& ClockSlot() {
    static std::shared_ptr<Clock> slot = std::make_shared<RealClock>();
    return slot;
}

EventPump& PumpSlot() {
    static EventPump pump;
    return pump;
}

}  // namespace

uint32_t RealClock::TickMs() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void RealClock::SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealClock::DelayMs(uint32_t ms) {
    if (ms < kResponsiveDelayMs) {
        SleepMs(ms);
        return;
    }
    // A copy: a handler run by the pump may install another pump meanwhile.
    const EventPump pump = CurrentEventPump();
    const uint32_t start = TickMs();
    uint32_t remaining = ms;
    for (;;) {
        if (pump) {
            pump(remaining);
        } else {
            SleepMs(remaining);
        }
        // Unsigned difference: correct across the counter's wrap.
        uint32_t elapsed = TickMs() - start;
        if (elapsed >= ms) return;
        remaining = ms - elapsed;
    }
}

int32_t RealClock::LocalUtcOffset() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    int32_t dst = local.tm_isdst > 0 ? 3600 : 0;
    std::tm utc{};
    gmtime_r(&t, &utc);
    utc.tm_isdst = 0;
    std::time_t u = mktime(&utc);
    return static_cast<int32_t>(t + dst - u);
}

std::time_t RealClock::WallTime() {
    return std::time(nullptr);
}

void VirtualClock::DelayMs(uint32_t ms) {
    SleepMs(ms);
    // Let a window handle what queued up meanwhile, as a real long delay would.
    if (ms >= kResponsiveDelayMs) {
        const EventPump pump = CurrentEventPump();
        if (pump) pump(0);
    }
}

Clock& CurrentClock() {
    return *ClockSlot();
}

std::shared_ptr<Clock> SetClock(std::shared_ptr<Clock> clock) {
    std::shared_ptr<Clock> previous = ClockSlot();
    ClockSlot() = clock ? std::move(clock) : std::make_shared<RealClock>();
    return previous;
}

void SetEventPump(EventPump pump) {
    PumpSlot() = std::move(pump);
}
const EventPump& CurrentEventPump() {
    return PumpSlot();
}

uint32_t TickMs() {
    return CurrentClock().TickMs();
}
void DelayMs(uint32_t ms) {
    CurrentClock().DelayMs(ms);
}
void SleepMs(uint32_t ms) {
    CurrentClock().SleepMs(ms);
}
int32_t LocalUtcOffset() {
    return CurrentClock().LocalUtcOffset();
}
std::time_t WallTime() {
    return CurrentClock().WallTime();
}

}  // namespace korr
