// Saving and restoring around an update, and the single checks: battery, self-test verdict,
// data erase and clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "instrument/InfoFile.h"
#include "instrument/InstrumentFixture.h"

using namespace korr;

namespace {

class SaveRestoreTest : public korrtest::InstrumentFixture {
  protected:
    std::string path = dir.File("QE8.settings.txt");

    // Position of a heard line, or -1.
    long IndexOf(const std::string& line) const {
        const auto& lines = firmware->Lines();
        auto it = std::find(lines.begin(), lines.end(), line);
        return it == lines.end() ? -1 : static_cast<long>(it - lines.begin());
    }
};

TEST_F(SaveRestoreTest, QE8SetsItsSensorTypeFirstAndCollectsAnyway) {
    for (bool refused : {false, true}) {
        MakeInstrument("QE8");
        if (refused) firmware->SetSetFault("sensor", korrsim::SettingFault::RefusedLoud);
        ASSERT_GT(Connect(), 0);
        firmware->ClearLines();
        EXPECT_EQ(kp->KDSaveInfo(path.c_str()), 1);
        EXPECT_EQ(firmware->Lines().front(), "set -sensor 0");
        EXPECT_EQ(firmware->SensorType(), refused ? 2 : 0);
        EXPECT_EQ(kp->SavedFlags, 0x38000802u);
        EXPECT_EQ(kp->eqnRecords.count, 3);
        kp->KDDisconnect(false);
    }
    EXPECT_TRUE(Logged("KDSaveInfo set Q8S sensor type to '0'"));
    EXPECT_TRUE(Logged("KDSaveInfo received error -34 setting Q8S sensor type to '0'"));
}

TEST_F(SaveRestoreTest, QE8NewSerialNumberMovesItsConfig) {
    MakeInstrument("QE8");
    firmware->Settings().Set("config", "1000");
    firmware->Settings().Set("sn", "12");
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    BootNewFirmware();
    ASSERT_GT(Connect(), 0);
    firmware->ClearLines();
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), "13"), 1);
    EXPECT_EQ(firmware->Settings().Get("config"), "1001");
    EXPECT_EQ(firmware->Settings().Get("sn"), "13");
    EXPECT_GE(IndexOf("set -sn 13"), 0);
    EXPECT_LT(IndexOf("set -sn 13"), IndexOf("set -config 1001"));  // the serial number first
}

TEST_F(SaveRestoreTest, NewSerialNumberOnAnInstrumentWithoutSavedSerial) {
    MakeInstrument("QS7");
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    firmware->ClearLines();
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), "QS7-NEW-0001-LONG"), 1);
    EXPECT_EQ(IndexOf("set -sn QS7-NEW-0001-LO"), 0);  // cut to 15 characters, sent first
}

TEST_F(SaveRestoreTest, RestoreWithoutHeldSettingsOrFile) {
    MakeInstrument("TM");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDRestoreInfo(dir.File("missing.txt").c_str(), nullptr), -102);
    EXPECT_TRUE(Logged("KDRestoreInfo received error -102 trying to read device settings from"));
}

// A setting the new firmware refuses ("Error", which the link does not retry) is not back, in
// whichever step it falls: the restore says so, and the rest still goes back.
TEST_F(SaveRestoreTest, EveryRefusedStepMakesThePartialRestoreKnown) {
    struct Case {
        const char* code;
        const char* refused;  // the set command's key
        const char* restored;  // a setting that still goes back
    };
    const Case cases[] = {
        {"QS7", "adccal", "config"},   // a plain setting
        {"TM", "sample", "sn"},        // the sample step, the last one
        {"QMINI", "tau", "sn"},        // tau of the hadj and tau step
        {"QVX", "p", "tadj"},          // p of the p and pv step
        {"QE8", "user", "tadj"},       // the user records' upload
        {"HV", "cal", "sn"},           // the calibration list
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        MakeInstrument(c.code);
        kp = std::make_unique<Korr_protocol>(&log);
        const korrsim::SettingsSnapshot before = firmware->Snapshot();
        ASSERT_GT(Connect(), 0);
        ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
        BootNewFirmware();
        firmware->SetSetFault(c.refused, korrsim::SettingFault::Refused);
        ASSERT_GT(Connect(), 0);
        EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), -35);
        EXPECT_EQ(firmware->Snapshot().at(c.restored), before.at(c.restored));
        kp->KDDisconnect(false);
    }
}

