// The whole update against the simulated instrument in virtual time, with a scripted person:
// every branch of the sequence and its frame, with the exact boxes and results.
#include <gtest/gtest.h>

#include "app/UpdateRig.h"
#include "app/UpdateSession.h"
#include "serial/Clock.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

TEST(Update, UpdatesTheInstrumentAndEndsIdle) {
    UpdateRig rig;
    ASSERT_EQ(rig.Run(), 1);
    EXPECT_TRUE(rig.ui.boxes.empty()) << rig.ui.boxes[0].title << ": " << rig.ui.boxes[0].text;
    EXPECT_EQ(rig.target.Target().Updates(), 1u);
    EXPECT_EQ(rig.Firmware().VersionReply(), "QS7 3.60");
    const std::string status = rig.ui.texts[Control::statusText];
    EXPECT_EQ(status.rfind("Successfully updated firmware in ", 0), 0u) << status;
    EXPECT_EQ(status.substr(status.size() - 9), " seconds.");
    EXPECT_EQ(rig.ui.texts[Control::lblConnect], "You may disconnect your Quorra Series 7 now.");
    EXPECT_EQ(rig.ui.defaultButton, Control::btnClose);
    EXPECT_TRUE(rig.ui.enabled[Control::btnStart]);
    EXPECT_TRUE(rig.ui.enabled[Control::btnClose]);
    EXPECT_TRUE(rig.ui.enabled[Control::cbCommPort]);
    EXPECT_FALSE(rig.ui.busyCursor);
    EXPECT_FALSE(rig.Session().State().updateRunning);
    EXPECT_FALSE(korrtest::ReadFile(rig.SettingsPath()).size() > 0) << "settings file left";
    EXPECT_NE(rig.Log().find("Finished updating device in "), std::string::npos);
    EXPECT_EQ(rig.ui.beeps.back(), kBeepAsterisk);
}

TEST(Update, ProgressFollowsThePlan) {
    UpdateRig rig;
    ASSERT_EQ(rig.Run(), 1);
    const std::vector<int>& p = rig.ui.progress;
    ASSERT_GE(p.size(), 10u);
    EXPECT_EQ(std::vector<int>(p.begin(), p.begin() + 5), (std::vector<int>{0, 2, 4, 6, 8}));
    // The erase steps: one a call, every ten segments and once at the end.
    size_t i = 5;
    int expected = 9;
    while (p[i] != 21) {
        EXPECT_EQ(p[i], expected++);
        ++i;
    }
    EXPECT_GT(expected, 10);
    // The upload climbs to about 90, then the restart, the checks and the end.
    std::vector<int> tail(p.end() - 5, p.end());
    EXPECT_EQ(tail, (std::vector<int>{92, 94, 96, 98, 100}));
    const int uploadEnd = *(p.end() - 6);
    EXPECT_GE(uploadEnd, 88);
    EXPECT_LE(uploadEnd, 91);
}

TEST(Update, StatusTextsInOrder) {
    UpdateRig rig;
    ASSERT_EQ(rig.Run(), 1);
    const std::vector<std::string> expected = {
        "Connecting to Quorra Series 7...", "Saving settings for this Quorra Series 7...",
        "Starting the firmware loader...",  "Erasing firmware memory...",
        "Uploading new firmware code...",   "Restarting the Quorra Series 7, please wait...",
        "Checking new firmware...",         "Restoring settings...",
    };
    std::vector<std::string> shown(rig.ui.statuses.begin(), rig.ui.statuses.end() - 1);
    EXPECT_EQ(shown, expected);
}

}  // namespace
