// korrbsl sensor as a user runs it, against korrsim serving a communication device with a
// digital sensor on its bus, in real time on a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>

#include "support/ChildProcess.h"
#include "support/OutputText.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

TEST(SensorCli, WritesTheCalibrationAndReadsItBack) {
    korrtest::TempDir dir;
    const std::string port = dir.File("port");
    korrtest::ChildProcess sim({KORRSIM_PATH, "--type", "MCD", "--sensor", "y",
                                "--sensor-calibration", "A=1.5;B=2", "--sensor-calibration",
                                "T=0.25", "--link", port});
    ASSERT_EQ(sim.ReadLine(5000).rfind("/dev/", 0), 0u);

    const korrtest::SpawnResult r = korrtest::SpawnCombined(
        KORRBSL_PATH, {"sensor", "--port", port, "--set-calibration", "A=7;B=8"});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "device:             \"MCD 3.55\"\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "sensor address:     0\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "identification:     KORRIN  MV-XE 123SN004711\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "firmware version:   123\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "sensor type:        y\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "calibration X4:     A=7;B=8\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "calibration Xa:     T=0.25\n")) << r.out;
}

TEST(SensorCli, BadValuesAreUsageErrors) {
    for (const char* value : {"--set-address=!", "--set-address=ab", "--set-calibration=A!B"}) {
        const korrtest::SpawnResult r =
            korrtest::SpawnCombined(KORRBSL_PATH, {"sensor", "--port", "nowhere", value});
        EXPECT_EQ(r.status, 2) << value << ": " << r.out;
    }
}

}  // namespace
