// The SDI-12 exchange against a simulated communication device and sensor, in virtual time:
// the wake byte, the bus probe after a silent attempt, and the copy of the reply.
#include <gtest/gtest.h>

#include <string>

#include "sdi/SdiFixture.h"

namespace {

using korrtest::SdiFixture;

class SdiTransport : public SdiFixture {};

TEST_F(SdiTransport, AnsweredCommandCostsOneWakeByte) {
    std::string reply;
    const int32_t r = Send("?I!", &reply);
    EXPECT_EQ(r, static_cast<int32_t>(reply.size()));
    EXPECT_EQ(reply.rfind("013KORRIN  MV-XE 123SN004711\r", 0), 0u) << reply;
    EXPECT_EQ(commDevice.BusTraffic(), "|?I!");
    EXPECT_GE(elapsedMs, 175u);
    EXPECT_LT(elapsedMs, 700u);
    EXPECT_TRUE(Logged("KorrSDI12: SDISendCommand sent \"?I!\""));
    EXPECT_TRUE(Logged("KorrSDI12: SDISendCommand recieved \"013KORRIN"));
}

// A sensor that answers only the address query: every attempt is silent while the bus is
// alive, and the attempts alternate between with and without the wake byte.
TEST_F(SdiTransport, SilentSensorOnALiveBusGivesUpAfterFiveAttempts) {
    sensor.SetMute(true);
    std::string reply = "stale";
    EXPECT_EQ(Send("?I!", &reply), -22);
    EXPECT_EQ(reply, "");
    EXPECT_EQ(commDevice.BusTraffic(),
              "|?I!|||?!"
              "?I!|||?!"
              "|?I!|||?!"
              "?I!|||?!"
              "|?I!|||?!");
    // Five time-outs of 2 s, three wake pauses and the probes: seconds of line time.
    EXPECT_GT(elapsedMs, 10500u);
    EXPECT_LT(elapsedMs, 14000u);
}

TEST_F(SdiTransport, SilentBusGivesUpAtOnce) {
    commDevice.AttachSensor(nullptr);
    EXPECT_EQ(Send("?I!"), -21);
    EXPECT_EQ(commDevice.BusTraffic(), "|?I!|||?!");
    EXPECT_LT(elapsedMs, 3500u);  // one time-out and one probe, no further attempts
}

// A sensor that wakes too slowly for the first command: the probe hears its late answer, and
// the second attempt, without the wake byte, finds it awake.
TEST_F(SdiTransport, SlowSensorAnswersTheSecondAttempt) {
    sensor.SetWakeTime(2500 * korrsim::kUsPerMs);
    std::string reply;
    EXPECT_GT(Send("?I!", &reply), 0);
    EXPECT_EQ(reply.rfind("013KORRIN", 0), 0u) << reply;
    EXPECT_EQ(commDevice.BusTraffic(), "|?I!|||?!?I!");
}

// One attempt only (an operation may lower the tries): a silent sensor is still a failure.
TEST_F(SdiTransport, SingleSilentAttemptIsNoSuccess) {
    sensor.SetMute(true);
    sdi.tries = 1;
    EXPECT_EQ(Send("?I!"), -22);
}

// "0 " and the calibration text and CR make the reply; the LF stays on the line.
TEST_F(SdiTransport, ReplyOfTheWholeReadIsStoredWhole) {
    sensor.SetCalibration(0, std::string(125, 'c'));
    std::string reply;
    EXPECT_EQ(Send("?X4!", &reply), 128);
    EXPECT_EQ(reply, "0 " + std::string(125, 'c') + "\r");
    EXPECT_EQ(sdi.replyBuffer[128], '\0');
    EXPECT_FALSE(Logged("more bytes than expected"));
}

TEST_F(SdiTransport, SmallCallerBufferKeepsWhatFitsAndSaysSo) {
    sensor.SetCalibration(0, std::string(17, 'c'));
    std::string reply;
    EXPECT_EQ(Send("?X4!", &reply, 10), 20);
    EXPECT_EQ(reply, "0 ccccccc");
    EXPECT_TRUE(Logged("KorrSDI12: DeviceCommand got 11 more bytes than expected (?X4!)"));
}

TEST_F(SdiTransport, PortErrorEndsTheExchange) {
    bench.Line().Unplug();
    EXPECT_EQ(Send("?I!"), -21);
    EXPECT_TRUE(Logged("SDISendCommand got unexpected response (-21) from KCommWrite"));
    EXPECT_EQ(elapsedMs, 0u);
}

}  // namespace
