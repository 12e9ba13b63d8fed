// Every pause of 170 ms or more, in every layer, is a DelayMs that lets the window pump its
// events; none is a plain sleep that would freeze it. A clock that records what each layer
// asks for watches whole updates against the simulated instrument.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/UpdateSession.h"
#include "host/SimUpdateTarget.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempDir.h"

namespace {

class RecordingClock final : public korr::Clock {
  public:
    explicit RecordingClock(korr::Clock& inner) : inner_(inner) {}
    uint32_t TickMs() override { return inner_.TickMs(); }
    void SleepMs(uint32_t ms) override {
        sleeps.push_back(ms);
        inner_.SleepMs(ms);
    }
    void DelayMs(uint32_t ms) override {
        delays.push_back(ms);
        inner_.DelayMs(ms);
    }
    int32_t LocalUtcOffset() override { return inner_.LocalUtcOffset(); }
    std::time_t WallTime() override { return inner_.WallTime(); }

    std::vector<uint32_t> sleeps;
    std::vector<uint32_t> delays;

  private:
    korr::Clock& inner_;
};

struct Case {
    const char* what;
    korrsim::SimOptions sim;
};

korrsim::SimOptions Options(bool loaderWaiting) {
    korrsim::SimOptions o;
    o.firmwareVersion = "3.55";
    o.loaderWaiting = loaderWaiting;
    return o;
}

TEST(ResponsivePauses, NoLayerSleepsLongWithoutPumpingTheWindow) {
    const Case cases[] = {
        {"a whole update", Options(false)},
        {"an update that finds the loader waiting", Options(true)},
    };
    for (const Case& c : cases) {
        korrsim::SimUpdateTarget target(c.sim, *korrsim::FindInstrumentType("QS7"), false);
        auto clock = std::make_shared<RecordingClock>(target.Bench().Clock());
        korr::ScopedClock scoped(clock);
        int pumps = 0;
        korr::SetEventPump([&](uint32_t) { ++pumps; });

        korrtest::TempDir dir;
        korrtest::ScriptedUserInterface ui;
        korr::AppSetup setup;
        setup.dataFolder = dir.Path().string();
        setup.portName = target.Port();
        korr::UpdateSession session(ui, setup);
        session.StartRequested();
        EXPECT_EQ(session.timerStartTimer(), 1) << c.what;
        korr::SetEventPump(nullptr);

        for (uint32_t ms : clock->sleeps) {
            EXPECT_LT(ms, korr::kResponsiveDelayMs) << c.what << ": a plain sleep of " << ms;
        }
        const auto longDelays = std::count_if(clock->delays.begin(), clock->delays.end(),
                                              [](uint32_t ms) { return ms >= 170; });
        EXPECT_GT(longDelays, 0) << c.what;
        EXPECT_EQ(pumps, longDelays) << c.what;
    }
}

}  // namespace
