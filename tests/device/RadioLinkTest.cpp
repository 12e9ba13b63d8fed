// The device link through a radio modem to a sleeping logger, in virtual time: the wake
// sequence of about 50 seconds costs no real time.
#include <gtest/gtest.h>

#include <algorithm>

#include "device/LinkFixture.h"
#include "models/RadioModem.h"
#include "support/LambdaDevice.h"

using namespace korr;
using korrsim::kUsPerMs;
using korrtest::LambdaDevice;

namespace {

constexpr const char* kWakeTrace = "\r<Sending Query Mode wake sequence...>\r";

class RadioLinkTest : public korrtest::LinkFixture {
  protected:
    RadioLinkTest()
        : modem(Attach<korrsim::RadioModem>()),
          logger(Keep(
              std::make_unique<korrsim::RadioLogger>(modem, korrsim::kTr30Keys, "TR30 1.14"))) {
        link.traceHook = [this](const char* text) { sent.emplace_back(text); };
        LinkOptions o{.traceLevel = 2};
        link.ConfigureLink(&o, true);
    }
    // The distinct steps of what the host sent: runs of one command count once.
    std::vector<std::string> Steps() const {
        std::vector<std::string> steps;
        for (const std::string& s : sent) {
            if (steps.empty() || steps.back() != s) steps.push_back(s);
        }
        return steps;
    }

    korrsim::RadioModem& modem;
    korrsim::RadioLogger& logger;
    std::vector<std::string> sent;
};

TEST_F(RadioLinkTest, EmptyNameQueriesWakesQueriesAndLogsIn) {
    ConnectRequest r = RadioRequest("");
    const uint32_t start = TickMs();
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    const std::vector<std::string> expected = {"\rquery\r", kWakeTrace, "\rquery\r",
                                               "login TR30LOG\r"};
    EXPECT_EQ(Steps(), expected);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "\rquery\r"), 6) << "five tries, then one";
    EXPECT_STREQ(r.deviceName, "TR30LOG") << "the name found goes back to the caller";
    EXPECT_STREQ(link.settings.deviceName, "TR30LOG");
    EXPECT_EQ(r.baudIndex, 2);
    EXPECT_TRUE(logger.LoggedIn());
    EXPECT_EQ(logger.Wakes(), 1);
    EXPECT_GE(TickMs() - start, 909u * 55u) << "the wake sequence takes its 50 seconds";
    EXPECT_TRUE(Logged("QueryCommand heard from: TR30LOG"));
    EXPECT_TRUE(Logged("SendWake sent 909 packets"));

    EXPECT_EQ(link.DisconnectDevice(false), 1);
    EXPECT_TRUE(logger.Asleep()) << "logged out, it went back to sleep";
    EXPECT_TRUE(Logged("DisconnectDevice successful"));
}

TEST_F(RadioLinkTest, GivenNameLogsInWakesAndLogsIn) {
    ConnectRequest r = RadioRequest("TR30LOG");
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    const std::vector<std::string> expected = {"login TR30LOG\r", kWakeTrace, "login TR30LOG\r"};
    EXPECT_EQ(Steps(), expected);
    EXPECT_TRUE(logger.LoggedIn());
}

TEST_F(RadioLinkTest, AwakeDeviceNeedsNoWake) {
    logger.WakeUp();
    ConnectRequest r = RadioRequest("");
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    const std::vector<std::string> expected = {"\rquery\r", "login TR30LOG\r"};
    EXPECT_EQ(Steps(), expected);
}

TEST_F(RadioLinkTest, NobodyInReachIsMinus20AfterOneWake) {
    logger.Settings().Set("rch", "3");  // tuned elsewhere: the modem hears nothing
    struct Case {
        const char* name;
        const char* step;
    };
    for (const Case& c : {Case{"", "\rquery\r"}, Case{"TR30LOG", "login TR30LOG\r"}}) {
        sent.clear();
        ConnectRequest r = RadioRequest(c.name);
        EXPECT_EQ(link.ConnectDevice(&r), -20) << c.name;
        const std::vector<std::string> expected = {c.step, kWakeTrace, c.step};
        EXPECT_EQ(Steps(), expected) << c.name;
        EXPECT_FALSE(link.port.IsOpen());
    }
    EXPECT_TRUE(Logged("DeviceLogin: nothing is listening over the radio"));
    EXPECT_TRUE(Logged("QueryCommand didn't get any answers after 5 tries"));
}

TEST_F(RadioLinkTest, RelayOnTheLineIsMinus33ForALogin) {
    bench.Line().SetEcho(true);
    ConnectRequest r = RadioRequest("TR30LOG");
    EXPECT_EQ(link.ConnectDevice(&r), -33);
    EXPECT_TRUE(Logged("DeviceLogin thinks a relay must be active"));
    EXPECT_EQ(logger.Wakes(), 0) << "an echo is never worth a wake sequence";
}

TEST_F(RadioLinkTest, RelayHidesFromTheQueryButNoNameIsHeard) {
    // The query waits for a carriage return, and the echo of its first byte is one: the relay
    // is heard as an empty answer, never as "query". No name, no login.
    bench.Line().SetEcho(true);
    ConnectRequest r = RadioRequest("");
    EXPECT_EQ(link.ConnectDevice(&r), -20);
    EXPECT_STREQ(r.deviceName, "");
    EXPECT_FALSE(logger.LoggedIn());
}

TEST_F(RadioLinkTest, DeviceThatStaysLoggedInIsReportedAfterEveryRound) {
    logger.SetIgnoreLogout(true);
    logger.SetReplyDelay(10 * kUsPerMs);
    logger.WakeUp();
    ConnectRequest r = RadioRequest("TR30LOG");
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(link.DisconnectDevice(false), -22);
    EXPECT_TRUE(Logged("DisconnectDevice: Device didn't disconnect, retrying"));
    EXPECT_FALSE(link.port.IsOpen());
}

