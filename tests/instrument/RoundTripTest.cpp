// Whatever an instrument held before its update, it holds afterwards: save, new firmware that
// starts with factory settings, restore from memory; and again restore from the settings file
// alone, with a fresh protocol object. Judged by the simulated instrument's own memory.
#include <gtest/gtest.h>

#include <span>

#include "instrument/InfoFile.h"
#include "instrument/InstrumentFixture.h"
#include "models/CommDevice.h"
#include "models/Sdi12Sensor.h"

using namespace korr;

namespace {

class InstrumentRoundTrip : public korrtest::InstrumentFixture,
                            public ::testing::WithParamInterface<const char*> {
  protected:
    std::string path = dir.File("settings.txt");
};

TEST_P(InstrumentRoundTrip, SettingsSurviveNewFirmware) {
    MakeInstrument(GetParam());
    const korrsim::SettingsSnapshot before = firmware->Snapshot();
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    kp->KDDisconnect(false);

    BootNewFirmware();
    ASSERT_NE(firmware->Snapshot(), before) << "new firmware starts with factory settings";
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), 1);
    EXPECT_EQ(firmware->Snapshot(), before) << "restored from memory";
    kp->KDDisconnect(true);

    BootNewFirmware();
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), 1);
    EXPECT_EQ(firmware->Snapshot(), before) << "restored from the file";
}

INSTANTIATE_TEST_SUITE_P(EveryInstrumentType, InstrumentRoundTrip,
                         ::testing::Values("QMINI", "TM", "CZ40", "SZ", "SORB", "QS7", "MCD", "HV",
                                           "QE8", "QVX", "HYP9"));

// Loggers keep a DeviceSettingsRecord instead; the settings file has its own logger variant.
struct LoggerCase {
    const char* name;
    std::span<const korrsim::LoggerKey> keys;
    const char* versionReply;
    bool radio;
    bool modem;
    int32_t restored;  // what the restore reports
};

class LoggerRestoreCheck : public korrtest::InstrumentFixture {
  protected:
    std::string path = dir.File("settings.txt");
};

class LoggerRoundTrip : public korrtest::InstrumentFixture,
                        public ::testing::WithParamInterface<LoggerCase> {
  protected:
    std::string path = dir.File("settings.txt");
};

// The FieldHub's emulated trait is saved and written back, and the hub cannot take it: its
// restore reports -35 although every setting is back.
TEST_P(LoggerRoundTrip, SettingsSurviveNewFirmware) {
    korrsim::Logger& device = MakeLogger(GetParam().keys, GetParam().versionReply);
    device.SetRadio(GetParam().radio);
    device.SetModem(GetParam().modem);
    auto now = [&] {
        korrsim::SettingsSnapshot s;
        for (const std::string& key : device.Settings().Keys()) s[key] = device.Settings().Get(key);
        return s;
    };
    const korrsim::SettingsSnapshot before = now();
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    kp->KDDisconnect(false);

    device.FactoryReset();
    ASSERT_NE(now(), before) << "new firmware starts with factory settings";
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), GetParam().restored);
    EXPECT_EQ(now(), before) << "restored from memory";
    kp->KDDisconnect(true);

    device.FactoryReset();
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), GetParam().restored);
    EXPECT_EQ(now(), before) << "restored from the file";
}

INSTANTIATE_TEST_SUITE_P(
    EveryLoggerType, LoggerRoundTrip,
    ::testing::Values(
        LoggerCase{"Tr3b", korrsim::kTr3bKeys, "TR3B 2.04", true, false, 1},
        LoggerCase{"Tr30", korrsim::kTr30Keys, "TR30 2.02", true, true, 1},
        LoggerCase{"FieldHub", korrsim::kFieldHubKeys, "KS 1.09", true, false, -35},
        LoggerCase{"rB2", korrsim::kNetworkLoggerKeys, "RB2 1.05", true, true, 1},
        LoggerCase{"ZLG", korrsim::kNetworkLoggerKeys, "ZLG 1.02", false, true, 1}),
    [](const ::testing::TestParamInfo<LoggerCase>& c) { return std::string(c.param.name); });

