// The application state at start-up, the command-line switches, the texts and the names of
// kept settings files.
#include <gtest/gtest.h>

#include "app/AppState.h"
#include "app/SettingsFiles.h"
#include "app/UserTexts.h"
#include "support/TempDir.h"

using namespace korr;

namespace {

TEST(Switches, OnlyExactSwitchesCount) {
    struct Case {
        std::vector<std::string> args;
        bool factory, rep;
    } cases[] = {
        {{}, false, false},
        {{"-rep"}, false, true},
        {{"-factory"}, true, true},
        {{"-Factory", "-REP", "-rep2", "--rep", "rep"}, false, false},
        {{"-rep", "-rep", "other"}, false, true},
    };
    for (const Case& c : cases) {
        AppSetup setup;
        ApplySwitches(c.args, &setup);
        AppState s = InitialState(setup);
        EXPECT_EQ(s.factoryMode, c.factory) << testing::PrintToString(c.args);
        EXPECT_EQ(s.repMode, c.rep) << testing::PrintToString(c.args);
    }
}

TEST(AppStateTest, StartsWithTheBuildsProductAndConstants) {
    AppSetup setup;
    setup.dataFolder = "/data";
    AppState s = InitialState(setup);
    EXPECT_EQ(s.productName, "Quorra Series 7");
    EXPECT_EQ(s.caption, "Quorra Series 7 Firmware Updater");
    EXPECT_EQ(s.errorLogPath, "/data/Quorra Series 7 Firmware Updater.errors.txt");
    EXPECT_EQ(s.settingsFilePath, "/data/Quorra Series 7.settings.txt");
    EXPECT_EQ(s.updaterFirmwareVersion, 360u);
    EXPECT_EQ(s.eraseProgressStep, 1);
    EXPECT_FLOAT_EQ(s.writeProgressIncrement, 35328.0f / 59902.0f);
    EXPECT_FLOAT_EQ(WriteIncrementFor(59902), s.writeProgressIncrement);
    EXPECT_TRUE(s.continueFlag);
    EXPECT_FALSE(s.updateRunning);
    EXPECT_EQ(PortText(s), "");
}

TEST(Texts, EveryBoxHasItsRowAndFieldsAreFilled) {
    for (int b = static_cast<int>(Box::PortInUse); b <= static_cast<int>(Box::CalibrateStomazor);
         ++b) {
        EXPECT_EQ(static_cast<int>(FindBox(static_cast<Box>(b)).box), b);
    }
    TextArgs a{.caption = "C", .product = "P", .port = "ttyS9", .error = -35};
    EXPECT_EQ(BoxBody(Box::PortNotAvailable, a),
              "Comm Port \"ttyS9\" isn't available.\nPlease choose a new Comm Port to use.");
    EXPECT_EQ(BoxBody(Box::UploadError, a),
              "The C encountered an error working with your P.\n\nPlease try again.\n\n"
              "[Error -35]");
    EXPECT_EQ(ExpandText("{unknown} {product", a), "{unknown} {product");
    EXPECT_EQ(BoxTitle(Box::About, a), "About P Firmware Updater");
}

TEST(Texts, HelpWarnsOfErasingOnlyWhereTheUpdateErases) {
    TextArgs a{.caption = "Quorra Series 7 Firmware Updater", .product = "Quorra Series 7"};
    const std::string plain = HelpText(a, false);
    const std::string warned = HelpText(a, true);
    EXPECT_EQ(plain.rfind("The Quorra Series 7 Firmware Updater replaces the firmware that "
                          "operates your Quorra Series 7.\nFollowing the simple steps",
                          0),
              0u);
    EXPECT_EQ(plain.find("will erase any stored measurement data"), std::string::npos);
    EXPECT_NE(warned.find("WARNING: Updating the firmware in your Quorra Series 7 will erase any "
                          "stored measurement data.\nPlease download any measurement data stored "
                          "in your Quorra Series 7 that you want to save.\n\n"),
              std::string::npos);
    EXPECT_NE(plain.find("Step 3. Click the \"Start\" button."), std::string::npos);
}

TEST(Texts, LaunchErrorsAndCalibrationReminders) {
    EXPECT_EQ(LaunchErrorBox(-60), Box::LaunchOutOfMemory);
    EXPECT_EQ(LaunchErrorBox(-101), Box::LaunchCorruptImage);
    EXPECT_EQ(LaunchErrorBox(-7), Box::LaunchOther);
    TextArgs a{.caption = "C", .error = -7};
    EXPECT_EQ(BoxBody(Box::LaunchOther, a),
              "The C got an unexpected error starting up.\n[Error: -7]\n\n"
              "Please restart this application and try again.");
    Box box{};
    EXPECT_TRUE(CalibrationBox(8, &box));
    EXPECT_EQ(FindBox(box).title, std::string("Please Calibrate Your CZ-40"));
    EXPECT_FALSE(CalibrationBox(12, &box));
}

TEST(SettingsFilesTest, MovesALeftFileAsideUnderItsDateAndTime) {
    korrtest::TempDir dir;
    const std::string path = dir.File("Quorra Series 7.settings.txt");
    const std::time_t when = 1796083200 + 9 * 3600 + 30 * 60 + 5;  // 2026-12-01 09:30:05
    std::string moved;
    EXPECT_EQ(MoveAside(path, when, &moved), 0);  // nothing there
    korrtest::WriteFile(path, "REAL");
    ASSERT_EQ(MoveAside(path, when, &moved), 1);
    EXPECT_EQ(moved, dir.File("Quorra Series 7.settings.2026-12-01_09-30-05.txt"));
    EXPECT_EQ(korrtest::ReadFile(moved), "REAL");
    EXPECT_FALSE(FileExists(path));
    // The same second again does not overwrite the first.
    korrtest::WriteFile(path, "SECOND");
    ASSERT_EQ(MoveAside(path, when, &moved), 1);
    EXPECT_EQ(moved, dir.File("Quorra Series 7.settings.2026-12-01_09-30-05-2.txt"));
    EXPECT_EQ(korrtest::ReadFile(dir.File("Quorra Series 7.settings.2026-12-01_09-30-05.txt")),
              "REAL");
}

}  // namespace