// A logger restore that wrote nothing is no restore, even where no single command failed.
TEST_F(SaveRestoreTest, LoggerRestoreThatWritesNothingFails) {
    MakeLogger(korrsim::kTr3bKeys, "TR3B 2.04");
    ASSERT_GT(Connect(), 0);
    korrtest::WriteFile(path, std::string(kInfoFileHeader) + "type=\"Tr3b\"\r\n");
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), -30);
    EXPECT_TRUE(Logged("KDRestoreInfo received error -30 trying to upload device settings"));
}

TEST_F(SaveRestoreTest, FirmwareVerdict) {
    MakeInstrument("TM");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDCheckFirmware(true), 1);
    EXPECT_EQ(firmware->LastPost(), "post -init");
    EXPECT_EQ(kp->KDCheckFirmware(false), 1);
    EXPECT_EQ(firmware->LastPost(), "post");
    firmware->SetSelfTestFails(true);
    EXPECT_EQ(kp->KDCheckFirmware(false), -1);
    EXPECT_TRUE(Logged("KDCheckFirmware: Device reports corrupt firmware code!"));
    firmware->AddCommand("post", [](const std::string&) { return korrsim::Reply::Text("Busy"); });
    EXPECT_EQ(kp->KDCheckFirmware(false), -30);
    firmware->SetSilent(true);
    EXPECT_EQ(kp->KDCheckFirmware(false), -21);
}

TEST_F(SaveRestoreTest, EraseData) {
    MakeInstrument("TM");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDEraseData(), 1);
    EXPECT_EQ(firmware->Erases(), 1);
    firmware->SetDataFlashBroken(true);
    EXPECT_EQ(kp->KDEraseData(), -65);
    EXPECT_TRUE(Logged("KDEraseData failed due to a broken DataFlash"));

    MakeInstrument("QMINI");
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    firmware->ClearLines();
    EXPECT_EQ(kp->KDEraseData(), -13);
    EXPECT_TRUE(firmware->Lines().empty());
}

TEST_F(SaveRestoreTest, Battery) {
    MakeInstrument("SZ");
    ASSERT_GT(Connect(), 0);
    int32_t percent = 0;
    EXPECT_EQ(kp->KDCheckBattery(&percent), 1);
    EXPECT_EQ(percent, 87);
    firmware->SetBattery(4);
    EXPECT_EQ(kp->KDCheckBattery(&percent), 1);
    EXPECT_EQ(percent, 4);
    firmware->SetBatteryReply("LOW");
    EXPECT_EQ(kp->KDCheckBattery(&percent), -30);
    EXPECT_EQ(percent, 4);
    EXPECT_TRUE(Logged("KDCheckBattery failed to parse battery power"));
    EXPECT_EQ(kp->KDCheckBattery(nullptr), -10);
    firmware->SetSilent(true);
    EXPECT_EQ(kp->KDCheckBattery(&percent), -21);
    EXPECT_EQ(percent, -1);
}

TEST_F(SaveRestoreTest, ClockInKorrSeconds) {
    MakeInstrument("CZ40");
    ASSERT_GT(Connect(), 0);
    // Local time 2000-01-01 00:00:10.
    bench.Clock().SetUtcOffset(static_cast<int32_t>(946684810 - bench.Clock().WallTime()));
    EXPECT_EQ(kp->KDSetTime(), 1);
    EXPECT_EQ(firmware->ClockSeconds(), 10);
    EXPECT_FALSE(Heard("set -sec 10").empty());
    EXPECT_TRUE(Logged("KDSetTime set the time to: 10"));

    // A reply without "OK" did not set the clock, however long it is.
    firmware->AddCommand("set", [](const std::string&) { return korrsim::Reply::Text("Busy"); });
    EXPECT_EQ(kp->KDSetTime(), -30);
    EXPECT_TRUE(Logged("KDSetTime got error -30"));

    MakeInstrument("QS7");  // no set-clock mark
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDSetTime(), -13);
}

}  // namespace
