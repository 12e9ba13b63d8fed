// Whole settings records read from and written to the simulated logger firmware, in virtual
// time: what DeviceSettings reads is what the device holds, and what it writes the device keeps.
#include <gtest/gtest.h>

#include <string>

#include "device/DeviceSettings.h"
#include "device/LinkFixture.h"
#include "models/Logger.h"
#include "models/RadioModem.h"

using namespace korr;

namespace {

// Every setting a record holds.
constexpr uint32_t kEverySetting = (1u << 28) - 1;
constexpr uint32_t kADCBits = kSetADC30 | kSetADC15;

class SettingsRoundTripTest : public korrtest::LinkFixture {
  protected:
    korrsim::Logger& logger = Attach<korrsim::Logger>(korrsim::kTr30Keys, "TR30 2.02");
    DeviceSettingsRecord record;
    uint32_t mask = 0;

    void SetUp() override {
        logger.SetModem(true);
        ConnectRequest r = SerialRequest();
        ASSERT_EQ(link.ConnectDevice(&r), 1);
    }
    int32_t Run(uint32_t wanted, int mode) {
        mask = wanted;
        return DeviceSettings(link, &record, &mask, mode);
    }
};

TEST_F(SettingsRoundTripTest, ReadsWhatTheDeviceHolds) {
    // This firmware has no ADC calibration keys although its version claims them.
    EXPECT_EQ(Run(kEverySetting, kSettingRead), -35);
    EXPECT_EQ(mask, kEverySetting & ~kADCBits);
    EXPECT_EQ(record.validMask, mask);
    EXPECT_STREQ(record.deviceName, "TR30LOG");
    EXPECT_STREQ(record.serialNumber, "T30-004711");
    EXPECT_STREQ(record.deviceID, "DEV00001");
    EXPECT_STREQ(record.site, "North Field");
    EXPECT_DOUBLE_EQ(record.latitude, 46.5);
    EXPECT_DOUBLE_EQ(record.longitude, -117.25);
    EXPECT_EQ(record.interval, 300u);
    EXPECT_EQ(record.depths[4], 50);
    EXPECT_EQ(record.trait, kTraitValid | kTraitRadio | kTraitModem);
    EXPECT_EQ(record.radioChannel, 5);
    EXPECT_EQ(record.radioSubchannel, 0x1A2B);
    EXPECT_STREQ(record.radioVersion, "1084");
    EXPECT_STREQ(record.apnPassword, "s3cret");
    EXPECT_STREQ(record.authKey, "00112233445566778899AABBCCDDEEFF");
    EXPECT_EQ(record.ipPort, 8080);
    const std::string text = Log();
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
    EXPECT_EQ(text.find("00112233445566778899AABBCCDDEEFF"), std::string::npos);
}

TEST_F(SettingsRoundTripTest, WritesWhatTheDeviceKeeps) {
    bench.Clock().SetUtcOffset(-5 * 3600);
    ASSERT_EQ(Run(kEverySetting & ~kADCBits, kSettingRead), 1);
    CopyText(record.deviceName, "RENAMED");
    CopyText(record.site, "South Field");
    record.latitude = 0;
    record.timeZone = -2;  // the host's own zone
    record.radioChannel = 3;
    record.depths[0] = 99;
    const uint32_t written = kSetName | kSetSite | kSetLatitude | kSetTimeZone | kSetRadioChannel |
                             kSetDepths | kSetAPNPassword;
    EXPECT_EQ(Run(written, kSettingWrite), 1);
    EXPECT_EQ(mask, written);
    const korrsim::SettingsStore& s = logger.Settings();
    EXPECT_EQ(s.Get("i"), "RENAMED");
    EXPECT_EQ(s.Get("site"), "South Field");
    EXPECT_EQ(s.Get("lat"), "");
    EXPECT_EQ(s.Get("tz"), "-20");
    EXPECT_EQ(s.Get("rch"), "3");
    EXPECT_EQ(s.Get("depth"), "99 20 30 40 50");
    EXPECT_EQ(s.Get("passwd"), "s3cret");
    EXPECT_EQ(Log().find("s3cret"), std::string::npos);
}

TEST_F(SettingsRoundTripTest, SurvivesALostConnection) {
    logger.LoseConnection(2, 3);
    EXPECT_EQ(Run(kSetName | kSetDeviceID | kSetSite | kSetSerialNumber, kSettingRead), 1);
    EXPECT_EQ(mask, kSetVersion | kSetName | kSetDeviceID | kSetSite | kSetSerialNumber);
    EXPECT_EQ(logger.Restarts(), 1);
    EXPECT_STREQ(record.site, "North Field");
    EXPECT_TRUE(Logged("******: DeviceSettings re-connected to device"));
}

// Over the radio, the logger cannot tell its radio settings: the modem on this side can.
class RadioSettingsTest : public korrtest::LinkFixture {
  protected:
    korrsim::RadioModem& modem = Attach<korrsim::RadioModem>(4, 0xBEEF);
    korrsim::RadioLogger& logger =
        Keep(std::make_unique<korrsim::RadioLogger>(modem, korrsim::kTr30Keys, "TR30 2.02"));
};

TEST_F(RadioSettingsTest, ChannelsComeFromTheModem) {
    logger.Settings().Set("rch", "4");
    logger.Settings().Set("rsch", "BEEF");
    logger.WakeUp();
    ConnectRequest r = RadioRequest("TR30LOG");
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    DeviceSettingsRecord record;
    uint32_t mask = kRadioBits;
    EXPECT_EQ(DeviceSettings(link, &record, &mask, kSettingRead), 1);
    EXPECT_EQ(mask, kSetVersion | kSetTrait | kSetRadioChannel | kSetRadioSubchannel);
    EXPECT_EQ(record.radioChannel, 4);
    EXPECT_EQ(record.radioSubchannel, 0xBEEF);
    EXPECT_FALSE(modem.InCommandMode());
    EXPECT_TRUE(Logged("MSRadioCommand asked the Tm8 and found the RCH is 4 and RSCH is 48879"));
}

}  // namespace
