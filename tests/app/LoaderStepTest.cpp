// The loader, programming, restart and check steps: each failure's box and result, the pauses
// between reconnect attempts, and a stopped upload that the next update finishes.
#include <gtest/gtest.h>

#include "app/UpdateRig.h"
#include "serial/Clock.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

std::string ErrorText(int32_t code) {
    return "The Quorra Series 7 Firmware Updater encountered an error working with your Quorra "
           "Series 7.\n\nPlease try again.\n\n[Error " +
           std::to_string(code) + "]";
}

TEST(Loader, MissingAndSilentLoaders) {
    {
        korrsim::SimOptions o = korrtest::SimQs7();
        o.noLoader = true;
        UpdateRig rig(o);
        EXPECT_EQ(rig.Run(), -112);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, "Firmware Loader Error");
        EXPECT_EQ(rig.ui.boxes[0].text,
                  "This Quorra Series 7 does not have a working firmware loader.\n\nPlease "
                  "contact Korrin for help.");
    }
    {
        UpdateRig rig;
        rig.Firmware().SetBootHook([](const std::string&) { return std::string("ERROR"); });
        EXPECT_EQ(rig.Run(), -110);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, "Firmware Loader Error");
        EXPECT_EQ(rig.ui.boxes[0].text,
                  "The Quorra Series 7 Firmware Updater is unable to connect to the firmware "
                  "loader in your Quorra Series 7.\n\nPlease try again.");
    }
}

TEST(Programming, EachLoaderFailureShowsItsBox) {
    struct Case {
        const char* status;  // refuse from this status on
        char letter;
        const char* title;
    } cases[] = {
        {"Erasing firmware memory...", 'X', "INFO Memory Erase Error"},
        {nullptr, 'X', "Firmware Erase Error"},  // from the first flash erase progress call
        {"Uploading new firmware code...", 'W', "Firmware Upload Error"},
        {"Restarting the Quorra Series 7, please wait...", 'V', "Firmware Upload Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        UpdateRig rig;
        korrsim::BslLoader& loader = rig.target.Target().Loader();
        const char letter = c.letter;
        if (c.status != nullptr) {
            rig.AtStatus(c.status, [&loader, letter] { loader.RefuseNext(letter, 1000); });
        } else {
            rig.ui.onEvents = [&] {
                if (rig.ui.progress.back() == 9) loader.RefuseNext(letter, 1000);
            };
        }
        const int32_t r = rig.Run();
        EXPECT_LT(r, 0);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, c.title);
        EXPECT_EQ(rig.ui.boxes[0].text,
                  ErrorText(r) + "\n\nThe firmware loader refused the command.");
    }
}

TEST(Programming, AStoppedUploadLeavesTheLoaderForTheNextUpdate) {
    UpdateRig rig;
    // The person insists on quitting in the middle of the upload.
    rig.AtStatus("Uploading new firmware code...", [&] {
        rig.ui.answers = {kAnswerCancel};
        EXPECT_TRUE(rig.Session().ConfirmQuit());
    });
    EXPECT_EQ(rig.Run(), -40);
    ASSERT_EQ(rig.ui.boxes.size(), 2u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Don't Quit Now!");
    EXPECT_EQ(rig.ui.boxes[1].title, "Firmware Upload Error");
    EXPECT_EQ(rig.ui.boxes[1].text, ErrorText(-40));
    EXPECT_EQ(rig.target.Target().CurrentMode(), korrsim::Instrument::Mode::Loader);

    rig.ui = korrtest::ScriptedUserInterface();
    int32_t loaderVersion = 0;
    rig.AtStatus("Starting the firmware loader...",
                 [&] { loaderVersion = rig.Session().Device().version; });
    ASSERT_EQ(rig.Run(), 1);
    EXPECT_EQ(loaderVersion, 999);
    EXPECT_EQ(rig.Firmware().VersionReply(), "QS7 3.60");
}

TEST(Programming, ConfirmQuitKeepsTheWindowWhileUpdating) {
    UpdateRig rig;
    rig.AtStatus("Erasing firmware memory...", [&] {
        rig.ui.answers = {kAnswerOk};
        EXPECT_FALSE(rig.Session().ConfirmQuit());
    });
    EXPECT_EQ(rig.Run(), 1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Don't Quit Now!");
    EXPECT_EQ(rig.ui.boxes[0].flags, kBoxOk);
    EXPECT_EQ(rig.ui.boxes[0].text,
              "The Quorra Series 7 Firmware Updater is updating your Quorra Series 7!\nThis "
              "process should NOT be interrupted.\n\nYour Quorra Series 7 may be unusable or "
              "have missing settings\nuntil you complete the firmware update process.\n\nClick "
              "OK to continue updating your Quorra Series 7.\n");
    EXPECT_FALSE(rig.ui.closed);
    // Idle: closes at once.
    EXPECT_TRUE(rig.Session().ConfirmQuit());
    EXPECT_TRUE(rig.ui.closed);
    EXPECT_FALSE(rig.Session().State().continueFlag);
}

TEST(Reconnect, WaitsNothingThenOneAndAHalfThenThreeSeconds) {
    // How long one connect to a silent instrument takes.
    double oneConnect = 0;
    {
        UpdateRig rig;
        rig.Firmware().SetSilent(true);
        DeviceInfo info;
        const double t0 = rig.NowMs();
        EXPECT_LT(rig.Session().Protocol().KDConnect(rig.target.Port(), 2, 3, &info), 0);
        oneConnect = rig.NowMs() - t0;
    }
    UpdateRig rig;
    double restarting = 0;
    double failed = 0;
    rig.AtStatus("Restarting the Quorra Series 7, please wait...", [&] {
        rig.Firmware().SetSilent(true);
        restarting = rig.NowMs();
    });
    rig.ui.onBox = [&] { failed = rig.NowMs(); };
    const int32_t r = rig.Run();
    EXPECT_LT(r, 0);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Connection Error");
    EXPECT_EQ(rig.ui.boxes[0].text, ErrorText(r));
    // The vectors, letting go of the port, the restart delay, three connects and the pauses.
    const double pauses = failed - restarting - 3 * oneConnect - 2000 - 100;
    EXPECT_GE(pauses, 4500);
    EXPECT_LT(pauses, 4700);
}

TEST(NewFirmware, CorruptFirmwareIsReported) {
    UpdateRig rig;
    rig.AtStatus("Restarting the Quorra Series 7, please wait...",
                 [&] { rig.Firmware().SetSelfTestFails(true); });
    EXPECT_EQ(rig.Run(), -1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Firmware Error");
    EXPECT_EQ(rig.ui.boxes[0].text,
              "The new firmware for your Quorra Series 7 is corrupt!\n\nPlease try again or "
              "contact Korrin.");
}

}  // namespace
