// korrbsl update on the real serial backend against korrsim on a pseudo-terminal, in real time
// (the simulator's time running 20 times faster, so a whole update takes seconds): how a stop
// asked from outside ends, and that the next update goes on from what it left.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "support/ChildProcess.h"
#include "support/OutputText.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

struct PtyUpdate : ::testing::Test {
    void SetUp() override { ASSERT_EQ(sim.ReadLine(5000).rfind("/dev/", 0), 0u); }
    std::vector<std::string> Args() const {
        return {KORRBSL_PATH, "update", "--port", dir.File("port"), "--json", "--yes"};
    }
    korrtest::SpawnResult Finish() {
        return korrtest::Spawn(KORRBSL_PATH,
                               {"update", "--port", dir.File("port"), "--json", "--yes"}, {data});
    }

    korrtest::TempDir dir;
    korrtest::ChildProcess sim{{KORRSIM_PATH, "--time-scale", "20", "--link", dir.File("port")}};
    std::string data = "XDG_DATA_HOME=" + dir.File("data");
};

TEST_F(PtyUpdate, CtrlCTwiceStopsInTheLoaderAndTheNextUpdateFinishes) {
    {
        korrtest::ChildProcess update(Args(), {data}, true);
        ASSERT_TRUE(update.WaitForLine("Erasing firmware memory...", 30000)) << update.Output();
        update.Signal(SIGINT);
        EXPECT_TRUE(update.WaitForLine("Don't Quit Now!: The", 5000)) << update.Output();
        const size_t warnedAt = update.Output().size();
        update.Signal(SIGINT);
        EXPECT_EQ(update.Wait(30000), 1) << update.Output();
        const std::string all = update.Output();
        const std::string rest = all.substr(warnedAt);
        // A terminal has no OK button to click.
        EXPECT_FALSE(Has(all, "Click OK")) << all;
        EXPECT_TRUE(Has(all, "interrupt it again (Ctrl-C) within 5 seconds")) << all;
        EXPECT_TRUE(Has(rest, "Stopping at the loader's next step")) << rest;
        EXPECT_FALSE(Has(rest, "Firmware Upload Error")) << rest;
        EXPECT_FALSE(Has(rest, "Error -40]")) << rest;
        EXPECT_TRUE(Has(rest, "Update Stopped")) << rest;
        EXPECT_FALSE(Has(rest, "Don't Quit Now!")) << "warned once only";
        EXPECT_TRUE(Has(rest, "{\"event\": \"result\", \"code\": -40")) << rest;
        EXPECT_TRUE(Has(rest, "\"instrument\": \"half-programmed\"")) << rest;
        EXPECT_FALSE(Has(rest, "\"settings-kept\": \"\"")) << rest;
        EXPECT_TRUE(Has(rest, "\"next\": \"korrbsl update --port " + dir.File("port") + "\""))
            << rest;
    }

    const korrtest::SpawnResult finish = Finish();
    EXPECT_EQ(finish.status, 0) << finish.out << finish.err;
    EXPECT_TRUE(Has(finish.out, "{\"event\": \"result\", \"code\": 1, ")) << finish.out;
    // Straight to the loader: nothing saved over the first run's settings file.
    EXPECT_FALSE(Has(finish.out, "Saving settings")) << finish.out;
}

TEST_F(PtyUpdate, SigtermBeforeTheEraseStopsWithNothingTouched) {
    {
        korrtest::ChildProcess update(Args(), {data}, true);
        ASSERT_TRUE(update.WaitForLine("Connecting to Quorra Series 7", 30000)) << update.Output();
        update.Signal(SIGTERM);
        EXPECT_EQ(update.Wait(30000), 1) << update.Output();
        const std::string all = update.Output();
        EXPECT_TRUE(Has(all, "Stopping before the firmware loader starts")) << all;
        EXPECT_FALSE(Has(all, "Starting the firmware loader")) << all;
        EXPECT_TRUE(Has(all, "\"instrument\": \"untouched\"")) << all;
        EXPECT_TRUE(Has(all, "\"settings-kept\": \"\"")) << all;
    }
    // Nothing was left for the next update to take for an unfinished one.
    const korrtest::SpawnResult next = Finish();
    EXPECT_EQ(next.status, 0) << next.out << next.err;
    EXPECT_TRUE(Has(next.out, "Saving settings")) << next.out;
    EXPECT_FALSE(Has(next.out + next.err, "did not finish")) << next.out << next.err;
}

TEST_F(PtyUpdate, SighupDuringTheUploadEndsSayingWhatIsLeftAndWhatGoesOn) {
    korrtest::ChildProcess update(
        {KORRBSL_PATH, "update", "--port", dir.File("port"), "--yes"}, {data}, true);
    ASSERT_TRUE(update.WaitForLine("Uploading new firmware code...", 30000)) << update.Output();
    update.Signal(SIGHUP);
    EXPECT_EQ(update.Wait(30000), 1) << update.Output();
    const std::string all = update.Output();
    const std::string kept = dir.File("data/Korrin/KorrBSL/Quorra Series 7.port.settings.txt");
    EXPECT_TRUE(Has(all, "Asked to end. Stopping at the loader's next step")) << all;
    EXPECT_TRUE(Has(all, "error -40: the update was stopped\nThe Quorra Series 7 is "
                         "half-programmed and waits in its firmware loader: it cannot start its "
                         "firmware; its settings are kept in \"" +
                             kept + "\".\nNext: korrbsl update --port " + dir.File("port") +
                             " (finishes the update and puts the kept settings back)\n"))
        << all;
}

}  // namespace
