// Reading and writing single instrument settings: the reply rules of the two queries, the
// calibration list, the per-type request words and the restore order.
#include <gtest/gtest.h>

#include <algorithm>

#include "instrument/DeviceHandling.h"
#include "instrument/InstrumentFixture.h"
#include "support/LambdaDevice.h"

using namespace korr;

namespace {

class SettingsTest : public korrtest::InstrumentFixture {
  protected:
    // The port open as after a connect, to a device that answers every line the same.
    korrtest::LambdaDevice& Answering(const std::string& answer) {
        answering.reset();  // detaches the old one from the line first
        answering = std::make_unique<korrtest::LambdaDevice>(bench.Line(),
                                                             korrtest::AnswerEachLine(answer));
        EXPECT_EQ(KSOpen(kp->link->port, bench.Port(), 9600), 1);
        kp->link->request.linkType = kLinkSerial;
        return *answering;
    }
    size_t LinesHeard() const {
        return static_cast<size_t>(
            std::count(answering->received.begin(), answering->received.end(), '\r'));
    }
    size_t Count(const std::string& what) const {
        const std::string text = Log();
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }

    std::unique_ptr<korrtest::LambdaDevice> answering;
};

TEST_F(SettingsTest, TextValueFollowsTheStartOfTheReply) {
    struct Case {
        const char* reply;
        int32_t result;
        const char* value;
        size_t lines;
    };
    const Case cases[] = {
        {"\rGreenhouse 3, bench B\r>", 1, "Greenhouse 3, bench B", 1},
        {"\r\nQE8-51234\r>", 1, "QE8-51234", 1},
        {"plain\r>", 1, "plain", 1},
        {"\r0123456789ABCDEFGHIJKLMNOPQ\r>", 1, "0123456789ABCDEFGHIJKLM", 1},  // cut to fit
        {"\rError\r>", -30, "", 3},
        {"\r>", -30, "", 3},    // only the prompt
        {"\r\r>", -31, "", 3},  // the bare prompt: the link's empty answer
    };
    for (const Case& c : cases) {
        Answering(c.reply);
        char value[24] = "stale";
        EXPECT_EQ(kp->GetValueString("get -sn", 1000, value, sizeof value), c.result) << c.reply;
        EXPECT_STREQ(value, c.value) << c.reply;
        EXPECT_EQ(LinesHeard(), c.lines) << c.reply;
        kp->link->DisconnectDevice(true);
    }
    EXPECT_EQ(
        Count("GetValueString found a leading prompt character executing command \"get -sn\""), 3u);
}

TEST_F(SettingsTest, NumberFollowsTheFirstLineEnd) {
    struct Case {
        const char* reply;
        int32_t result;
        int32_t value;
    };
    const Case cases[] = {
        {"\r42\r>", 1, 42},    {"\r\n-7\r>", 1, -7},
        {"42\r>", -30, 99},  // digits before the first line end are not the value
        {"\rabc\r>", -30, 99}, {"\r99999999999\r>", -30, 99},  // does not fit the setting
    };
    for (const Case& c : cases) {
        Answering(c.reply);
        int32_t value = 99;
        EXPECT_EQ(kp->GetValueLong("get -lang", 1000, &value), c.result) << c.reply;
        EXPECT_EQ(value, c.value) << c.reply;
        kp->link->DisconnectDevice(true);
    }
}

TEST_F(SettingsTest, CalibrationListEndsAtTheFirstMissingIndex) {
    auto& hv = MakeInstrument("HV");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->GetInstInfo(kInstCal), 1);
    std::vector<std::string> asked = Heard("get -cal");
    asked.erase(std::unique(asked.begin(), asked.end()), asked.end());
    EXPECT_EQ(asked,
              (std::vector<std::string>{"get -cal 0", "get -cal 1", "get -cal 2", "get -cal 3"}));
    EXPECT_STREQ(kp->instrument.cal[2], "2: +0.004, 0.9987 (2024-02-17)");
    EXPECT_STREQ(kp->instrument.cal[3], "");
    EXPECT_TRUE(kp->instrumentFlags & kInstCal);

    hv.Cal().clear();
    kp->instrumentFlags = 0;
    EXPECT_EQ(kp->GetInstInfo(kInstCal), -30);  // the list was the only step
    EXPECT_STREQ(kp->instrument.cal[0], "");
    EXPECT_EQ(kp->instrumentFlags, 0u);
    EXPECT_EQ(kp->GetInstInfo(kInstCal | kInstHVUnits), -30);   // the list is the last step
    EXPECT_EQ(kp->GetInstInfo(kInstCal | kInstLocation), -35);  // location comes after it
    EXPECT_EQ(kp->instrumentFlags, kInstHVUnits);
}