// After a restore the logger is read again and compared with its file. New firmware reports a
// build of its own, which no restore writes: only the settings that go back count.
TEST_F(LoggerRestoreCheck, LooksOnlyAtTheSettingsThatGoBack) {
    korrsim::Logger& device = MakeLogger(korrsim::kTr3bKeys, "TR3B 2.04");
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    const std::string saved = korrtest::ReadFile(path);
    device.SetNewBuild("T3BB0360");
    device.FactoryReset();
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), 1);
    kp->KDDisconnect(false);  // read again on a new connection, as the update does
    ASSERT_GT(Connect(), 0);
    const std::string scratch = dir.File("again.txt");
    ASSERT_EQ(kp->KDSaveInfo(scratch.c_str()), 1);
    std::string now = korrtest::ReadFile(scratch);
    ASSERT_NE(now, saved);  // the build differs
    EXPECT_TRUE(SameRestoredSettings(kp->deviceType, saved, now));

    // A setting that did not go back still shows.
    device.Settings().Set("w", "1");
    ASSERT_EQ(kp->KDSaveInfo(scratch.c_str()), 1);
    EXPECT_FALSE(SameRestoredSettings(kp->deviceType, saved, korrtest::ReadFile(scratch)));
}

// The digital sensor behind the communication device keeps its bus address and calibration.
class SensorRoundTrip : public korrtest::InstrumentFixture {
  protected:
    void TearDown() override {
        kp->KDDisconnect(false);
        bench.Line().AttachDevice(nullptr);
    }
    korrsim::CommDevice commDevice{bench.Line(), "MORVA-XE 1.05"};
    korrsim::Sdi12Sensor sensor{bench.Loop(), 'y'};
    std::string path = dir.File("settings.txt");
};

TEST_F(SensorRoundTrip, AddressAndCalibrationSurviveNewFirmware) {
    bench.Line().AttachDevice(&commDevice);
    commDevice.AttachSensor(&sensor);
    sensor.SetAddress('3');
    sensor.SetCalibration(0, "A=1.0234;B=-0.0125");
    sensor.SetCalibration(1, "T=0.9978;U=+0.0031");  // the type with a second string
    auto now = [&] {
        return std::string(1, sensor.Address()) + " " + sensor.Calibration(0) + " " +
               sensor.Calibration(1);
    };
    const std::string before = now();
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->deviceType, 10);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    kp->KDDisconnect(false);

    auto factory = [&] {
        sensor.SetAddress('0');
        sensor.SetCalibration(0, "A=1;B=0");
        sensor.SetCalibration(1, "T=1;U=0");
    };
    factory();
    ASSERT_GT(Connect(), 0);
    EXPECT_GT(kp->KDRestoreInfo(path.c_str(), nullptr), 0);
    EXPECT_EQ(now(), before) << "restored from memory";
    kp->KDDisconnect(false);

    factory();
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    EXPECT_GT(kp->KDRestoreInfo(path.c_str(), nullptr), 0);
    EXPECT_EQ(now(), before) << "restored from the file";
}

// The calibration goes back although the address change is not made: only part is restored.
TEST_F(SensorRoundTrip, RefusedAddressChangeIsAPartialRestore) {
    bench.Line().AttachDevice(&commDevice);
    commDevice.AttachSensor(&sensor);
    sensor.SetAddress('3');
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->KDSaveInfo(path.c_str()), 1);
    sensor.SetAddress('0');
    sensor.SetCalibration(0, "A=1;B=0");
    sensor.SetAddressChangeRefused(true);
    EXPECT_EQ(kp->KDRestoreInfo(path.c_str(), nullptr), -35);
    EXPECT_EQ(sensor.Address(), '0');
    EXPECT_EQ(sensor.Calibration(0), "A=1.0234;B=-0.0125;C=0.9981");
}

}  // namespace
