// korrbsl identify --settings as a user runs it, against a simulated logger on a
// pseudo-terminal: the whole settings record read, secrets never shown.
#include <gtest/gtest.h>

#include "models/Logger.h"
#include "support/OutputText.h"
#include "support/PtyDeviceServer.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

TEST(IdentifySettingsCli, ReadsTheLoggersSettings) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    auto& logger = server.Attach<korrsim::Logger>(korrsim::kTr30Keys, "TR30 2.02");
    logger.SetModem(true);
    korrtest::TempDir dir;
    const std::string log = dir.File("identify.log");
    server.Start();
    const korrtest::SpawnResult r = korrtest::SpawnCombined(
        KORRBSL_PATH, {"identify", "--settings", "-v", "--port", server.Path(), "--log", log});
    server.Stop();
    const std::string& out = r.out;
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_TRUE(Has(out, "settings read:      0x09FFFFFF\n")) << out;  // all but the ADC factors
    EXPECT_TRUE(Has(out, "name:               TR30LOG\n")) << out;
    EXPECT_TRUE(Has(out, "site:               North Field\n")) << out;
    EXPECT_TRUE(Has(out, "latitude:           +46.50000\n")) << out;
    EXPECT_FALSE(Has(out, "s3cret")) << out;
    const std::string text = korrtest::ReadFile(log);
    EXPECT_FALSE(Has(text, "s3cret"));
    EXPECT_FALSE(Has(text, "00112233445566778899AABBCCDDEEFF"));
    EXPECT_TRUE(Has(text, "APNPasswdCommand found APN password \"********\""));
}

}  // namespace