TEST_F(SettingsTest, CZ40CollectsMoreFromVersion200) {
    for (const char* version : {"1.99", "2.00"}) {
        MakeInstrument("CZ40", version);
        kp = std::make_unique<Korr_protocol>(&log);
        ASSERT_GT(Connect(), 0);
        EXPECT_EQ(kp->GetInstInfo(RequestWordOf(kp->deviceType, kp->deviceInfo.version)), 1);
        EXPECT_EQ(Heard("get -").size(), std::string(version) == "1.99" ? 5u : 8u) << version;
        EXPECT_STREQ(kp->instrument.location, "Greenhouse 3, bench B (north end)");
        kp->KDDisconnect(false);
    }
}

TEST_F(SettingsTest, SetWithoutSetCommandsSendsNothing) {
    MakeInstrument("TM");
    ASSERT_GT(Connect(), 0);
    firmware->ClearLines();
    EXPECT_EQ(kp->SetInstInfo(kInstInt | kInstBuild), 1);
    EXPECT_EQ(kp->SetInstInfo(0), 0);
    EXPECT_TRUE(firmware->Lines().empty());
    EXPECT_TRUE(Logged("SetInstInfo should be called with non-zero flags"));
}

TEST_F(SettingsTest, SerialNumberGoesFirstAndItsRefusalIsReported) {
    MakeInstrument("SZ");
    ASSERT_GT(Connect(), 0);
    ASSERT_EQ(kp->GetInstInfo(0xB2), 1);
    firmware->ClearLines();
    EXPECT_EQ(kp->SetInstInfo(kp->instrumentFlags), 1);
    ASSERT_EQ(firmware->Lines().size(), 4u);
    EXPECT_EQ(firmware->Lines()[0], "set -sn SZ-20931");
    EXPECT_TRUE(Logged("SetInstInfo set device serial number to \"SZ-20931\""));
    EXPECT_TRUE(Logged("SetInstInfo set device units to \"2\""));

    firmware->SetSetFault("sn", korrsim::SettingFault::RefusedLoud);
    EXPECT_EQ(kp->SetInstInfo(kInstSerialNumber), -12);
    EXPECT_EQ(kp->SetInstInfo(kInstSerialNumber | kInstContrast), -35);
    EXPECT_EQ(firmware->Settings().Get("contr"), "5");
}

// Silence and an echoing relay end the collection at once; what was collected stays.
TEST_F(SettingsTest, SilenceAndEchoEndTheCollection) {
    MakeInstrument("SORB");
    ASSERT_GT(Connect(), 0);
    firmware->LoseConnection(2, 100);  // answers the serial number and adccal, then nothing
    EXPECT_EQ(kp->GetInstInfo(0x80027402), -21);
    EXPECT_EQ(kp->instrumentFlags, kInstSerialNumber | kInstAdccal);
    EXPECT_EQ(Heard("get -wtfactory").size(), 0u) << "nothing after the silent setting";

    MakeInstrument("SORB");
    kp = std::make_unique<Korr_protocol>(&log);
    ASSERT_GT(Connect(), 0);
    firmware->SetRelayEcho(true);
    EXPECT_EQ(kp->GetInstInfo(0x80027402), -32);
    EXPECT_EQ(kp->instrumentFlags, 0u);
    EXPECT_EQ(kp->SetInstInfo(kInstSerialNumber | kInstSys), -32);
    bench.Line().SetEcho(false);
}

TEST_F(SettingsTest, RefusedSettingsAreSkipped) {
    MakeInstrument("QMINI");
    ASSERT_GT(Connect(), 0);
    firmware->SetGetFault("fvals", korrsim::SettingFault::Refused);
    firmware->SetGetFault("uvals", korrsim::SettingFault::EmptyAnswer);
    EXPECT_EQ(kp->GetInstInfo(0x4000007A), -35);
    EXPECT_EQ(kp->instrumentFlags,
              kInstSerialNumber | kInstLanguage | kInstContrast | kInstHadjTau);
    EXPECT_EQ(kp->instrument.tau, 45);
    EXPECT_STREQ(kp->instrument.hadj, "1.023, -0.004 (rev B)");
}

// hadj alone is not kept: the restore writes tau and hadj together.
TEST_F(SettingsTest, HadjWithoutTauIsNotCollected) {
    MakeInstrument("QMINI");
    ASSERT_GT(Connect(), 0);
    firmware->SetGetFault("tau", korrsim::SettingFault::Refused);
    EXPECT_EQ(kp->GetInstInfo(kInstHadjTau), -30);
    EXPECT_EQ(kp->instrumentFlags & kInstHadjTau, 0u);
    firmware->SetGetFault("hadj", korrsim::SettingFault::Refused);  // no hadj at all
    EXPECT_EQ(kp->GetInstInfo(kInstHadjTau), 1);
}

}  // namespace
