// The device clock and the erasure of stored data, against a scripted device in virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/FixedText.h"
#include "device/DeviceMaintenance.h"
#include "device/ScriptedLink.h"
#include "serial/Clock.h"

using namespace korr;
using Commands = std::vector<std::string>;

namespace {

// 2024-02-29 13:05:09 counted from 2000-01-01 00:00:00.
constexpr int32_t kLeapDaySeconds = (8766 + 59) * 86400 + 13 * 3600 + 5 * 60 + 9;

using DeviceTimeTest = korrtest::ScriptedLink;

TEST_F(DeviceTimeTest, WithoutAClockNothingIsSent) {
    link.settings.capabilities &= ~kCapClock;
    int32_t seconds = 5;
    EXPECT_EQ(DeviceTime(link, &seconds, 1), -1);
    EXPECT_EQ(seconds, -1);
    EXPECT_EQ(DeviceTime(link, nullptr, 0), -1);
    EXPECT_TRUE(device.commands.empty());
}

TEST_F(DeviceTimeTest, SettingZeroTakesTheHostClock) {
    link.settings.capabilities |= kCapKorrSeconds;
    bench.Clock().SetUtcOffset(3600);
    const int32_t expected = static_cast<int32_t>(WallTime() + 3600 - kKorrEpochUnix);
    const std::string command = "set -sec " + std::to_string(expected) + "\r";
    device.On(command, "OK\r>");
    int32_t seconds = 0;
    EXPECT_EQ(DeviceTime(link, &seconds, 1), 1);
    EXPECT_EQ(seconds, expected);
    EXPECT_EQ(device.commands, Commands{command});
    EXPECT_TRUE(Logged("DeviceTime set device korrseconds to " + std::to_string(expected)));
}

TEST_F(DeviceTimeTest, SettingGivenSecondsSendsTimeThenDate) {
    device.On("set -t 13:5:9\r", "OK\r>");
    device.On("set -d 2024-2-29\r", "OK\r>");
    int32_t seconds = kLeapDaySeconds;
    EXPECT_EQ(DeviceTime(link, &seconds, 1), 1);
    EXPECT_EQ(device.commands, (Commands{"set -t 13:5:9\r", "set -d 2024-2-29\r"}));
    EXPECT_TRUE(Logged("DeviceTime set device time to 13:05:09"));
    EXPECT_TRUE(Logged("DeviceTime set device date to 2024-2-29"));
}

TEST_F(DeviceTimeTest, OldFirmwareConfirmsWithItsPrompt) {
    link.settings.newCommandSet = 0;
    device.On("set -t 13:5:9\r", "\r>");
    device.On("set -d 2024-2-29\r", ">");
    int32_t seconds = kLeapDaySeconds;
    EXPECT_EQ(DeviceTime(link, &seconds, 1), 1);

    link.settings.newCommandSet = 1;  // new firmware must say OK
    EXPECT_EQ(DeviceTime(link, &seconds, 1), -30);
}

// A clock set to the right time on the wrong day would be reported as set.
TEST_F(DeviceTimeTest, FailedTimeOfDayStopsBeforeTheDate) {
    device.On("set -t 13:5:9\r", "ERROR\r>");
    device.On("set -d 2024-2-29\r", "OK\r>");
    int32_t seconds = kLeapDaySeconds;
    EXPECT_EQ(DeviceTime(link, &seconds, 1), -34);
    EXPECT_FALSE(Sent("set -d 2024-2-29\r"));
    EXPECT_TRUE(Logged("DeviceTime failed with error -34"));
}

TEST_F(DeviceTimeTest, DateReplyIsLocalTimeWhateverTheZone) {
    device.On("get -t\r", "\rDate\\Time: 2024-2-29 13:05:09\r>");
    for (int32_t offset : {0, 3600, -5 * 3600, 13 * 3600 + 45 * 60}) {
        SCOPED_TRACE(offset);
        bench.Clock().SetUtcOffset(offset);
        int32_t seconds = 0;
        EXPECT_EQ(DeviceTime(link, &seconds, 0), 1);
        EXPECT_EQ(seconds, kLeapDaySeconds);
    }
    EXPECT_TRUE(Logged("DeviceTime found device date/time 2024-2-29 13:05:09 or 762527109"));
}

TEST_F(DeviceTimeTest, ReadReplies) {
    struct Case {
        const char* name;
        bool korrSeconds;
        uint8_t newCommandSet;
        const char* command;
        const char* reply;
        int32_t expected;
        int32_t seconds;
    };
    const Case cases[] = {
        {"seconds", true, 1, "get -sec\r", "\r762527109\r>", 1, kLeapDaySeconds},
        {"negative seconds", true, 1, "get -sec\r", "\r-5\r>", -30, -1},
        {"no seconds", true, 1, "get -sec\r", "\r\r>", -30, -1},
        {"old firmware", false, 0, "time\r", "2000-1-1 0:00:10\r>", 1, 10},
        {"date cut short", false, 1, "get -t\r", "\rDate\\Time: 2024-2-29 13:05\r>", -30, -1},
        {"rejected", false, 1, "get -t\r", "ERROR\r>", -30, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.korrSeconds) {
            link.settings.capabilities |= kCapKorrSeconds;
        } else {
            link.settings.capabilities &= ~kCapKorrSeconds;
        }
        link.settings.newCommandSet = c.newCommandSet;
        device.commands.clear();
        device.On(c.command, c.reply);
        int32_t seconds = 12345;
        EXPECT_EQ(DeviceTime(link, &seconds, 0), c.expected);
        EXPECT_EQ(seconds, c.seconds);
        EXPECT_TRUE(Sent(c.command));
    }
    EXPECT_TRUE(Logged("DeviceTime found device date/timr -5 KorrSeconds"));
    EXPECT_EQ(DeviceTime(link, nullptr, 0), -10);
}

class EraseDataTest : public korrtest::ScriptedLink {
  protected:
    void SetUp() override {
        ScriptedLink::SetUp();
        CopyText(link.settings.deviceName, "LOG1");
        device.On("get -i\r", "\rLOG1\r>");
    }
};

TEST_F(EraseDataTest, ConfirmsForTheDeviceLoggedIn) {
    device.On("yes\r", "\rOK\r>");
    EXPECT_EQ(EraseData(link), 1);
    EXPECT_EQ(device.commands, (Commands{"get -i\r", "yes\r"}));
    EXPECT_TRUE(Logged("InitializeDevice erased device data"));
}

TEST_F(EraseDataTest, AnotherDeviceIsNeverErased) {
    device.On("get -i\r", "\rLOG2\r>");
    EXPECT_EQ(EraseData(link), -37);
    EXPECT_FALSE(Sent("yes\r"));
    EXPECT_TRUE(Logged("EraseData: Identity mismatch. Class: LOG1, Device: LOG2"));

    device.On("get -i\r", "");
    EXPECT_EQ(EraseData(link), -37);
    EXPECT_FALSE(Sent("yes\r"));
    EXPECT_TRUE(Logged("EraseData failed checking the identity of device (error -21)"));
}

TEST_F(EraseDataTest, Failures) {
    struct Case {
        const char* reply;
        int32_t expected;
    };
    for (const Case& c : {Case{"ERROR\r>", -65}, Case{"\rDataFlash FAIL\r>", -65}, Case{"", -65},
                          Case{"\rhuh\r>", -30}}) {
        SCOPED_TRACE(c.reply);
        device.On("yes\r", c.reply);
        EXPECT_EQ(EraseData(link), c.expected);
    }
    EXPECT_TRUE(Logged("EraseData failed due to a broken DataFlash"));
    EXPECT_TRUE(Logged("EraseData failed with error -30"));
}

TEST_F(EraseDataTest, OldFirmwareReadsTheShowReportAndEndsWithAnExclamationMark) {
    link.settings.newCommandSet = 0;
    link.settings.deviceClass = kClassTr3;
    device.On("show\r", "\rID: LOG1\rVersion: 1.20\r>");
    device.On("yes\r", "\rOK!");
    EXPECT_EQ(EraseData(link), 1);
    EXPECT_EQ(device.commands, (Commands{"show\r", "yes\r"}));
}

}  // namespace
