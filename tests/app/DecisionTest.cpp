// The questions and refusals before the loader starts: device type, newer firmware, battery,
// settings that cannot be saved.
#include <gtest/gtest.h>

#include <set>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

// A Quorra Mini has the Quorra Series 7's memory map, so the built-in image fits it: only the
// type differs. (A Quorra 8 is refused even after the override: the image does not fit it.)
const std::string kWrongDevice =
    "The Quorra Series 7 Firmware Updater expected to find a Quorra Series 7;\nhowever, it found "
    "a Quorra Mini.\n\nThis updater can not update a Quorra Mini.";

TEST(WrongDevice, RefusedUnlessTheFactoryOverrides) {
    struct Case {
        bool factory;
        int answer;
        int32_t result;
        int kind;
        std::string text;
    } cases[] = {
        {false, kAnswerOk, -121, static_cast<int>(MessageKind::Error), kWrongDevice},
        {true, kAnswerCancel, -121, -1,
         kWrongDevice + "\n\n[Factory Mode Override: Click OK to load FW anyway]"},
        {true, kAnswerOk, 0, -1,
         kWrongDevice + "\n\n[Factory Mode Override: Click OK to load FW anyway]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.factory << " " << c.answer);
        UpdateRig rig(korrtest::SimQs7(), c.factory);
        rig.Firmware().SetVersionReply("QMINI 2.10");
        rig.ui.answers = {c.answer};
        const int32_t r = rig.Run();
        ASSERT_FALSE(rig.ui.boxes.empty());
        EXPECT_EQ(rig.ui.boxes[0].title, "Wrong Device");
        EXPECT_EQ(rig.ui.boxes[0].text, c.text);
        EXPECT_EQ(rig.ui.boxes[0].kind, c.kind);
        if (c.kind == -1) {
            EXPECT_EQ(rig.ui.boxes[0].flags, kBoxOkCancel);
        }
        if (c.result != 0) {
            EXPECT_EQ(r, c.result);
            EXPECT_EQ(rig.ui.boxes.size(), 1u);
        } else {
            // Overridden: the update goes on to the loader.
            EXPECT_TRUE(rig.ui.StatusShown("Starting the firmware loader..."));
        }
    }
}

TEST(NewerFirmware, AskedOnlyAboveTheUpdatersVersionAndNeverInTheFactory) {
    struct Case {
        const char* version;
        bool factory;
        int answer;
        bool asked;
        int32_t result;
    } cases[] = {
        {"3.61", false, kAnswerCancel, true, -40},
        {"3.61", false, kAnswerOk, true, 1},
        {"3.60", false, kAnswerCancel, false, 1},
        {"3.61", true, kAnswerCancel, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version << " factory " << c.factory);
        UpdateRig rig(korrtest::SimQs7(c.version), c.factory);
        rig.ui.answers = {c.answer};
        EXPECT_EQ(rig.Run(), c.result);
        const bool asked = !rig.ui.boxes.empty() && rig.ui.boxes[0].title == "Newer Firmware";
        EXPECT_EQ(asked, c.asked);
        if (asked) {
            EXPECT_EQ(rig.ui.boxes[0].text,
                      "The firmware in your Quorra Series 7\nis newer than the version in this "
                      "updater.\n\nAre you sure you want to load older firmware.");
            EXPECT_EQ(rig.ui.boxes[0].flags, kBoxOkCancel);
        }
    }
}

TEST(Battery, BelowTenPercentStops) {
    struct Case {
        const char* reply;
        bool stops;
    } cases[] = {{"9", true}, {"10", false}, {"ERROR", false}, {"low", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        UpdateRig rig(korrtest::SimThermion());
        rig.MakeThermionImage();
        rig.Firmware().SetBatteryReply(c.reply);
        const int32_t r = rig.Run();
        EXPECT_TRUE(rig.ui.StatusShown("Checking battery power..."));
        if (c.stops) {
            EXPECT_EQ(r, -130);
            ASSERT_EQ(rig.ui.boxes.size(), 1u);
            EXPECT_EQ(rig.ui.boxes[0].title, "Batteries Too Low");
            EXPECT_EQ(rig.ui.boxes[0].text,
                      "The battery power is too low!\n\nPlease replace the batteries before "
                      "running this updater.");
        } else {
            EXPECT_TRUE(rig.ui.StatusShown("Starting the firmware loader..."));
        }
    }
}

// The settings file cannot be written: the data folder is gone.
void BreakSettingsFile(UpdateRig& rig) {
    rig.Session().State().dataFolder = rig.dir.File("gone");
}

TEST(SettingsSave, FailureStopsUnlessRepOrFactoryGoOn) {
    struct Case {
        bool rep, factory;
        int answer;
        bool stops;
    } cases[] = {
        {false, false, kAnswerOk, true},
        {true, false, kAnswerCancel, true},
        {true, false, kAnswerOk, false},
        {false, true, kAnswerOk, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rep << c.factory << c.answer);
        UpdateRig rig(korrtest::SimQs7(), c.factory, c.rep);
        BreakSettingsFile(rig);
        rig.ui.answers = {c.answer};
        const int32_t r = rig.Run();
        ASSERT_FALSE(rig.ui.boxes.empty());
        if (!c.rep && !c.factory) {
            EXPECT_LT(r, 0);
            EXPECT_EQ(rig.ui.boxes[0].title, "Settings Error");
            EXPECT_EQ(rig.ui.boxes[0].text,
                      "This Quorra Series 7 Firmware Updater could not retrieve the settings "
                      "from your Quorra Series 7.\nPlease try again or contact Korrin for help.");
            continue;
        }
        EXPECT_EQ(rig.ui.boxes[0].title, "Settings Retrieve Error");
        EXPECT_EQ(rig.ui.boxes[0].flags, kBoxOkCancel);
        EXPECT_EQ(r, c.stops ? -40 : 1);
        if (!c.stops) {
            EXPECT_EQ(rig.target.Target().Updates(), 1u);
        }
    }
}

// A value the settings file cannot keep stops the update before anything is erased, and the box
// names the setting.
TEST(SettingsSave, AValueTheFileCannotKeepStopsBeforeTheErase) {
    UpdateRig rig;
    rig.Firmware().Settings().Set("config", "QS7:std\nsn=\"QS7-999\"");
    EXPECT_LT(rig.Run(), 0);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Settings Error");
    EXPECT_NE(rig.ui.boxes[0].text.find("The value of the setting \"config\" holds a line break"),
              std::string::npos);
    EXPECT_EQ(rig.target.Target().Updates(), 0u);
    EXPECT_NE(rig.Log().find("WriteInfoFile cannot keep the value of config"), std::string::npos);
}

TEST(SettingsSave, WithANewSerialNumberOnlyTheSerialNumberIsRestored) {
    UpdateRig rig(korrtest::SimQs7(), true);
    BreakSettingsFile(rig);
    rig.Session().SetReplaceSerialNumber(true);
    rig.Session().SetNewSerialNumber("NEW123");
    rig.ui.answers = {kAnswerOk};
    ASSERT_EQ(rig.Run(), 1);
    std::set<std::string> sets;  // the link retries a refused command
    for (const std::string& line : rig.Firmware().Lines()) {
        if (line.rfind("set -", 0) == 0) sets.insert(line);
    }
    EXPECT_EQ(sets, std::set<std::string>{"set -sn NEW123"});
    // The serial number box is emptied and hidden again afterwards.
    EXPECT_FALSE(rig.ui.checked[Control::PromptforSerialNumber1]);
    EXPECT_FALSE(rig.ui.visible[Control::newSNstr]);
    EXPECT_TRUE(rig.Session().State().newSerialNumber.empty());
}

}  // namespace
