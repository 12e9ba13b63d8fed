// The application state at start-up, the command-line switches, the texts and the names of
// kept settings files.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/AppState.h"
#include "app/SettingsFiles.h"
#include "app/SettingsOrigin.h"
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

// A port's name goes into a file name: no path separator or odd character may come with it.
TEST(SettingsFileNames, OnePerPortAndLeftFilesToldFromFilesMovedAside) {
    EXPECT_EQ(PortSettingsFileName("Quorra Series 7", "/dev/ttyUSB0"),
              "Quorra Series 7.ttyUSB0.settings.txt");
    EXPECT_EQ(PortTag("COM3"), "COM3");
    EXPECT_EQ(PortTag("/dev/serial/by-id/usb-FTDI:A1 B"), "usb-FTDI_A1_B");
    EXPECT_EQ(PortTag(".."), "_..");

    korrtest::TempDir dir;
    struct Case {
        const char* name;
        bool left, aside;
    } cases[] = {
        {"Quorra Series 7.settings.txt", true, false},
        {"Quorra Series 7.ttyUSB0.settings.txt", true, false},
        {"Quorra Series 7.settings.2026-12-01_09-30-05.txt", false, true},
        {"Quorra Series 7.ttyUSB0.settings.2026-12-01_09-30-05-2.txt", false, true},
        {"Quorra Series 7.ttyUSB0.settings.txt.lock", false, false},
        {"Quorra Series 7 Firmware Updater.errors.txt", false, false},
        {"Quorra 8.ttyUSB0.settings.txt", false, false},
    };
    for (const Case& c : cases) korrtest::WriteFile(dir.File(c.name), "x");
    const std::vector<std::string> left = LeftSettingsFiles(dir.Path().string(), "Quorra Series 7");
    const std::vector<std::string> aside =
        AsideSettingsFiles(dir.Path().string(), "Quorra Series 7");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::count(left.begin(), left.end(), dir.File(c.name)), c.left ? 1 : 0);
        EXPECT_EQ(std::count(aside.begin(), aside.end(), dir.File(c.name)), c.aside ? 1 : 0);
    }
}

// The origin lines are invisible to the settings and cannot be broken by what they record.
TEST(SettingsFileNames, OriginLinesReadBackAndStandAside) {
    SettingsOrigin o{.type = "QS7",
                     .version = "QS7 3.55",
                     .serial = "",
                     .port = "ttyUSB0\r\nsn=\"X",
                     .time = "2026-12-01 09:30:05"};
    const std::string settings = "type=\"QS7\"\r\nadccal=\"1 1 0\"\r\n";
    const std::string file = settings + OriginLines(o);
    EXPECT_EQ(WithoutOrigin(file), settings);
    const SettingsOrigin back = ReadOrigin(file);
    EXPECT_EQ(back.port, "ttyUSB0");
    EXPECT_EQ(back.time, o.time);
    EXPECT_EQ(back.serial, "");
    EXPECT_FALSE(TellsApart("00000000"));
    EXPECT_TRUE(TellsApart("TM-310556"));
}

}  // namespace
