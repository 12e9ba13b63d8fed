#include <gtest/gtest.h>

#include <memory>

#include "serial/Clock.h"

using namespace korr;

namespace {

class PumpRecorder {
  public:
    PumpRecorder() {
        SetEventPump([this](uint32_t maxMs) {
            ++calls;
            lastMax = maxMs;
            SleepMs(maxMs);
        });
    }
    ~PumpRecorder() { SetEventPump(nullptr); }
    int calls = 0;
    uint32_t lastMax = 0;
};

TEST(VirtualClock, AdvancesExactlyAndPumpsFrom170Ms) {
    auto clock = std::make_shared<VirtualClock>();
    ScopedClock scoped(clock);
    PumpRecorder pump;
    uint32_t start = TickMs();
    DelayMs(100);
    EXPECT_EQ(TickMs() - start, 100u);
    EXPECT_EQ(pump.calls, 0) << "short delays do not dispatch window events";
    DelayMs(175);
    EXPECT_EQ(TickMs() - start, 275u);
    EXPECT_EQ(pump.calls, 1);
    EXPECT_EQ(WallTime(), clock->WallTime());
}

TEST(RealClock, LongDelayWaitsThroughThePumpShortOneDoesNot) {
    PumpRecorder pump;
    RealClock clock;
    uint32_t start = clock.TickMs();
    clock.DelayMs(20);
    EXPECT_EQ(pump.calls, 0);
    clock.DelayMs(170);
    EXPECT_GE(pump.calls, 1);
    EXPECT_LE(pump.lastMax, 170u);
    EXPECT_GE(clock.TickMs() - start, 190u);
}

TEST(RealClock, LocalUtcOffsetMatchesTheZone) {
    const char* old = getenv("TZ");
    std::string saved = old != nullptr ? old : "";
    struct Case {
        const char* tz;
        int32_t offset;
    } cases[] = {{"UTC0", 0}, {"XST-5:30", 19800}, {"YST+3", -10800}};
    RealClock clock;
    for (const Case& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        EXPECT_EQ(clock.LocalUtcOffset(), c.offset) << c.tz;
    }
    if (old != nullptr)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
