// The radio module: MSRadioCommand through the logger's firmware, and Tm8Config through the
// module's AT command mode, against a scripted device in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/DeviceMaintenance.h"
#include "device/DeviceSettings.h"
#include "device/ScriptedLink.h"

using namespace korr;
using Commands = std::vector<std::string>;

namespace {

class RadioTest : public korrtest::ScriptedLink {
  protected:
    int32_t channel = -1;
    int32_t subchannel = -1;
    char version[9] = "x";
    uint32_t mask = 0;

    int32_t Radio(int mode, uint32_t wanted) {
        mask = wanted;
        return MSRadioCommand(link, &channel, &subchannel, version, mode, &mask);
    }
    int32_t Tm8(int mode, uint32_t wanted) {
        mask = wanted;
        return Tm8Config(link, &channel, &subchannel, version, mode, &mask);
    }
    // A module in AT command mode answering these commands.
    void ModuleAnswers() {
        device.On("+++", "OK\r");
        device.On("ATCN\r", "OK\r");
        device.On("ATWR\r", "OK\r");
    }
};

TEST_F(RadioTest, ReadsVersionChannelAndSubchannel) {
    device.On("get -rver\r", "OK\r1A2B\r>");
    device.On("get -rch\r", "OK\r3\r>");
    device.On("get -rsch\r", "OK\r1F\r>");
    EXPECT_EQ(Radio(kSettingRead, kRadioBits), 1);
    EXPECT_EQ(mask, kRadioBits);
    EXPECT_STREQ(version, "1A2B");
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(subchannel, 0x1F);
    EXPECT_EQ(device.commands, (Commands{"get -rver\r", "get -rch\r", "get -rsch\r"}));
    EXPECT_TRUE(Logged("MSRadioCommand found rsch 31"));
}

TEST_F(RadioTest, NoRadioEndsTheRead) {
    for (const char* reply : {"No Radio\r>", "OK\r00FF\r>"}) {
        SCOPED_TRACE(reply);
        device.commands.clear();
        device.On("get -rver\r", reply);
        EXPECT_EQ(Radio(kSettingRead, kRadioBits), -45);
        EXPECT_EQ(mask, 0u);
        EXPECT_STREQ(version, "");
        EXPECT_EQ(device.commands, Commands{"get -rver\r"}) << "channels are not asked";
    }
    EXPECT_TRUE(Logged("MSRadioCommand couldn't find a radio"));
}

TEST_F(RadioTest, SomeItemsDoneIsPartial) {
    device.On("get -rver\r", "OK\r1A2B\r>");
    device.On("get -rch\r", "OK\r9\r>");  // channels go up to 6
    device.On("get -rsch\r", "OK\r10\r>");
    EXPECT_EQ(Radio(kSettingRead, kRadioBits), -35);
    EXPECT_EQ(mask, kSetRadioVersion | kSetRadioSubchannel);
    EXPECT_EQ(device.Count("get -rch\r"), link.tries);
    EXPECT_TRUE(Logged("MSRadioCommand could not find rch"));
    EXPECT_TRUE(Logged("MSRadioCommand failed with error -35 setting 1024"));
}

TEST_F(RadioTest, BarePromptIsNoRadioRatherThanAnError) {
    device.On("get -rch\r", "\r\r>");
    EXPECT_EQ(Radio(kSettingRead, kSetRadioChannel), 0);
    EXPECT_EQ(mask, 0u);
}

TEST_F(RadioTest, WritesChannelsInHex) {
    device.On("set -rch 5\r", "OK\r>");
    device.On("set -rsch 1F\r", "OK\r>");
    channel = 5;
    subchannel = 31;
    EXPECT_EQ(Radio(kSettingWrite, kRadioBits), 1);
    EXPECT_EQ(mask, kSetRadioChannel | kSetRadioSubchannel);
    EXPECT_TRUE(Logged("MSRadioCommand set rch to 5"));
    EXPECT_TRUE(Logged("MSRadioCommand set rsch to 31"));
}

TEST_F(RadioTest, Tr3ConfirmsTwice) {
    link.settings.deviceClass = kClassTr3;
    device.InTurn("set -rch 5\r", {"OK\r>", "OK\r\rOK\r>"});
    channel = 5;
    EXPECT_EQ(Radio(kSettingWrite, kSetRadioChannel), 1);
    EXPECT_EQ(device.Count("set -rch 5\r"), 2u);
}

TEST_F(RadioTest, OverTheRadioNothingIsSet) {
    link.request.linkType = kLinkRadio;
    EXPECT_EQ(Radio(kSettingWrite, kRadioBits), -12);
    EXPECT_EQ(mask, 0u);

    // The connect configured the module: its values are known.
    link.request.configureRadioFirst = 1;
    link.request.radioChannel = 4;
    link.request.radioSubchannel = 0x1234;
    EXPECT_EQ(Radio(kSettingRead, kRadioBits), 1);
    EXPECT_EQ(mask, kSetRadioChannel | kSetRadioSubchannel);
    EXPECT_EQ(channel, 4);
    EXPECT_EQ(subchannel, 0x1234);
    EXPECT_STREQ(version, "");
    EXPECT_TRUE(device.commands.empty());

    // Otherwise the local module is asked.
    link.request.configureRadioFirst = 0;
    ModuleAnswers();
    device.On("ATHP\r", "2\r");
    device.On("ATDT\r", "ABC\r");
    EXPECT_EQ(Radio(kSettingRead, kSetRadioVersion), 1);
    EXPECT_EQ(mask, kSetRadioChannel | kSetRadioSubchannel);
    EXPECT_EQ(channel, 2);
    EXPECT_EQ(subchannel, 0xABC);
    EXPECT_TRUE(Logged("MSRadioCommand asked the Tm8 and found the RCH is 2 and RSCH is 2748"));
}

TEST_F(RadioTest, OldFirmwareHandsTheLineToTheModule) {
    link.settings.newCommandSet = 0;
    link.settings.deviceClass = kClassTr3;
    ModuleAnswers();
    device.On("ATHP\r", "3\r");
    device.On("term\r", "\r>");
    EXPECT_EQ(Radio(kSettingRead, kSetRadioChannel), 1);
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(device.commands, (Commands{"term\r", "+++", "ATHP\r", "ATCN\r", "term\r"}));

    link.settings.deviceClass = kClassFieldHub;  // old firmware of another class
    EXPECT_EQ(Radio(kSettingRead, kSetRadioChannel), -21);
}

TEST_F(RadioTest, Tm8SetChannelOnly) {
    ModuleAnswers();
    device.On("ATHP1A\r", "OK\r");
    channel = 0x1A;
    subchannel = 7;
    EXPECT_EQ(Tm8(kSettingWrite, kSetRadioChannel), 1);
    EXPECT_EQ(mask, kSetRadioChannel);
    EXPECT_EQ(device.commands, (Commands{"+++", "ATHP1A\r", "ATWR\r", "ATCN\r"}));
    EXPECT_TRUE(Logged("Tm8Config set rch to 26"));
    EXPECT_TRUE(Logged("Tm8Config saved configuration"));
}

TEST_F(RadioTest, Tm8ReadsAll) {
    ModuleAnswers();
    device.On("ATHP\r", "3\r");
    device.On("ATDT\r", "FFFF\r");
    device.On("ATVR\r", "1045\r");
    EXPECT_EQ(Tm8(kSettingRead, kRadioBits), 1);
    EXPECT_EQ(mask, kRadioBits);
    EXPECT_EQ(channel, 3);
    EXPECT_EQ(subchannel, 0xFFFF);
    EXPECT_STREQ(version, "1045");
}

TEST_F(RadioTest, Tm8WithoutCommandMode) {
    device.On("+++", "\r");
    EXPECT_EQ(Tm8(kSettingWrite, kSetRadioChannel), -23);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(device.commands, (Commands(2, "+++")));
    EXPECT_TRUE(Logged("Tm8Config failed to get into AT command mode"));
}

TEST_F(RadioTest, Tm8StuckInCommandMode) {
    ModuleAnswers();
    device.On("ATCN\r", "NO\r");
    device.On("ATHP\r", "3\r");
    EXPECT_EQ(Tm8(kSettingRead, kSetRadioChannel), -1);
    EXPECT_TRUE(Logged("Tm8Config failed to get out of AT command mode: -1"));
}

// A failed item is never success, even when saving went well.
TEST_F(RadioTest, Tm8FailedItemIsNoSuccess) {
    ModuleAnswers();
    device.On("ATHP1\r", "NO\r");
    device.On("ATDT2\r", "OK\r");
    channel = 1;
    subchannel = 2;
    EXPECT_EQ(Tm8(kSettingWrite, kSetRadioChannel), -30);
    EXPECT_EQ(mask, 0u);
    EXPECT_EQ(Tm8(kSettingWrite, kSetRadioChannel | kSetRadioSubchannel), -35);
    EXPECT_EQ(mask, kSetRadioSubchannel);
    EXPECT_TRUE(Logged("Tm8Config failed with error -35 and 1"));

    device.On("ATHP\r", "zz\r");
    EXPECT_EQ(Tm8(kSettingRead, kSetRadioChannel), -30);
    EXPECT_TRUE(Logged("Tm8Config could not find rch"));
}

}  // namespace
