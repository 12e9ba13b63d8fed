// A dry run: every check an update makes before its first erase, judged by the simulated
// instrument's own record: its flash as it was, its loader never started, its firmware running
// and logged out, and no settings file left behind or moved.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

namespace fs = std::filesystem;

// Runs a dry run and checks that the instrument is as it was; returns the result.
int32_t DryRunLeavingTheInstrumentAlone(UpdateRig& rig) {
    korrsim::Instrument& instrument = rig.target.Target();
    const std::vector<uint8_t> flash = instrument.Memory().Bytes();
    const korrsim::SettingsSnapshot settings = rig.Firmware().Snapshot();
    bool loaderRan = false;
    const std::function<void()> watched = rig.ui.onEvents;
    rig.ui.onEvents = [&] {
        if (instrument.CurrentMode() != korrsim::Instrument::Mode::Firmware) loaderRan = true;
        if (watched) watched();
    };
    rig.Session().SetDryRun(true);
    const int32_t r = rig.Run();
    EXPECT_FALSE(loaderRan);
    EXPECT_EQ(instrument.CurrentMode(), korrsim::Instrument::Mode::Firmware);
    EXPECT_EQ(instrument.Loader().Stats().frames, 0u);
    EXPECT_EQ(instrument.Updates(), 0u);
    EXPECT_TRUE(instrument.Memory().Bytes() == flash) << "the flash was changed";
    EXPECT_TRUE(rig.Firmware().Snapshot() == settings) << "the settings were changed";
    EXPECT_FALSE(rig.Firmware().LoggedIn());
    EXPECT_FALSE(rig.ui.StatusShown("Starting the firmware loader..."));
    EXPECT_FALSE(fs::exists(rig.SettingsPath() + ".dry-run"));
    return r;
}

size_t SettingsFilesIn(const UpdateRig& rig) {
    size_t n = 0;
    for (const auto& entry : fs::directory_iterator(rig.dir.Path())) {
        const std::string name = entry.path().filename().string();
        const bool lock = name.size() > 5 && name.substr(name.size() - 5) == ".lock";
        if (name.rfind("Quorra Series 7.", 0) == 0 && name.find(".settings") != std::string::npos &&
            !lock) {
            ++n;
        }
    }
    return n;
}

TEST(DryRun, ChecksUpToTheLoaderAndSaysARealUpdateWouldGoAhead) {
    UpdateRig rig;
    EXPECT_EQ(DryRunLeavingTheInstrumentAlone(rig), 1);
    EXPECT_TRUE(rig.ui.boxes.empty());
    EXPECT_TRUE(rig.ui.StatusShown("Saving settings for this Quorra Series 7..."));
    EXPECT_EQ(rig.ui.statuses.back(), "Dry run: a real update would go ahead.");
    EXPECT_EQ(SettingsFilesIn(rig), 0u) << "a dry run leaves no settings file";
    const DryRunFindings& found = rig.Session().DryRun();
    EXPECT_TRUE(found.settingsChecked);
    EXPECT_EQ(DryRunVerdict(found, "Quorra Series 7"),
              "a real update would go ahead: the Quorra Series 7 runs QS7 3.55 and would be "
              "updated to QS7 3.60; its settings were read twice, agreed and could be written");

    // The instrument is ready for the real thing.
    rig.Session().SetDryRun(false);
    rig.ui = korrtest::ScriptedUserInterface();
    EXPECT_EQ(rig.Run(), 1);
    EXPECT_EQ(rig.Firmware().VersionReply(), "QS7 3.60");
}

