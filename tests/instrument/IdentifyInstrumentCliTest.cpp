// korrbsl identify --settings against a simulated instrument on a pseudo-terminal: the settings
// its type keeps, read as the update reads them (with the access code where the type wants it).
#include <gtest/gtest.h>

#include "models/InstrumentProfiles.h"
#include "models/SettingsFirmware.h"
#include "support/OutputText.h"
#include "support/PtyDeviceServer.h"
#include "support/Spawn.h"

namespace {

using korrtest::Has;

TEST(IdentifyInstrumentCli, ReadsTheInstrumentsSettings) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    auto& qe8 = server.Attach<korrsim::SettingsFirmware>(*korrsim::FindInstrumentProfile("QE8"));
    server.Start();
    const korrtest::SpawnResult r =
        korrtest::SpawnCombined(KORRBSL_PATH, {"identify", "--settings", "--port", server.Path()});
    server.Stop();
    const std::string& out = r.out;
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_TRUE(Has(out, "device type:        15 QE8")) << out;
    EXPECT_TRUE(Has(out, "settings read:      0x38000802\n")) << out;
    EXPECT_TRUE(Has(out, "sn                  QE8-51234\n")) << out;
    EXPECT_TRUE(Has(out, "tadj                +0.35 C @ 25C; slope 1.002\n")) << out;
    EXPECT_TRUE(Has(out, "eqn 1              Beta`2 y=x^2-3 (fit 2023)\n")) << out;
    EXPECT_TRUE(qe8.Heard("login *8173"));
    EXPECT_TRUE(qe8.Heard("logout"));
}

}  // namespace