TEST_F(RadioLinkTest, RadioThatCannotBeSetUpFailsTheConnectWithMinus23) {
    modem.SetSilent(true);
    ConnectRequest r = RadioRequest("TR30LOG");
    r.configureRadioFirst = 1;
    r.radioChannel = 3;
    EXPECT_EQ(link.ConnectDevice(&r), -23);
    EXPECT_FALSE(link.port.IsOpen());
    EXPECT_FALSE(logger.LoggedIn());
}

TEST_F(RadioLinkTest, RadioIsTunedToTheDeviceBeforeTheLogin) {
    logger.Settings().Set("rch", "3");
    logger.Settings().Set("rsch", "BEEF");
    ConnectRequest r = RadioRequest("TR30LOG");
    r.configureRadioFirst = 1;
    r.radioChannel = 3;
    r.radioSubchannel = 0xBEEF;
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    EXPECT_EQ(modem.Channel(), 3);
    EXPECT_EQ(modem.Subchannel(), 0xBEEF);
    EXPECT_TRUE(modem.Saved());
    EXPECT_FALSE(modem.InCommandMode());
    EXPECT_EQ(link.tries, 5u) << "back to the radio tries after the set-up";
}

TEST_F(RadioLinkTest, QueryModes) {
    logger.WakeUp();
    ConnectRequest r = RadioRequest("TR30LOG");
    ASSERT_EQ(link.ConnectDevice(&r), 1);
    char buffer[32];
    EXPECT_EQ(link.QueryCommand(buffer, 0), -10);
    EXPECT_EQ(link.QueryCommand(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "TR30LOG\r>") << "a plain query keeps the whole answer";
    char name[kDeviceNameCapacity];
    int calls = 0;
    link.options.progressHookOn = 1;
    link.progressHook = [&calls](uint32_t total, uint32_t done, int phase) {
        EXPECT_EQ(total, 5u);
        EXPECT_EQ(phase, 4);
        return done < 2 && ++calls > 0;
    };
    logger.SetSilent(true);
    EXPECT_EQ(link.QueryCommand(name, 1), -40);
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(Logged("QueryCommand canceled by user"));
    EXPECT_EQ(link.tries, 5u) << "the link's tries are restored";
}

// --- wake and login on a plain line ----------------------------------------------------------

class WakeTest : public korrtest::LinkFixture {
  protected:
    LambdaDevice& device = Attach<LambdaDevice>(nullptr);
};

TEST_F(WakeTest, SendsItsPacketsPacedAndReportsEvery18th) {
    OpenSerial();
    std::vector<uint32_t> reported;
    int finished = 0;
    link.options.progressHookOn = 1;
    link.progressHook = [&](uint32_t total, uint32_t done, int phase) {
        EXPECT_EQ(total, 909u);
        if (phase == 1) reported.push_back(done);
        if (phase == 2) ++finished;
        return true;
    };
    const uint32_t start = TickMs();
    EXPECT_EQ(link.SendWake(), 1);
    EXPECT_EQ(TickMs() - start, 909u * 55u);
    SleepMs(5);
    EXPECT_EQ(device.received, std::string(909, '\r'));
    ASSERT_EQ(reported.size(), 51u);
    EXPECT_EQ(reported.front(), 0u);
    EXPECT_EQ(reported.back(), 900u);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(Logged("PIG status"));
}

TEST_F(WakeTest, CancelStopsAtOnce) {
    OpenSerial();
    link.options.progressHookOn = 1;
    link.progressHook = [](uint32_t, uint32_t done, int) { return done < 18; };
    EXPECT_EQ(link.SendWake(), -40);
    SleepMs(5);
    EXPECT_EQ(device.received.size(), 19u);
    EXPECT_TRUE(Logged("SendWake canceled by user after sending 19 of 909 packets"));
}

TEST_F(WakeTest, SlowHookStopsThePacing) {
    OpenSerial();
    link.options.progressHookOn = 1;
    link.progressHook = [](uint32_t, uint32_t, int) {
        SleepMs(60);
        return true;
    };
    const uint32_t start = TickMs();
    EXPECT_EQ(link.SendWake(), 1);
    EXPECT_LT(TickMs() - start, 909u * 55u / 10) << "only the hook's own time is spent";
    EXPECT_TRUE(Logged("SendWake executing too slow to send status (PIG status)!"));
}

TEST_F(WakeTest, LoginCommandForms) {
    OpenSerial();
    EXPECT_EQ(link.LoginCommand("NINECHARS"), -54);
    EXPECT_TRUE(device.received.empty());
    EXPECT_TRUE(Logged("LoginCommand: Device name NINECHARS is wrong length (9 characters)"));

    bench.Line().AttachDevice(nullptr);
    LambdaDevice answering(bench.Line(), korrtest::AnswerEachLine("\rOK\r>"));
    EXPECT_EQ(link.LoginCommand(""), 1);
    EXPECT_EQ(answering.received, "login\r");
    EXPECT_EQ(link.LoginCommand(nullptr), 1);
    bench.Line().AttachDevice(nullptr);
    LambdaDevice noPrompt(bench.Line(), korrtest::AnswerEachLine("\rwho?"));
    EXPECT_EQ(link.LoginCommand("A"), -34) << "a question mark is a rejection";
    bench.Line().AttachDevice(nullptr);
    LambdaDevice mumbling(bench.Line(), korrtest::AnswerEachLine("\rhello"));
    EXPECT_EQ(link.LoginCommand("A"), -30) << "no prompt, no login";
}

}  // namespace
