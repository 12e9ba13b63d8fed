// The device link on a serial line, in virtual time: the command exchange, the link options,
// connecting, changing the baud rate and letting go.
#include <gtest/gtest.h>

#include <cstring>

#include "device/DeviceIdentification.h"
#include "device/LinkFixture.h"
#include "models/Logger.h"
#include "models/Qs7Firmware.h"
#include "support/LambdaDevice.h"

using namespace korr;
using korrsim::kUsPerMs;
using korrtest::AnswerEachLine;
using korrtest::LambdaDevice;

namespace {

class DeviceLinkTest : public korrtest::LinkFixture {
  protected:
    // One exchange with a 1000 ms time-out and the given reply capacity.
    int32_t Exchange(const char* command, uint32_t capacity = 64, char terminator = '>') {
        capacity_ = capacity;
        elapsed = 0;
        std::memset(reply, 'x', sizeof reply);
        return link.DeviceCommand(command, terminator, 1000, reply, &capacity_, &elapsed);
    }
    korrsim::Logger& Tr30(const char* version = "TR30 1.14") {
        return Attach<korrsim::Logger>(korrsim::kTr30Keys, version);
    }

    char reply[128];
    uint32_t capacity_ = 0;
    uint32_t elapsed = 0;
};

// --- options -------------------------------------------------------------------------------

TEST_F(DeviceLinkTest, ConfigureLinkRefusesOutOfRangeOptionsAndChangesNothing) {
    struct Case {
        const char* what;
        LinkOptions options;
    };
    const Case cases[] = {
        {"13 serial tries", {.serialTries = 13}},
        {"13 radio tries", {.radioTries = 13}},
        {"trace level 4", {.traceLevel = 4}},
        {"trace level -1", {.traceLevel = -1}},
        {"extra wait 30001 ms", {.extraWaitMs = 30001}},
    };
    for (const Case& c : cases) {
        LinkOptions o = c.options;
        EXPECT_EQ(link.ConfigureLink(&o, true), -11) << c.what;
        LinkOptions now;
        ASSERT_EQ(link.ConfigureLink(&now, false), 1);
        EXPECT_EQ(now.serialTries, 3u) << c.what;
        EXPECT_EQ(now.radioTries, 5u) << c.what;
        EXPECT_EQ(now.traceLevel, 0) << c.what;
        EXPECT_EQ(now.extraWaitMs, 0u) << c.what;
    }
    EXPECT_EQ(link.ConfigureLink(nullptr, true), -10);
}

TEST_F(DeviceLinkTest, ConfigureLinkTakesLimitsAndDefaultsZeroTries) {
    LinkOptions o{.serialTries = 0, .radioTries = 0, .traceLevel = 3, .extraWaitMs = 30000};
    ASSERT_EQ(link.ConfigureLink(&o, true), 1);
    LinkOptions now;
    link.ConfigureLink(&now, false);
    EXPECT_EQ(now.serialTries, 3u);
    EXPECT_EQ(now.radioTries, 5u);
    EXPECT_EQ(now.extraWaitMs, 30000u);
    o = {.serialTries = 12, .radioTries = 1};
    ASSERT_EQ(link.ConfigureLink(&o, true), 1);
    EXPECT_EQ(link.tries, 12u) << "a serial (or closed) link uses the serial tries";
}

// --- the exchange ----------------------------------------------------------------------------

TEST_F(DeviceLinkTest, BarePromptFillsTheReplyAndGivesMinus31) {
    Attach<LambdaDevice>(AnswerEachLine("\r\r>"));
    OpenSerial();
    EXPECT_EQ(Exchange("get -i\r"), -31);
    EXPECT_STREQ(reply, "\r\r>");
    EXPECT_EQ(capacity_, 3u);
    EXPECT_TRUE(Logged("sim0: DeviceCommand: device returned empty answer"));
    EXPECT_EQ(link.LoginCommand("NAME"), 1) << "a bare prompt to a login is a welcome";
}

TEST_F(DeviceLinkTest, LongReplyIsCutToCapacityAndCountsEveryByte) {
    Attach<LambdaDevice>(AnswerEachLine("\rABCDEFGHIJKLMNOP\r>"));
    OpenSerial();
    EXPECT_EQ(Exchange("get -x\r", 8), 19) << "the bytes received, not the bytes kept";
    EXPECT_STREQ(reply, "\rABCDEF");
    EXPECT_EQ(capacity_, 7u);
    EXPECT_TRUE(Logged("DeviceCommand got 12 more bytes than expected (get -x\r)"));
}

TEST_F(DeviceLinkTest, EchoIsMinus32AtTheFirstAttempt) {
    auto& device = Tr30();
    device.SetRelayEcho(true);
    OpenSerial();
    EXPECT_EQ(Exchange("get -sn\r"), -32);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(capacity_, 0u);
    EXPECT_EQ(device.Lines().size(), 1u) << "an echo is never retried";
    EXPECT_TRUE(
        Logged("DeviceCommand is hearing echoed commands -- device is broken? Relay active?"));
}

TEST_F(DeviceLinkTest, SilenceOnEveryAttemptIsMinus21) {
    auto& device = Tr30();
    device.SetSilent(true);
    OpenSerial();
    for (uint32_t tries : {1u, 3u}) {
        device.ClearLines();
        LinkOptions o{.serialTries = tries};
        ASSERT_EQ(link.ConfigureLink(&o, true), 1);
        EXPECT_EQ(Exchange("get -sn\r"), -21) << tries << " tries";
        EXPECT_EQ(device.Lines().size(), tries);
        EXPECT_GE(elapsed, tries * 1000) << "each attempt waits out its time-out";
    }
}

TEST_F(DeviceLinkTest, RejectedCommandIsRetriedThenMinus34) {
    auto& device = Tr30();
    OpenSerial();
    device.AnswerErrors(2);
    EXPECT_EQ(Exchange("get -sn\r"), 13) << "the third attempt gets the answer";
    EXPECT_STREQ(reply, "\rT30-004711\r>");
    EXPECT_EQ(device.Lines().size(), 3u);

    device.ClearLines();
    EXPECT_EQ(Exchange("get -nosuchkey\r"), -34);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(device.Lines().size(), 3u);
    EXPECT_STREQ(link.replyBuffer.get(), "\rERROR\r>") << "the raw reply stays for the caller";
}

TEST_F(DeviceLinkTest, ExtraWaitLengthensEveryTimeOut) {
    auto& device = Tr30();
    device.SetReplyDelay(1500 * kUsPerMs);
    OpenSerial();
    EXPECT_GT(Exchange("get -sn\r"), 0);
    EXPECT_EQ(device.Lines().size(), 2u) << "the slow answer arrives during the second attempt";

    device.ClearLines();
    SleepMs(2000);
    LinkOptions o{.extraWaitMs = 1000};
    ASSERT_EQ(link.ConfigureLink(&o, true), 1);
    EXPECT_GT(Exchange("get -sn\r"), 0);
    EXPECT_EQ(device.Lines().size(), 1u);
}

TEST_F(DeviceLinkTest, TraceHookGetsWhatItsLevelAsksFor) {
    Tr30();
    OpenSerial();
    std::vector<std::string> traced;
    link.traceHook = [&traced](const char* text) { traced.emplace_back(text); };
    const std::vector<std::string> sent = {"get -sn\r"};
    const std::vector<std::string> heard = {"\rT30-004711\r>"};
    const std::vector<std::string> both = {"get -sn\r", "\rT30-004711\r>"};
    for (int8_t level : {0, 1, 2, 3}) {
        traced.clear();
        LinkOptions o{.traceLevel = level};
        ASSERT_EQ(link.ConfigureLink(&o, true), 1);
        ASSERT_GT(Exchange("get -sn\r"), 0);
        const std::vector<std::string> expected[] = {{}, heard, sent, both};
        EXPECT_EQ(traced, expected[level]) << "level " << int{level};
    }
}

// --- device names ----------------------------------------------------------------------------

TEST(DeviceName, Rules) {
    struct Case {
        const char* name;
        int32_t expected;
    };
    const Case cases[] = {
        {nullptr, -53},  {"", -53},        {"123456789", -54}, {"ping", -52},  {"ERROR", -52},
        {"OK", -52},     {"boot", -52},    {"ok", 1},          {"a b", -50},   {"a\tb", -50},
        {"a\x7f", -50},  {"a\xff", -50},   {"a/b", -51},       {"a?b", -51},   {"a,b", -51},
        {"a\\b", -51},   {"caf\xe9", -56}, {"\xe9 x", -56},    {"a b/c", -50}, {"LOGGER_1", 1},
        {"12345678", 1}, {"x", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckDeviceName(c.name), c.expected) << (c.name ? c.name : "(null)");
    }
}

// --- connecting ------------------------------------------------------------------------------

TEST_F(DeviceLinkTest, ConnectRefusesLinkTypesItDoesNotDrive) {
    Tr30();
    EXPECT_EQ(link.ConnectDevice(nullptr), -10);
    struct Case {
        uint8_t linkType;
        int32_t expected;
    };
    const Case cases[] = {{0, -11},   {4, -13},   {20, -13},  {40, -13},
                          {100, -13}, {110, -13}, {120, -13}, {55, -10}};
    for (const Case& c : cases) {
        ConnectRequest r = SerialRequest();
        r.linkType = c.linkType;
        EXPECT_EQ(link.ConnectDevice(&r), c.expected) << int{c.linkType};
        EXPECT_FALSE(link.port.IsOpen());
    }
}

TEST_F(DeviceLinkTest, ConnectIdentifiesAndStaysAt9600) {
    Tr30();
    ConnectRequest r = SerialRequest(0);
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(r.baudIndex, 2) << "index 0 means 9600";
    EXPECT_EQ(link.request.linkType, kLinkSerial);
    EXPECT_EQ(link.settings.deviceClass, kClassTr30);
    EXPECT_STREQ(link.settings.versionText, "TR30 1.14");
    EXPECT_TRUE(
        Logged("sim0: DeviceLogin communicating with a device running TR30 1.14 at 9600 baud"));
    EXPECT_EQ(link.DisconnectDevice(false), 1);
    EXPECT_FALSE(link.port.IsOpen());
    EXPECT_EQ(link.request.linkType, kLinkClosed);
    EXPECT_EQ(link.settings.deviceClass, 0) << "the settings are cleared with the link";
    EXPECT_EQ(link.DisconnectDevice(false), 0) << "nothing left to disconnect";
}

class LongPortNameTest : public korrtest::LinkFixture {
  protected:
    LongPortNameTest() : LinkFixture(kPath) {}
    static constexpr const char* kPath =
        "/dev/serial/by-id/usb-Korrin_Devices_MORVA_Adapter_A1B2C3D4-if00-port0";
};

TEST_F(LongPortNameTest, ConnectOpensTheWholeDevicePath) {
    Attach<korrsim::Qs7Firmware>();
    ConnectRequest r = SerialRequest();
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_STREQ(link.port.name, kPath);
    EXPECT_STREQ(link.request.portName, kPath);
    EXPECT_TRUE(Logged(std::string(kPath) + ": DeviceLogin communicating"));
}

TEST_F(DeviceLinkTest, ConnectToAMissingPortReturnsTheSystemError) {
    ConnectRequest r = SerialRequest();
    CopyText(r.portName, "ttyNONE");
    EXPECT_EQ(link.ConnectDevice(&r), -ENOENT);
    EXPECT_EQ(link.request.linkType, kLinkClosed);
}

TEST_F(DeviceLinkTest, NothingListeningIsMinus20AndClosesThePort) {
    ConnectRequest r = SerialRequest();
    EXPECT_EQ(link.ConnectDevice(&r), -20);
    EXPECT_TRUE(Logged("DeviceLogin: nothing is listening over the serial port"));
    EXPECT_FALSE(link.port.IsOpen());
    EXPECT_EQ(link.request.linkType, kLinkClosed);
}

TEST_F(DeviceLinkTest, KeepPortOpenSurvivesAFailedConnectAndSkipsTheNextOpen) {
    auto& device = Tr30();
    device.SetSilent(true);
    LinkOptions o{.keepPortOpen = 1};
    ASSERT_EQ(link.ConfigureLink(&o, true), 1);
    ConnectRequest r = SerialRequest();
    EXPECT_EQ(link.ConnectDevice(&r), -20);
    ASSERT_TRUE(link.port.IsOpen());
    const long handle = link.port.handle->Handle();
    device.SetSilent(false);
    EXPECT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(link.port.handle->Handle(), handle) << "the open port is used as it is";
    EXPECT_EQ(link.DisconnectDevice(false), 1);
    EXPECT_TRUE(link.port.IsOpen());
    EXPECT_EQ(link.request.linkType, kLinkSerial);
}

TEST_F(DeviceLinkTest, EchoingDeviceFailsTheSerialLoginWithMinus32) {
    Tr30().SetRelayEcho(true);
    ConnectRequest r = SerialRequest();
    EXPECT_EQ(link.ConnectDevice(&r), -32);
    EXPECT_TRUE(Logged("DeviceLogin failed with error -32"));
}

// --- baud rate -------------------------------------------------------------------------------

TEST_F(DeviceLinkTest, LoginSwitchesDeviceAndHostToTheRequestedRate) {
    auto& device = Tr30();
    ConnectRequest r = SerialRequest(6);
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(r.baudIndex, 6);
    EXPECT_EQ(link.port.baud, 115200u);
    EXPECT_EQ(bench.Line().DeviceBaud(), 115200u);
    EXPECT_TRUE(device.Heard("set -baud 4"));
    EXPECT_TRUE(Logged("at 115200 baud"));
    EXPECT_GT(link.DeviceCommand("get -sn\r", '>', 1000, nullptr, nullptr, nullptr), 0)
        << "both ends talk at the new rate";

    EXPECT_EQ(link.DisconnectDevice(false), 1);
    EXPECT_TRUE(device.Heard("set -baud 0"));
    EXPECT_EQ(bench.Line().DeviceBaud(), 9600u) << "the device is left at 9600";
}

TEST_F(DeviceLinkTest, DeviceThatKeepsItsRateLeavesTheLinkAt9600) {
    auto& device = Tr30();
    device.SetBaudChange(false);
    ConnectRequest r = SerialRequest(5);
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(r.baudIndex, 2);
    EXPECT_EQ(link.port.baud, 9600u);
    EXPECT_TRUE(Logged("DeviceLogin: device didn't change baud rate (error -34)"));
}

TEST_F(DeviceLinkTest, RateWithoutADeviceCodeIsNeverAskedFor) {
    auto& device = Tr30();
    ConnectRequest r = SerialRequest(1);  // 1200 baud: the devices have no code for it
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(r.baudIndex, 2);
    EXPECT_EQ(link.port.baud, 9600u);
    EXPECT_FALSE(device.Heard("set -baud 0"));
    EXPECT_GT(link.DeviceCommand("get -sn\r", '>', 1000, nullptr, nullptr, nullptr), 0);
}

TEST_F(DeviceLinkTest, SetBaudNeedsTheNewCommandSet) {
    auto& device = Tr30();
    OpenSerial();
    EXPECT_EQ(link.SetBaudCommand(19200), -1);
    EXPECT_TRUE(device.Lines().empty());
    EXPECT_TRUE(Logged("SetBaudCommand: device () can't change baud rate"));
}

TEST_F(DeviceLinkTest, SetBaudTo9600OnASilentDeviceSucceedsOtherRatesDoNot) {
    auto& device = Tr30();
    OpenSerial();
    link.settings.newCommandSet = 1;
    device.SetSilent(true);
    EXPECT_EQ(link.SetBaudCommand(9600), 1) << "the device already went back to 9600";
    EXPECT_EQ(device.Lines().size(), 3u) << "one exchange";
    device.ClearLines();
    const uint32_t start = TickMs();
    EXPECT_EQ(link.SetBaudCommand(19200), -21);
    EXPECT_EQ(device.Lines().size(), 9u) << "three exchanges of three attempts";
    EXPECT_GE(TickMs() - start, 3 * 3 * 1000u + 3 * 1000u);
    EXPECT_TRUE(Logged("SetBaudCommand failed with error -21"));
}

TEST_F(DeviceLinkTest, SetBaudJudgesTheAnswer) {
    struct Case {
        const char* answer;
        int32_t expected;
        size_t exchanges;
    };
    const Case cases[] = {
        {"\rOK\r>", 1, 1},
        {"\rhmm\r>", -30, 3},  // a prompt without OK: asked again
        {"\rbusyK", -30, 1},   // anything else: given up
    };
    for (const Case& c : cases) {
        std::string heard;
        LambdaDevice device(bench.Line(), [&heard, &c](korrsim::Link& line, uint8_t byte) {
            if (byte == '\r')
                line.Loop().After(kUsPerMs, [&line, &c] { line.DeviceSend(c.answer); });
            heard.push_back(static_cast<char>(byte));
        });
        OpenSerial();
        link.settings.newCommandSet = 1;
        EXPECT_EQ(link.SetBaudCommand(57600), c.expected) << c.answer;
        size_t lines = 0;
        for (size_t at = 0; (at = heard.find("set -baud 3\r", at)) != std::string::npos; ++at)
            ++lines;
        EXPECT_EQ(lines, c.exchanges) << c.answer;
        KSClose(link.port);
    }
    EXPECT_TRUE(Logged("SetBaudCommand failed (heard prompt): trying again"));
    EXPECT_TRUE(Logged("SetBaudCommand failed: heard: \rbusyK"));
}

TEST_F(DeviceLinkTest, DestroyingAConnectedLinkReturnsTheDeviceTo9600) {
    auto& device = Tr30();
    {
        MORVA_Protocol other(&log);
        ConnectRequest r = SerialRequest(8);
        ASSERT_EQ(other.ConnectDevice(&r), 1);
        ASSERT_EQ(bench.Line().DeviceBaud(), 460800u);
    }
    EXPECT_TRUE(device.Heard("set -baud 0"));
    EXPECT_EQ(bench.Line().DeviceBaud(), 9600u);
    EXPECT_FALSE(bench.Line().HostIsOpen());
}

}  // namespace
