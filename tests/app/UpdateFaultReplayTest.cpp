// Faults the campaign found in the update, each replayed: the instrument must end up with its
// own settings, whatever the line or the power did on the way.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/UpdateRig.h"
#include "core/FaultInjector.h"

using korrsim::Direction;
using korrsim::kUsPerMs;
using korrtest::UpdateRig;

namespace {

// An answer slower than the version request waits (400 ms) came in for the repeat, and the
// repeat's own answer was taken by the next command: every setting was saved one off.
TEST(UpdateFaultReplay, SlowAnswersAreNotTakenByTheNextCommand) {
    for (const korrsim::TimeUs delayMs : {580, 600, 800}) {
        for (const bool thermion : {false, true}) {
            UpdateRig rig(thermion ? korrtest::SimThermion() : korrtest::SimQs7());
            if (thermion) rig.MakeThermionImage();
            const korrsim::SettingsSnapshot before = rig.Firmware().Snapshot();
            rig.Firmware().SetReplyDelay(delayMs * kUsPerMs);
            ASSERT_EQ(rig.Run(), 1) << delayMs << " ms";
            EXPECT_EQ(rig.Firmware().Snapshot(), before) << delayMs << " ms";
        }
    }
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

// The first reading lost a character, the power failed during the second: the file of that
// reading stayed behind, and the retry took it for the settings of an unfinished update.
TEST(UpdateFaultReplay, AnUnconfirmedReadingIsNotLeftBehind) {
    UpdateRig rig;
    const korrsim::SettingsSnapshot before = rig.Firmware().Snapshot();
    korrsim::Link& line = rig.target.Bench().Line();
    korrsim::Instrument& instrument = rig.target.Target();
    rig.AtStatus("Saving settings for this Quorra Series 7...", [&] {
        line.Faults().AddOneShot(Direction::ToHost, line.Faults().Sent(Direction::ToHost) + 12,
                                 korrsim::FaultKind::Lose);
        rig.target.Bench().Loop().After(150 * kUsPerMs, [&instrument] { instrument.PowerOff(); });
    });
    ASSERT_LT(rig.Run(), 0);
    EXPECT_FALSE(std::filesystem::exists(rig.SettingsPath()));
    instrument.PowerOn();
    rig.ui.onEvents = nullptr;
    ASSERT_EQ(rig.Run(), 1);
    EXPECT_EQ(rig.Firmware().Snapshot(), before);
}

}  // namespace
