// korrbsl identify as a user runs it, against simulated firmware on a pseudo-terminal.
#include <gtest/gtest.h>

#include "models/Logger.h"
#include "models/Qs7Firmware.h"
#include "support/OutputText.h"
#include "support/PtyDeviceServer.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

std::string Identify(korrtest::PtyDeviceServer& server, korrtest::SpawnResult* result,
                     const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args{"identify", "--port", server.Path()};
    args.insert(args.end(), extra.begin(), extra.end());
    korrtest::TempDir data;
    server.Start();
    *result =
        korrtest::SpawnCombined(KORRBSL_PATH, args, {"XDG_DATA_HOME=" + data.Path().string()});
    server.Stop();
    return result->out;
}

using korrtest::Has;

TEST(IdentifyCli, TellsWhatTheInstrumentIsAndHowItUpdates) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    server.Attach<korrsim::Qs7Firmware>();
    korrtest::TempDir dir;
    const std::string log = dir.File("identify.log");
    korrtest::SpawnResult r;
    const std::string out = Identify(server, &r, {"-v", "--log", log});
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_TRUE(Has(out, "port:               " + server.Path() + "\n")) << out;
    EXPECT_FALSE(Has(out, "device class:")) << "an instrument has no class: " << out;
    EXPECT_TRUE(Has(out, "version:            \"QS7 3.60\" (360)\n")) << out;
    EXPECT_TRUE(Has(out, "capabilities:       0x00001005\n")) << out;
    EXPECT_TRUE(Has(out, "device type:        12 QS7 \"Quorra Series 7\"\n")) << out;
    EXPECT_TRUE(Has(out, "updatable:          yes\n")) << out;
    EXPECT_TRUE(Has(out, "restart delay:      2000 ms\n")) << out;
    EXPECT_TRUE(Has(out, "access code login:  yes\n")) << out;
    EXPECT_TRUE(Has(out, "flash:              0x1100-0xF9FF\n")) << out;
    EXPECT_TRUE(Has(out, "loader baud:        9600\n")) << out;
    EXPECT_TRUE(Has(korrtest::ReadFile(log), "VerCommand found \"QS7 3.60\" ver 360"));
}

TEST(IdentifyCli, OldLoggerAndNobodyThere) {
    {
        // -13 is also EACCES: a device too old must not read as a port without permission.
        korrtest::PtyDeviceServer server;
        ASSERT_TRUE(server.Ok());
        server.Attach<korrsim::OldLogger>("1.05");
        korrtest::SpawnResult r;
        const std::string out = Identify(server, &r);
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_EQ(out.rfind("error -13: the device's firmware is too old for this updater\n", 0),
                  0u)
            << out;
    }
    {
        korrtest::PtyDeviceServer server;
        ASSERT_TRUE(server.Ok());
        server.Attach<korrsim::OldLogger>("1.20");
        korrtest::SpawnResult r;
        const std::string out = Identify(server, &r);
        EXPECT_EQ(r.status, 0) << out;
        EXPECT_TRUE(Has(out, "device class:       2 Tr3\n")) << out;
        EXPECT_TRUE(Has(out, "command set:        old (\"show\" report)\n")) << out;
        EXPECT_TRUE(Has(out, "device name:        OLDTR3\n")) << out;
        EXPECT_TRUE(Has(out, "not a type this updater knows")) << out;
    }
    korrtest::PtyDeviceServer silent;
    ASSERT_TRUE(silent.Ok());
    korrtest::SpawnResult r;
    const std::string out = Identify(silent, &r);
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_EQ(out.rfind("error: on " + silent.Path() +
                            " nothing answers (is the instrument connected and switched on?)\n",
                        0),
              0u)
        << out;
    EXPECT_TRUE(Has(out, "The log is in ")) << out;
}

TEST(IdentifyCli, SettingsOfALogger) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    server.Attach<korrsim::Logger>(korrsim::kTr30Keys, "TR30 2.02").SetModem(true);
    korrtest::SpawnResult r;
    const std::string out = Identify(server, &r, {"--settings"});
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_TRUE(Has(out, "device class:       3 Tr30\n")) << out;
    EXPECT_TRUE(Has(out, "name:               TR30LOG\n")) << out;
    EXPECT_TRUE(Has(out, "site:               North Field\n")) << out;
    EXPECT_TRUE(Has(out, "APN:                internet.example\n")) << out;
    EXPECT_TRUE(Has(out, "APN password:       ********\n")) << out;
    EXPECT_FALSE(Has(out, "s3cret")) << "secrets are not shown";
}

TEST(IdentifyCli, PortIsRequired) {
    auto r = korrtest::SpawnCombined(KORRBSL_PATH, {"identify"});
    EXPECT_EQ(r.status, 2) << r.out;
}

}  // namespace