TEST(DryRun, StopsWhereAnUpdateWouldWithTheSameResultAndBox) {
    struct Case {
        const char* name;
        korrsim::SimOptions sim;
        std::function<void(UpdateRig&)> arrange;
        const char* title;
    } cases[] = {
        {"flat battery", korrtest::SimThermion(),
         [](UpdateRig& rig) {
             rig.MakeThermionImage();
             rig.Firmware().SetBattery(5);
         },
         "Batteries Too Low"},
        {"another type",
         [] {
             korrsim::SimOptions o;
             o.type = "QE8";
             return o;
         }(),
         [](UpdateRig&) {}, "Wrong Device"},
        {"a settings file that cannot be written", korrtest::SimQs7(),
         [](UpdateRig& rig) { rig.Session().State().dataFolder = rig.dir.File("gone"); },
         "Settings Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig update(c.sim);
        c.arrange(update);
        const int32_t stopped = update.Run();
        ASSERT_LT(stopped, 0);

        UpdateRig rig(c.sim);
        c.arrange(rig);
        EXPECT_EQ(DryRunLeavingTheInstrumentAlone(rig), stopped);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, c.title);
        EXPECT_EQ(rig.ui.boxes[0].text, update.ui.boxes.back().text);
        EXPECT_EQ(SettingsFilesIn(rig), 0u);
    }
}

TEST(DryRun, LeavesASettingsFileOfAnUnfinishedUpdateWhereItIs) {
    struct Case {
        const char* name;
        bool thisInstruments;
    } cases[] = {{"this instrument's", true}, {"another instrument's", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig;
        std::string left = "sn=\"OTHER-7\"\n";
        if (c.thisInstruments) {
            DeviceInfo info;
            Korr_protocol& protocol = rig.Session().Protocol();
            ASSERT_GT(protocol.KDConnect(rig.target.Port(), 2, 3, &info), 0);
            ASSERT_EQ(protocol.KDSaveInfo(rig.SettingsPath().c_str()), 1);
            protocol.KDDisconnect(true);
            left = korrtest::ReadFile(rig.SettingsPath());
        }
        korrtest::WriteFile(rig.SettingsPath(), left);
        EXPECT_EQ(DryRunLeavingTheInstrumentAlone(rig), 1);
        EXPECT_TRUE(rig.ui.boxes.empty()) << rig.ui.boxes[0].title;
        EXPECT_EQ(korrtest::ReadFile(rig.SettingsPath()), left);
        EXPECT_EQ(SettingsFilesIn(rig), 1u) << "nothing moved aside";
        EXPECT_EQ(rig.Session().DryRun().leftFileUsed, c.thisInstruments);
        EXPECT_EQ(rig.Session().DryRun().leftFileAside, !c.thisInstruments);
    }
}

TEST(DryRun, WithTheLoaderListeningSaysWhereTheSettingsWouldComeFrom) {
    struct Case {
        bool fileKept;
        const char* verdict;
    } cases[] = {
        {true,
         "a real update would go ahead: the firmware loader answers (an earlier update "
         "did not finish), so it would program QS7 3.60 at once and restore the settings "
         "from "},
        {false,
         "a real update would go ahead: the firmware loader answers (an earlier update "
         "did not finish), so it would program QS7 3.60 at once; no settings file is "
         "kept, so the Quorra Series 7's settings would come back as factory values"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileKept);
        UpdateRig rig;
        korrsim::Instrument& instrument = rig.target.Target();
        instrument.RunLoader(korrsim::BslLoader::State::Waiting);
        if (c.fileKept) korrtest::WriteFile(rig.SettingsPath(), "sn=\"Q7-1\"\n");
        const std::vector<uint8_t> flash = instrument.Memory().Bytes();
        rig.Session().SetDryRun(true);
        EXPECT_EQ(rig.Run(), 1);
        EXPECT_TRUE(instrument.Memory().Bytes() == flash);
        EXPECT_EQ(instrument.Updates(), 0u);
        EXPECT_EQ(instrument.Loader().Stats().erases + instrument.Loader().Stats().writes, 0u);
        const std::string verdict = DryRunVerdict(rig.Session().DryRun(), "Quorra Series 7");
        EXPECT_EQ(verdict.substr(0, std::string(c.verdict).size()), c.verdict);
        EXPECT_EQ(fs::exists(rig.SettingsPath()), c.fileKept);
    }
}

}  // namespace
