// After the new firmware runs: the restore's failures (one box each, the update still done),
// the data erase, and the settings file kept or moved aside rather than lost.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

const std::string kCaption = "Quorra Series 7 Firmware Updater";

TEST(Restore, EachFailureShowsOneBoxAndTheUpdateStillSucceeds) {
    struct Case {
        const char* name;
        std::function<void(UpdateRig&)> arrange;
        std::string text;  // the box text before any note on the kept file
        bool fileKept;
        SettingsOutcome outcome;
    } cases[] = {
        {"no settings file",
         [](UpdateRig& rig) { rig.target.Target().RunLoader(korrsim::BslLoader::State::Waiting); },
         "The " + kCaption +
             " couldn't find the settings file for your Quorra Series 7.\n\nPlease try again or "
             "contact Korrin for help.",
         false, SettingsOutcome::NotRestored},
        {"some settings refused",
         [](UpdateRig& rig) {
             rig.AtStatus("Restoring settings...", [&rig] {
                 rig.Firmware().SetSetFault("config", korrsim::SettingFault::RefusedLoud);
             });
         },
         "The " + kCaption +
             " failed to restore some of the settings for your Quorra Series 7.\n\nPlease check "
             "the settings after this updater is finished.",
         true, SettingsOutcome::PartlyRestored},
        {"the last setting refused",  // the one before it went back
         [](UpdateRig& rig) {
             rig.AtStatus("Restoring settings...", [&rig] {
                 rig.Firmware().SetSetFault("adccal", korrsim::SettingFault::RefusedLoud);
             });
         },
         "The " + kCaption +
             " failed to restore some of the settings for your Quorra Series 7.\n\nPlease check "
             "the settings after this updater is finished.",
         true, SettingsOutcome::PartlyRestored},
        {"every setting refused",
         [](UpdateRig& rig) {
             rig.AtStatus("Restoring settings...", [&rig] {
                 rig.Firmware().SetSetFault("adccal", korrsim::SettingFault::Refused);
                 rig.Firmware().SetSetFault("config", korrsim::SettingFault::Refused);
             });
         },
         "The " + kCaption + " failed to restore some of the settings for your Quorra Series 7.",
         true, SettingsOutcome::PartlyRestored},
        {"settings file unreadable",
         [](UpdateRig& rig) {
             rig.target.Target().RunLoader(korrsim::BslLoader::State::Waiting);
             std::filesystem::create_directory(rig.SettingsPath());
         },
         "The " + kCaption + " failed to restore the settings for your Quorra Series 7.\n\n" +
             "Please try again.\n\n[Error -21]",
         true, SettingsOutcome::NotRestored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig;
        c.arrange(rig);
        EXPECT_EQ(rig.Run(), 1);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, "Settings Error");
        EXPECT_EQ(rig.ui.boxes[0].text.substr(0, c.text.size()), c.text);
        EXPECT_EQ(std::filesystem::exists(rig.SettingsPath()), c.fileKept);
        EXPECT_EQ(rig.Session().KeptSettingsFile().empty(), !c.fileKept);
        EXPECT_EQ(rig.Session().SettingsResult(), c.outcome);
        if (c.fileKept) {
            EXPECT_NE(rig.ui.boxes[0].text.find("The settings file is kept in\n\"" +
                                                rig.SettingsPath() + "\""),
                      std::string::npos);
            EXPECT_NE(rig.Log().find("the settings file is kept: " + rig.SettingsPath()),
                      std::string::npos);
        }
        EXPECT_EQ(rig.ui.progress.back(), 100);
    }
}

// A file left by an unfinished update that lacks settings (cut short, say) restores what it
// holds, names what it lacks, and is kept.
TEST(Restore, AFileWithoutSomeSettingsNamesThem) {
    UpdateRig rig;
    rig.target.Target().RunLoader(korrsim::BslLoader::State::Waiting);
    korrtest::WriteFile(rig.SettingsPath(),
                        "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n"
                        "type=\"QS7\"\r\nadccal=\"1.0120 0.9950 0.0004\"\r\nconf");
    EXPECT_EQ(rig.Run(), 1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text.substr(0, 66),
              "The " + kCaption + " failed to restore some of the");
    EXPECT_NE(rig.ui.boxes[0].text.find("The settings file did not hold: config."),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(rig.SettingsPath()));
    EXPECT_EQ(rig.Firmware().Settings().Get("adccal"), "1.0120 0.9950 0.0004");
    EXPECT_NE(rig.Log().find("KDRestoreInfo found no config in settings file"), std::string::npos);
}

TEST(Restore, AFileLeftByAnUnfinishedUpdateIsMovedAsideNotOverwritten) {
    UpdateRig rig;
    korrtest::WriteFile(rig.SettingsPath(), "the instrument's own settings\n");
    ASSERT_EQ(rig.Run(), 1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Settings Kept");
    const std::string aside = rig.ui.PathOf(FileRole::SettingsMovedAside);
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(aside.rfind(rig.dir.File("Quorra Series 7.sim0.settings.2"), 0), 0u) << aside;
    EXPECT_EQ(korrtest::ReadFile(aside), "the instrument's own settings\n");
    EXPECT_NE(rig.ui.boxes[0].text.find(aside), std::string::npos);
    EXPECT_NE(rig.ui.boxes[0].text.find("korrbsl settings restore"), std::string::npos);
    EXPECT_NE(rig.Log().find("Moved the settings file of an unfinished update to " + aside),
              std::string::npos);
    // The new run's own file went once its settings were back.
    EXPECT_FALSE(std::filesystem::exists(rig.SettingsPath()));
}

TEST(EraseData, ErasedUnlessToldNotToAndFailuresReported) {
    struct Case {
        bool dontErase;
        const char* reply;
        int32_t result;
        const char* text;
    } cases[] = {
        {false, "OK", 1, nullptr},
        {true, "OK", 1, nullptr},
        {false, "DataFlash FAIL", -65,
         "The Quorra Series 7 Firmware Updater was unable to erase the data in your Quorra "
         "Series 7 because the data storage chip is reporting errors.\n\nPlease contact Korrin "
         "for help."},
        {false, "BUSY", -30,
         "The Quorra Series 7 Firmware Updater was unable to erase the data in your Quorra "
         "Series 7.\nPlease try again.\n[Error: -30]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        UpdateRig rig(korrtest::SimThermion(), true);
        rig.MakeThermionImage();
        rig.Session().SetDontEraseData(c.dontErase);
        const std::string reply = c.reply;
        if (reply != "OK") {
            rig.Firmware().AddCommand(
                "yes", [reply](const std::string&) { return korrsim::Reply::Text(reply); });
        }
        EXPECT_EQ(rig.Run(), c.result);
        EXPECT_EQ(rig.Firmware().Heard("yes"), !c.dontErase);
        EXPECT_EQ(rig.ui.StatusShown("Erasing old data..."), !c.dontErase);
        if (c.text != nullptr) {
            ASSERT_FALSE(rig.ui.boxes.empty());
            EXPECT_EQ(rig.ui.boxes.back().title, "Data Erase Error");
            EXPECT_EQ(rig.ui.boxes.back().text, c.text);
        }
    }
}

}  // namespace
