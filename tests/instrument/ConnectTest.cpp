// Connecting to an instrument: what KDConnect reports for each kind of device that answers, and
// the access-code login that only some types get.
#include <gtest/gtest.h>

#include <filesystem>

#include "instrument/InstrumentFixture.h"
#include "support/LambdaDevice.h"

using namespace korr;

namespace {

class ConnectTest : public korrtest::InstrumentFixture {};

TEST_F(ConnectTest, MissingArgumentsTouchNothing) {
    MakeInstrument("QS7");
    EXPECT_EQ(kp->KDConnect("", 2, 3, &info), -10);
    EXPECT_EQ(kp->KDConnect(nullptr, 2, 3, &info), -10);
    EXPECT_EQ(kp->KDConnect(bench.Port(), 2, 3, nullptr), -10);
    EXPECT_EQ(kp->link->request.linkType, kLinkClosed);
    EXPECT_TRUE(firmware->Lines().empty());
    EXPECT_FALSE(std::filesystem::exists(logPath));
}

// After an interrupted update the loader answers instead of the firmware: the identity of the
// last good connection stays, and so does the caller's record.
TEST_F(ConnectTest, LoaderAnsweringLeavesTheIdentityAlone) {
    MakeInstrument("QS7");
    ASSERT_GT(Connect(), 0);
    kp->KDDisconnect(false);
    const DeviceInfo before = kp->deviceInfo;

    instrument->RunLoader(korrsim::BslLoader::State::Waiting);
    DeviceInfo untouched;
    untouched.version = 4242;
    EXPECT_EQ(kp->KDConnect(bench.Port(), 2, 3, &untouched), -81);
    kp->KDDisconnect(false);

    instrument.reset();
    korrtest::LambdaDevice banner(bench.Line(), korrtest::AnswerEachLine("+12+\r"));
    EXPECT_EQ(kp->KDConnect(bench.Port(), 2, 3, &untouched), -80);
    kp->KDDisconnect(false);

    EXPECT_EQ(untouched.version, 4242);
    EXPECT_EQ(untouched.type, 0);
    EXPECT_EQ(kp->deviceType, 12);
    EXPECT_EQ(kp->deviceInfo.type, before.type);
    EXPECT_EQ(kp->deviceInfo.version, 355);
    EXPECT_STREQ(kp->deviceInfo.versionText, before.versionText);
    EXPECT_STREQ(kp->loggerSettings.versionText, "QS7 3.55");
    EXPECT_TRUE(Logged("KDConnect found the KorrBSL listening (-81)"));
    EXPECT_TRUE(Logged("KDConnect found the KorrBSL listening (-80)"));
}

TEST_F(ConnectTest, UnknownVersionTextIsNotSupported) {
    MakeInstrument("TM").SetVersionReply("XQ9 1.00");
    EXPECT_EQ(Connect(), -120);
    EXPECT_TRUE(Logged("KDConnect this device must not be supported"));
    EXPECT_EQ(kp->deviceType, 0);
}

TEST_F(ConnectTest, TooOldFirmwareFillsTheDeviceInfo) {
    MakeInstrument("QS7", "3.40");
    EXPECT_EQ(Connect(), -120);
    EXPECT_TRUE(Logged("KDConnect this firmware version is not supported"));
    EXPECT_EQ(info.type, 12);
    EXPECT_EQ(info.version, 340);
    EXPECT_EQ(kp->deviceType, 0);  // only a connection that succeeds sets the device
}

TEST_F(ConnectTest, SuccessCopiesTheIdentity) {
    MakeInstrument("CZ40", "2.05");
    EXPECT_GT(Connect(), 0);
    EXPECT_EQ(kp->deviceType, 8);
    EXPECT_EQ(kp->deviceInfo.version, 205);
    EXPECT_STREQ(kp->loggerSettings.versionText, "CZ40 2.05");
    EXPECT_EQ(kp->loggerSettings.version, 205);
    EXPECT_TRUE(Logged("KDConnect successfully connected to device"));
}

TEST_F(ConnectTest, NoLoginNorLogoutWithoutTheAccessCodeMark) {
    MakeInstrument("TM");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDDisconnect(true), 1);
    EXPECT_TRUE(Heard("login").empty());
    EXPECT_TRUE(Heard("logout").empty());
}

TEST_F(ConnectTest, AccessCodeIsTypedOneKeyAtATime) {
    MakeInstrument("QE8");
    korrtest::ByteRecorder recorder(bench.Loop(), *instrument);
    bench.Line().AttachDevice(&recorder);
    ASSERT_GT(Connect(), 0);
    EXPECT_TRUE(firmware->LoggedIn());
    EXPECT_EQ(Heard("login"), std::vector<std::string>{"login *8173"});

    // The 11 characters of "login *8173", each 50 ms (and its wire time) after the one before.
    std::string typed;
    std::vector<korrsim::TimeUs> at;
    for (const auto& a : recorder.bytes) {
        if (typed.size() == 11) break;
        if (typed.empty() && a.byte != 'l') continue;
        typed.push_back(static_cast<char>(a.byte));
        at.push_back(a.at);
    }
    ASSERT_EQ(typed, "login *8173");
    for (size_t i = 1; i < at.size(); ++i) {
        const korrsim::TimeUs gap = at[i] - at[i - 1];
        EXPECT_GE(gap, 50 * korrsim::kUsPerMs) << i;
        EXPECT_LT(gap, 52 * korrsim::kUsPerMs) << i;
    }
    EXPECT_EQ(kp->KDDisconnect(true), 1);
    EXPECT_EQ(Heard("logout").size(), 1u);
    EXPECT_FALSE(firmware->LoggedIn());
    bench.Line().AttachDevice(instrument.get());
}

TEST_F(ConnectTest, RefusedAccessCodeIsALoginFailure) {
    MakeInstrument("HYP9");
    firmware->AddCommand("login",
                         [](const std::string&) { return korrsim::Reply::Text("Denied"); });
    EXPECT_EQ(Connect(), -25);
    EXPECT_EQ(Heard("login").size(), 3u);
    EXPECT_TRUE(Logged("KDConnect couldn't log into the device"));
}

TEST_F(ConnectTest, DisconnectWithoutLogoutBeforeTheLoader) {
    MakeInstrument("QS7");
    ASSERT_GT(Connect(), 0);
    EXPECT_EQ(kp->KDDisconnect(false), 1);
    EXPECT_TRUE(Heard("logout").empty());
    EXPECT_TRUE(firmware->LoggedIn());
}

}  // namespace
