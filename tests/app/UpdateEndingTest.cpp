// How an update ends when it stops short: what the instrument holds then, whether the settings
// file stays (and is named) or goes, and which box tells of it.
#include <gtest/gtest.h>

#include <functional>

#include "app/SettingsFiles.h"
#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

constexpr const char* kSaving = "Saving settings for this Quorra Series 7...";
constexpr const char* kUploading = "Uploading new firmware code...";

// The cable is pulled: nothing crosses the line any more.
void PullCable(UpdateRig& rig) {
    const korrsim::TimeUs now = rig.target.Bench().Loop().Now();
    rig.target.Bench().Line().Faults().AddSilence(now, now + 3'600'000'000LL);
}

TEST(Ending, EachStopSaysWhatTheInstrumentHolds) {
    struct Case {
        const char* name;
        korrsim::SimOptions sim;
        const char* at;  // the status at which `act` runs; null: nothing happens
        std::function<void(UpdateRig&)> act;
        int32_t result;
        InstrumentHolds holds;
        bool fileKept;
        const char* lastBox;
        korrsim::Instrument::Mode mode;
    };
    korrsim::SimOptions noLoader = korrtest::SimQs7();
    noLoader.noLoader = true;
    const Case cases[] = {
        {"stopped while the settings are saved", korrtest::SimQs7(), kSaving,
         [](UpdateRig& r) { r.Session().AbandonUpdate(); }, kUpdateCancelled,
         InstrumentHolds::Untouched, false, "Update Stopped", korrsim::Instrument::Mode::Firmware},
        // The boot command went out: a garbled answer looks the same, so the file stays.
        {"refused before anything was erased", noLoader, nullptr, nullptr, kNoLoader,
         InstrumentHolds::Untouched, true, "Firmware Loader Error",
         korrsim::Instrument::Mode::Firmware},
        {"stopped during the upload", korrtest::SimQs7(), kUploading,
         [](UpdateRig& r) { r.Session().AbandonUpdate(); }, kUpdateCancelled,
         InstrumentHolds::HalfProgrammed, true, "Update Stopped",
         korrsim::Instrument::Mode::Loader},
        {"cable pulled during the upload", korrtest::SimQs7(), kUploading, PullCable, -21,
         InstrumentHolds::HalfProgrammed, true, "Firmware Upload Error",
         korrsim::Instrument::Mode::Loader},
        {"new firmware reports itself corrupt", korrtest::SimQs7(),
         "Restarting the Quorra Series 7, please wait...",
         [](UpdateRig& r) { r.Firmware().SetSelfTestFails(true); }, -1,
         InstrumentHolds::Unchecked, true, "Firmware Error",
         korrsim::Instrument::Mode::Firmware},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig(c.sim);
        if (c.at != nullptr) rig.AtStatus(c.at, [&] { c.act(rig); });
        EXPECT_EQ(rig.Run(), c.result);
        ASSERT_FALSE(rig.ui.boxes.empty());
        EXPECT_EQ(rig.ui.boxes.back().title, c.lastBox);
        EXPECT_EQ(rig.target.Target().CurrentMode(), c.mode);

        const UpdateOutcome& outcome = rig.Session().Outcome();
        EXPECT_EQ(outcome.holds, c.holds);
        EXPECT_EQ(FileExists(rig.SettingsPath()), c.fileKept);
        const std::string kept = c.fileKept ? rig.SettingsPath() : "";
        EXPECT_EQ(rig.Session().KeptSettingsFile(), kept);
        EXPECT_EQ(outcome.settingsFile, kept);
        EXPECT_EQ(rig.ui.PathOf(FileRole::SettingsKept), kept);
        // Without a loader there is nothing an update could go on with.
        EXPECT_EQ(outcome.next, c.result == kNoLoader ? NextStep::None : NextStep::UpdateAgain);
    }
}

TEST(Ending, AHalfProgrammedInstrumentIsNamedOnTheWindowsLabel) {
    UpdateRig rig;
    rig.AtStatus(kUploading, [&] { rig.Session().AbandonUpdate(); });
    ASSERT_EQ(rig.Run(), kUpdateCancelled);
    EXPECT_EQ(rig.Session().Outcome().next, NextStep::UpdateAgain);
    EXPECT_EQ(rig.ui.texts[Control::lblConnect],
              "The Quorra Series 7 is half-programmed and waits in its firmware loader: it "
              "cannot start its firmware; its settings are kept in \"" +
                  rig.SettingsPath() + "\".");
}

TEST(Ending, AStopAfterTheNewFirmwareIsProgrammedLetsTheUpdateFinish) {
    UpdateRig rig;
    rig.AtStatus("Restarting the Quorra Series 7, please wait...",
                 [&] { rig.Session().AbandonUpdate(); });
    EXPECT_EQ(rig.Run(), 1);
    EXPECT_EQ(rig.Session().Outcome().holds, InstrumentHolds::Updated);
    EXPECT_FALSE(FileExists(rig.SettingsPath()));
}

}  // namespace
