// Starting the loader through the instrument's firmware and attaching to it, in virtual time.
#include <gtest/gtest.h>

#include "bsl/LoaderRig.h"
#include "support/LambdaDevice.h"

using namespace korr;
using korrsim::BslLoader;
using korrsim::Instrument;
using korrtest::LineTap;
using korrtest::LoaderRig;

namespace {

TEST(BSLConnect, RunningFirmwareIsBootedIntoItsLoader) {
    LoaderRig rig;
    LineTap tap(rig.sim.Line(), rig.sim.Target());
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), 12);
    EXPECT_TRUE(rig.host.connected);
    EXPECT_EQ(rig.host.loaderVersion, 12);
    EXPECT_EQ(rig.sim.Loader().CurrentState(), BslLoader::State::Connected);
    EXPECT_EQ(tap.bytes.substr(0, 10), "boot VLUX\r");
    EXPECT_TRUE(rig.Logged("KorrBSL: BSLInvocation successful (1 tries)"));
    EXPECT_TRUE(rig.Logged("KorrBSL: BSLConnect connected to device running KorrBSL version 12"));
}

TEST(BSLConnect, MissingLoaderGivesMinus112AfterOneAttempt) {
    LoaderRig rig;
    rig.sim.Boot()->SetLoaderMissing(true);
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), -112);
    EXPECT_EQ(rig.sim.Boot()->BootCommands(), 1u);
    EXPECT_FALSE(rig.host.connected);
    EXPECT_FALSE(rig.host.port.IsOpen());
    EXPECT_TRUE(rig.Logged("BSLCheck didn't get a response from the KorrBSL"));
    EXPECT_TRUE(rig.Logged("BSLConnect failed to connect to device (error -112)"));
}

TEST(BSLConnect, ActiveLoaderSkipsTheSynchronisationAndAsksAtOnce) {
    LoaderRig rig;
    rig.sim.Target().RunLoader(BslLoader::State::Connected);
    LineTap tap(rig.sim.Line(), rig.sim.Target());
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), 12);
    EXPECT_TRUE(rig.Logged("BSLInvocation found the KorrBSL already active"));
    EXPECT_FALSE(rig.Logged("BSLInvocation successful"));
    // The boot command answered '?', then straight to the version request: no wake, no 'P'.
    ASSERT_EQ(tap.Frames().size(), 2u);
    EXPECT_EQ(tap.Frames()[0], "boot VLUX");
    EXPECT_EQ(tap.Frames()[1], "g");
    EXPECT_EQ(tap.bytes.find('P'), std::string::npos);
}

TEST(BSLConnect, WaitingLoaderIsSynchronisedWithoutTheFirmware) {
    LoaderRig rig;
    rig.sim.Target().RunLoader(BslLoader::State::Waiting);
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), 12);
    EXPECT_EQ(rig.sim.Boot()->BootCommands(), 0u);
}

TEST(BSLConnect, FastLoaderGetsOnlyTheBootCommandAt9600) {
    LoaderRig rig("QE8");
    LineTap tap(rig.sim.Line(), rig.sim.Target());
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 57600, true, 3), 12);
    ASSERT_GT(tap.bytes.size(), 10u);
    for (size_t i = 0; i < tap.bytes.size(); ++i) {
        EXPECT_EQ(tap.bauds[i], i < 10 ? 9600u : 57600u) << "byte " << i;
    }
    EXPECT_EQ(rig.host.port.baud, 57600u);
}

TEST(BSLConnect, VersionIsReadBetweenPlusSigns) {
    LoaderRig rig("QS7", 7);
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, false, 3), 7);
    EXPECT_TRUE(rig.Logged("BSLConnect connected to device running KorrBSL version 7"));
}

TEST(BSLConnect, RefusedBootIsRepeated) {
    LoaderRig rig;
    rig.sim.Boot()->RefuseBoots(2);
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), 12);
    EXPECT_EQ(rig.sim.Boot()->BootCommands(), 3u);
}

TEST(BSLConnect, NoRetriesMeansConnectedWithNothingSent) {
    LoaderRig rig;
    rig.host.loaderVersion = 12;  // left from an earlier connection
    LineTap tap(rig.sim.Line(), rig.sim.Target());
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 0), 1);
    EXPECT_TRUE(rig.host.connected);
    EXPECT_EQ(rig.host.loaderVersion, 0);
    rig.sim.RunFor(100 * korrsim::kUsPerMs);
    EXPECT_EQ(tap.bytes, "");
    EXPECT_TRUE(rig.Logged("BSLConnect connected to device running KorrBSL version 0"));
}

TEST(BSLConnect, PortNameAndOpenFailures) {
    LoaderRig rig;
    EXPECT_EQ(rig.host.BSLConnect("", 9600, true, 3), -10);
    EXPECT_EQ(rig.host.BSLConnect(nullptr, 9600, true, 3), -10);
    EXPECT_FALSE(rig.sim.Line().HostIsOpen());
    EXPECT_EQ(rig.host.BSLConnect("nosuchport", 9600, true, 3), -ENOENT);
    EXPECT_FALSE(rig.host.connected);
    EXPECT_TRUE(rig.Logged("BSLConnect received error while opening serial port (-2)"));
}

TEST(BSLConnect, SilentInstrumentFailsAndReleasesThePort) {
    LoaderRig rig;
    rig.sim.Target().SetFirmware(nullptr);
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), -112);
    EXPECT_FALSE(rig.sim.Line().HostIsOpen());
    EXPECT_TRUE(rig.Logged("BSLInvocation failed with error -112"));
}

TEST(BSLConnect, LoaderAnsweringErrorToTheVersionRequestGivesMinus110) {
    LoaderRig rig;
    // A loader that takes the boot command as a frame it does not know ('?'), then answers the
    // version request with an error.
    std::string line;
    korrtest::LambdaDevice device(rig.sim.Line(), [&line](korrsim::Link& link, uint8_t byte) {
        if (byte != '\r') {
            line += static_cast<char>(byte);
            return;
        }
        link.DeviceSend(line.rfind("boot", 0) == 0 ? "?\r" : "+ERROR+\r");
        line.clear();
    });
    EXPECT_EQ(rig.host.BSLConnect(rig.sim.Port(), 9600, true, 3), -110);
}

TEST(BSLCheck, TellsAnActiveFromAWaitingLoader) {
    struct Case {
        BslLoader::State state;
        int32_t expected;
        const char* line;
    } cases[] = {
        {BslLoader::State::Connected, -80, "BSLCheck found the KorrBSL already active"},
        {BslLoader::State::Waiting, -81, "BSLCheck found the KorrBSL waiting for a connection"},
    };
    for (const Case& c : cases) {
        LoaderRig rig;
        rig.sim.Target().RunLoader(c.state);
        EXPECT_EQ(rig.host.BSLCheck(rig.sim.Port(), 9600), c.expected);
        EXPECT_TRUE(rig.Logged(c.line));
        EXPECT_TRUE(rig.host.connected) << "the port stays open for BSLConnect";
        EXPECT_EQ(rig.host.BSLDisconnect(), 1);
        EXPECT_EQ(rig.host.BSLDisconnect(), 0);
    }
}

}  // namespace
