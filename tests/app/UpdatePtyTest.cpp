// korrbsl update on the real serial backend against korrsim on a pseudo-terminal, in real time
// (the simulator's time running 20 times faster, so a whole update takes seconds): an update
// stopped with two Ctrl-C while the flash is erased leaves the instrument in its loader, and the
// next update finishes the job.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "support/ChildProcess.h"
#include "support/OutputText.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

TEST(UpdatePty, CtrlCTwiceStopsInTheLoaderAndTheNextUpdateFinishes) {
    korrtest::TempDir dir;
    korrtest::ChildProcess sim({KORRSIM_PATH, "--time-scale", "20", "--link", dir.File("port")});
    ASSERT_EQ(sim.ReadLine(5000).rfind("/dev/", 0), 0u);
    const std::string data = "XDG_DATA_HOME=" + dir.File("data");

    {
        korrtest::ChildProcess update(
            {KORRBSL_PATH, "update", "--port", dir.File("port"), "--json", "--yes"}, {data}, true);
        ASSERT_TRUE(update.WaitForLine("Erasing firmware memory...", 30000)) << update.Output();
        update.Signal(SIGINT);
        EXPECT_TRUE(update.WaitForLine("\"title\": \"Don't Quit Now!\"", 5000)) << update.Output();
        const size_t warnedAt = update.Output().size();
        update.Signal(SIGINT);
        EXPECT_EQ(update.Wait(30000), 1) << update.Output();
        const std::string rest = update.Output().substr(warnedAt);
        EXPECT_TRUE(Has(rest, "Stopping at the loader's next step")) << rest;
        EXPECT_TRUE(Has(rest, "Error -40]")) << rest;
        EXPECT_FALSE(Has(rest, "Don't Quit Now!")) << "warned once only";
        EXPECT_TRUE(Has(rest, "{\"event\": \"result\", \"code\": -40")) << rest;
    }

    const korrtest::SpawnResult finish = korrtest::Spawn(
        KORRBSL_PATH, {"update", "--port", dir.File("port"), "--json", "--yes"}, {data});
    EXPECT_EQ(finish.status, 0) << finish.out << finish.err;
    EXPECT_TRUE(Has(finish.out, "{\"event\": \"result\", \"code\": 1, ")) << finish.out;
    // Straight to the loader: nothing saved over the first run's settings file.
    EXPECT_FALSE(Has(finish.out, "Saving settings")) << finish.out;
}

}  // namespace
