// Faults the campaign found in the update, each replayed: the instrument must end up with its
// own settings, whatever the line or the power did on the way.
#include <gtest/gtest.h>

#include "app/UpdateRig.h"
#include "core/FaultInjector.h"

using korrsim::Direction;
using korrsim::kUsPerMs;
using korrtest::UpdateRig;

namespace {

// An answer slower than the version request waits (400 ms) came in for the repeat, and the
// repeat's own answer was taken by the next command: every setting was saved one off.
TEST(UpdateFaultReplay, SlowAnswersAreNotTakenByTheNextCommand) {
    UpdateRig rig;
    const korrsim::SettingsSnapshot before = rig.Firmware().Snapshot();
    rig.Firmware().SetReplyDelay(600 * kUsPerMs);
    ASSERT_EQ(rig.Run(), 1);
    EXPECT_EQ(rig.Firmware().Snapshot(), before);
    EXPECT_TRUE(rig.ui.boxes.empty());
}

// The power failed while the new firmware started: the retry found it running with its factory
// settings, saved those over the file and restored them.
TEST(UpdateFaultReplay, ARetryAfterTheReconnectFailedRestoresTheSavedSettings) {
    UpdateRig rig;
    const korrsim::SettingsSnapshot before = rig.Firmware().Snapshot();
    korrsim::Instrument& instrument = rig.target.Target();
    rig.AtStatus("Restarting the Quorra Series 7, please wait...", [&] {
        korrsim::EventLoop& loop = rig.target.Bench().Loop();
        loop.After(2000 * kUsPerMs, [&instrument] { instrument.PowerOff(); });
        loop.After(30000 * kUsPerMs, [&instrument] { instrument.PowerOn(); });
    });
    ASSERT_LT(rig.Run(), 0);
    rig.target.Bench().Loop().RunUntil(rig.target.Bench().Loop().Now() + 40000 * kUsPerMs);
    ASSERT_NE(rig.Firmware().Snapshot(), before) << "the new firmware starts with factory values";
    rig.ui.onEvents = nullptr;
    ASSERT_EQ(rig.Run(), 1);
    EXPECT_EQ(rig.Firmware().Snapshot(), before);
    EXPECT_NE(
        rig.Log().find("The settings file of an unfinished update belongs to this instrument"),
        std::string::npos);
}

// A byte changed on the line while the settings were read went into the file unnoticed.
TEST(UpdateFaultReplay, SettingsAreSavedOnlyWhenTwoReadingsAgree) {
    for (uint64_t seed = 1; seed <= 5; ++seed) {
        korrsim::SimOptions options = korrtest::SimQs7();
        options.seed = seed;
        UpdateRig rig(options);
        const korrsim::SettingsSnapshot before = rig.Firmware().Snapshot();
        korrsim::Link& line = rig.target.Bench().Line();
        rig.ui.onEvents = [&] {
            const bool saving =
                !rig.ui.statuses.empty() && rig.ui.statuses.back().rfind("Saving settings", 0) == 0;
            line.Faults().SetRates(Direction::ToHost, {.corrupt = saving ? 0.01 : 0.0});
        };
        const int32_t r = rig.Run();
        if (r == 1) {
            EXPECT_EQ(rig.Firmware().Snapshot(), before) << "seed " << seed;
        } else {
            ASSERT_FALSE(rig.ui.boxes.empty()) << "seed " << seed;
        }
    }
}

}  // namespace
