// The simulated firmware itself, driven straight from the line: what other tests rely on.
#include <gtest/gtest.h>

#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "models/Logger.h"
#include "models/Qs7Firmware.h"
#include "models/RadioModem.h"

using korrsim::kUsPerMs;

namespace {

class SimFirmwareTest : public ::testing::Test {
  protected:
    SimFirmwareTest() { line.HostOpen(); }
    // Sends a line and returns everything the device answers within 200 ms of hearing it.
    std::string Say(const std::string& text) {
        line.HostWrite(reinterpret_cast<const uint8_t*>(text.data()), text.size());
        const korrsim::TimeUs wire = text.size() * korrsim::ByteTimeNs(9600) / 1000;
        loop.RunUntil(loop.Now() + wire + 200 * kUsPerMs);
        std::string heard(line.HostAvailable(), '\0');
        line.HostRead(reinterpret_cast<uint8_t*>(heard.data()), heard.size());
        return heard;
    }

    korrsim::EventLoop loop;
    korrsim::Link line{loop, 7};
};

TEST_F(SimFirmwareTest, SettingsStoreAnswersKnownKeysOnly) {
    korrsim::Logger logger(line, korrsim::kTr30Keys, "TR30 1.14");
    line.AttachDevice(&logger);
    EXPECT_EQ(Say("get -ver\r"), "\rTR30 1.14\r>");
    EXPECT_EQ(Say("get -sn\r"), "\rT30-004711\r>");
    EXPECT_EQ(Say("set -sn NEW 1\r"), "\rOK\r>");
    EXPECT_EQ(Say("get -sn\r"), "\rNEW 1\r>");
    EXPECT_EQ(Say("set -sn \r"), "\rOK\r>") << "an empty value is a value";
    EXPECT_EQ(Say("get -site\r"), "\rERROR\r>") << "1.14 has no site yet";
    EXPECT_EQ(Say("set -ver 9.99\r"), "\rERROR\r>");
    EXPECT_EQ(Say("frobnicate\r"), "\rERROR\r>");
    EXPECT_EQ(Say("\r"), "") << "an empty line gets no answer";
    EXPECT_EQ(Say("boot VLUX\r"), "\rKorrBSL MISSING\r>");

    korrsim::Logger newer(line, korrsim::kTr30Keys, "TR30 2.02");
    line.AttachDevice(&newer);
    EXPECT_EQ(Say("get -site\r"), "\rNorth Field\r>");
    EXPECT_EQ(Say("get -lat\r"), "\r+46.50000\r>");
    newer.SetModem(true);
    EXPECT_EQ(Say("get -trait\r"), "\r246\r>") << "radio and modem, stored as the complement";
    EXPECT_EQ(Say("get -apn\r"), "\rinternet.example\r>");
    newer.SetRadio(false);
    EXPECT_EQ(Say("get -rch\r"), "\rERROR\r>");
    EXPECT_EQ(Say("get -trait\r"), "\r247\r>");
    line.AttachDevice(nullptr);
}

TEST_F(SimFirmwareTest, InstrumentLoginAndBootHook) {
    korrsim::Qs7Firmware qs7(line);
    line.AttachDevice(&qs7);
    EXPECT_EQ(Say("login *1234\r"), "\rERROR\r>");
    EXPECT_EQ(Say("login *8173\n\r"), "\rOK\r>") << "a line feed before the return is noise";
    EXPECT_TRUE(qs7.LoggedIn());
    std::string word;
    size_t sentBeforeLeaving = 0;
    qs7.SetBootHook(
        [&word](const std::string& w) {
            word = w;
            return std::string("OK");
        },
        [this, &sentBeforeLeaving] { sentBeforeLeaving = line.Stats().bytesToHost; });
    const uint64_t before = line.Stats().bytesToHost;
    EXPECT_EQ(Say("boot VLUX\r"), "OK");
    EXPECT_EQ(word, "VLUX");
    EXPECT_EQ(sentBeforeLeaving, before + 2) << "the answer is on the line before the loader runs";
    line.AttachDevice(nullptr);
}

TEST_F(SimFirmwareTest, SwitchesForMisbehaviour) {
    korrsim::Logger logger(line, korrsim::kTr30Keys, "TR30 1.14");
    line.AttachDevice(&logger);
    logger.AnswerErrors(1);
    EXPECT_EQ(Say("get -ver\r"), "\rERROR\r>");
    EXPECT_EQ(Say("get -ver\r"), "\rTR30 1.14\r>");
    logger.SetSilent(true);
    EXPECT_EQ(Say("get -ver\r"), "");
    logger.SetSilent(false);

    logger.LoseConnection(1, 2);
    EXPECT_EQ(Say("get -ver\r"), "\rTR30 1.14\r>");
    EXPECT_EQ(Say("get -ver\r"), "");
    EXPECT_EQ(Say("get -ver\r"), "");
    EXPECT_EQ(Say("get -ver\r"), "\rTR30 1.14\r>") << "back after its restart";
    EXPECT_EQ(logger.Restarts(), 1);

    EXPECT_EQ(Say("set -baud 4\r"), "\rOK\r>") << "the answer still at the old rate";
    EXPECT_EQ(line.DeviceBaud(), 115200u);
    line.SetHostBaud(115200);
    EXPECT_EQ(Say("set -baud 9\r"), "\rERROR\r>") << "no such code";
    logger.RevertBaud();
    EXPECT_EQ(line.DeviceBaud(), 9600u);
    line.AttachDevice(nullptr);
}

TEST_F(SimFirmwareTest, RadioModemCommandModeAndTheAir) {
    korrsim::RadioModem modem(line);
    line.AttachDevice(&modem);
    korrsim::RadioLogger logger(modem, korrsim::kTr30Keys, "TR30 1.14");
    logger.WakeUp();
    EXPECT_EQ(Say("query\r"), "TR30LOG\r>");
    EXPECT_EQ(Say("get -ver\r"), "") << "not logged in";
    EXPECT_EQ(Say("login OTHER\r"), "") << "another device's name";
    EXPECT_EQ(Say("login TR30LOG\r"), "\rOK\r>");
    EXPECT_EQ(Say("get -ver\r"), "\rTR30 1.14\r>");

    EXPECT_EQ(Say("+++"), "OK\r");
    EXPECT_EQ(Say("ATHP\r"), "5\r");
    EXPECT_EQ(Say("ATDT\r"), "1A2B\r");
    EXPECT_EQ(Say("ATVR\r"), "1084\r");
    EXPECT_EQ(Say("ATHPQ\r"), "ERROR\r");
    EXPECT_EQ(Say("ATHP3\r"), "OK\r");
    EXPECT_EQ(Say("ATWR\r"), "OK\r");
    EXPECT_EQ(Say("ATCN\r"), "OK\r");
    EXPECT_EQ(Say("get -ver\r"), "") << "channel 3: out of reach";
    const std::vector<std::string> at = {"+++",   "ATHP",  "ATDT", "ATVR",
                                         "ATHPQ", "ATHP3", "ATWR", "ATCN"};
    EXPECT_EQ(modem.AtLines(), at);

    logger.Settings().Set("rch", "3");
    EXPECT_EQ(Say("logout\r"), "");
    EXPECT_TRUE(logger.Asleep());
    EXPECT_EQ(Say(std::string(299, '\r') + "query\r"), "") << "too short a wake sequence";
    EXPECT_EQ(Say(std::string(300, '\r') + "query\r"), "TR30LOG\r>");
    line.AttachDevice(nullptr);
}

}  // namespace
