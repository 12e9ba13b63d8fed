// Whatever an instrument held before its update, it holds afterwards: save, new firmware that
// starts with factory settings, restore from memory; and again restore from the settings file
// alone, with a fresh protocol object. Judged by the simulated instrument's own memory.
#include <gtest/gtest.h>

#include "instrument/InstrumentFixture.h"

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

}  // namespace
