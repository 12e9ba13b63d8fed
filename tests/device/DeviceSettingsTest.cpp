// DeviceSettings: the order of a run, what it adds on its own, how it ends, and the re-login
// after a lost connection, against a scripted device in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FixedText.h"
#include "device/DeviceSettings.h"
#include "device/ScriptedLink.h"

using namespace korr;
using Commands = std::vector<std::string>;

namespace {

class DeviceSettingsTest : public korrtest::ScriptedLink {
  protected:
    DeviceSettingsRecord record;
    uint32_t mask = 0;

    int32_t Read(uint32_t wanted) {
        mask = wanted;
        return DeviceSettings(link, &record, &mask, kSettingRead);
    }
    // A device nobody has identified yet.
    void Unidentified() { link.settings = DeviceSettingsRecord{}; }
    void AnswersVersion(const char* version) {
        device.On("get -ver\r", std::string("\r") + version + "\r>");
    }
};

TEST_F(DeviceSettingsTest, RadioOnAnUnknownDeviceAsksVersionTraitThenRadio) {
    Unidentified();
    AnswersVersion("TR30 2.02");
    device.On("get -trait\r", "\r254\r>");  // 255 - 254 = 1: a radio
    device.On("get -rch\r", "OK\r3\r>");
    EXPECT_EQ(Read(kSetRadioChannel), 1);
    EXPECT_EQ(mask, 0x40Cu);
    EXPECT_EQ(device.commands, (Commands{"get -ver\r", "get -trait\r", "get -rch\r"}));
    EXPECT_EQ(record.radioChannel, 3);
    EXPECT_EQ(record.deviceClass, kClassTr30);
    EXPECT_EQ(record.validMask, 0x40Cu);
}

TEST_F(DeviceSettingsTest, MissingCapabilityFailsTheRunButNotTheOthers) {
    Unidentified();
    AnswersVersion("TR30 1.14");  // no device ID before 2.00
    device.On("get -i\r", "\rLOG1\r>");
    EXPECT_EQ(Read(kSetDeviceID | kSetName), -35);
    EXPECT_EQ(mask, kSetVersion | kSetName);
    EXPECT_FALSE(Sent("get -devid\r"));
    EXPECT_STREQ(record.deviceName, "LOG1");
    EXPECT_EQ(record.capabilities, 0x7FFF7u);
}

TEST_F(DeviceSettingsTest, RunsInItsOwnOrder) {
    device.otherwise = "OK\r1\r>";
    link.settings.validMask = kSetTrait;
    Read(kSetIPPort | kSetName | kSetTimeZone | kSetDeviceID | kSetSite | kSetInterval |
         kSetDataParameter | kSetBuild | kSetSerialNumber);
    EXPECT_EQ(device.commands,
              (Commands{"get -i\r", "get -devid\r", "get -tz\r", "get -site\r", "get -sn\r",
                        "get -w\r", "get -data\r", "get -build\r", "get -ipport\r"}));
}

TEST_F(DeviceSettingsTest, OldTr3At105IsNotSupported) {
    Unidentified();
    device.On("get -ver\r", "ERROR\r>");
    device.On("show\r", "\rID: OLD1\rVersion: 1.05\rWake: 60\r>");
    EXPECT_EQ(Read(kSetName | kSetSite), -13);
    EXPECT_TRUE(Logged("DeviceSettings: old KeepVault model 007 not supported"));
    EXPECT_FALSE(Sent("get -i\r"));
}

TEST_F(DeviceSettingsTest, OldFirmwareGetsNameAndIntervalFromTheShowReport) {
    link.settings.newCommandSet = 0;
    link.settings.deviceClass = kClassTr3;
    link.settings.version = 120;
    link.settings.capabilities = 0x331C;
    device.On("show\r", "\rID: OLD1\rVersion: 1.20\rWake: 60\r>");
    EXPECT_EQ(Read(kSetName | kSetInterval), 1);
    EXPECT_EQ(mask, kSetName | kSetVersion | kSetInterval | kSetRadioMode);
    EXPECT_EQ(device.commands, Commands{"show\r"});
    EXPECT_STREQ(record.deviceName, "OLD1");
    EXPECT_EQ(record.interval, 60u);
}

TEST_F(DeviceSettingsTest, LostConnectionLogsInAgainAndRepeatsTheCommand) {
    AnswersVersion("TR30 2.02");
    link.request.baudIndex = 2;
    device.On("get -i\r", "\rLOG1\r>");
    device.InTurn("get -devid\r", {"", "", "", "\rDEV1\r>"});  // quiet for one whole exchange
    device.On("get -site\r", "\rMeadow\r>");
    EXPECT_EQ(Read(kSetName | kSetDeviceID | kSetSite), 1);
    EXPECT_EQ(mask, kSetVersion | kSetName | kSetDeviceID | kSetSite);
    EXPECT_STREQ(record.deviceID, "DEV1");
    EXPECT_EQ(device.Count("get -ver\r"), 1u);
    EXPECT_TRUE(Logged("******: DeviceSettings re-connected to device"));
}

TEST_F(DeviceSettingsTest, LostConnectionForGood) {
    device.On("get -devid\r", "");
    EXPECT_EQ(Read(kSetDeviceID | kSetSite), -21) << "nothing answers the login";
    EXPECT_TRUE(Sent("get -ver\r"));
    EXPECT_FALSE(Sent("get -site\r"));
}

TEST_F(DeviceSettingsTest, LostConnectionOverTheRadioEndsTheRun) {
    link.request.linkType = kLinkRadio;
    device.On("get -devid\r", "");
    EXPECT_EQ(Read(kSetDeviceID | kSetSite), -21);
    EXPECT_EQ(device.commands, Commands(link.tries, "get -devid\r"));
}

TEST_F(DeviceSettingsTest, EchoAndEmptyNameStopTheRun) {
    device.On("get -devid\r", "get -devid\r");
    EXPECT_EQ(Read(kSetDeviceID | kSetSite), -32);
    EXPECT_FALSE(Sent("get -site\r"));

    device.On("get -i\r", "\r\r>");
    EXPECT_EQ(Read(kSetName | kSetSite), -36);
    EXPECT_FALSE(Sent("get -site\r"));
}

TEST_F(DeviceSettingsTest, TraitWithoutRadioFailsTheRadio) {
    link.settings.validMask = kSetTrait;
    link.settings.trait = kTraitValid;
    EXPECT_EQ(Read(kSetRadioChannel | kSetRadioSubchannel), -35);
    EXPECT_EQ(mask, kSetVersion);
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(DeviceSettingsTest, WriteSendsTheCallersRecord) {
    record = link.settings;
    CopyText(record.deviceName, "LOG9");
    CopyText(record.site, "Field 3");
    record.serialNumber[0] = '\0';
    device.On("set -i LOG9\r", "OK\r>");
    device.On("set -site Field 3\r", "OK\r>");
    mask = kSetName | kSetSite | kSetVersion;
    EXPECT_EQ(DeviceSettings(link, &record, &mask, kSettingWrite), 1);
    EXPECT_EQ(mask, kSetName | kSetSite);
    EXPECT_EQ(device.commands, (Commands{"set -i LOG9\r", "set -site Field 3\r"}));
    EXPECT_STREQ(link.settings.site, "Field 3");

    mask = kSetVersion;
    EXPECT_EQ(DeviceSettings(link, &record, &mask, kSettingWrite), -1) << "nothing done";
    EXPECT_EQ(mask, 0u);
}

TEST_F(DeviceSettingsTest, ArgumentsAndCancel) {
    EXPECT_EQ(DeviceSettings(link, nullptr, &mask, kSettingRead), -10);
    EXPECT_EQ(DeviceSettings(link, &record, &mask, 2), -11);

    std::vector<int> phases;
    link.options.progressHookOn = 1;
    link.progressHook = [&phases](uint32_t, uint32_t, int phase) {
        phases.push_back(phase);
        return false;
    };
    EXPECT_EQ(Read(kSetName | kSetSite), -40);
    EXPECT_EQ(phases, (std::vector<int>{1, 2}));
    EXPECT_TRUE(device.commands.empty());
    EXPECT_TRUE(Logged("DeviceSettings canceled by user after getting 2 of 2 settings"));
}

}  // namespace
