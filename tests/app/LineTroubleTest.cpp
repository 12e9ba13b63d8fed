// A line that loses bytes against a loader that refuses: the box and the session say which
// stopped the upload; and a settings file that says just what the instrument holds is not
// moved aside as an unfinished update's.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

namespace fs = std::filesystem;

const std::string kErrorWorking =
    "The Quorra Series 7 Firmware Updater encountered an error working with your Quorra Series "
    "7.\n\nPlease try again.\n\n[Error -1]\n\n";

TEST(LoaderTrouble, ALossyLineIsNotReportedAsTheLoadersRefusal) {
    korrsim::SimOptions lossy = korrtest::SimQs7();
    lossy.lose = 0.002;
    lossy.seed = 1;
    UpdateRig rig(lossy);
    EXPECT_EQ(rig.Run(), -1);
    ASSERT_FALSE(rig.ui.boxes.empty());
    EXPECT_EQ(rig.ui.boxes.back().title, "Firmware Upload Error");
    const std::string& text = rig.ui.boxes.back().text;
    EXPECT_EQ(text.rfind(kErrorWorking + "The firmware loader refused a command that most "
                                         "likely reached it damaged: ",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("went through only when repeated, so the line is losing or garbling "
                        "bytes (check the cable and its connections)."),
              std::string::npos)
        << text;
    EXPECT_EQ(rig.Session().LoaderFailure(), LoaderTrouble::NoisyLine);
}

TEST(LoaderTrouble, ARefusalOnACleanLineIsTheLoaders) {
    UpdateRig rig;
    korrsim::BslLoader& loader = rig.target.Target().Loader();
    rig.AtStatus("Uploading new firmware code...", [&loader] { loader.RefuseNext('W', 1000); });
    EXPECT_EQ(rig.Run(), -1);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].text, kErrorWorking + "The firmware loader refused the command.");
    EXPECT_EQ(rig.Session().LoaderFailure(), LoaderTrouble::Refused);
    EXPECT_EQ(rig.Session().LoaderFailureMeaning(), "the firmware loader refused the command");
}

TEST(LeftSettingsFile, OneThatSaysWhatTheInstrumentHoldsIsNotMovedAside) {
    // The file of an update that stopped with the instrument's memory as it was (its serial
    // number blank, its firmware older than this updater's).
    UpdateRig rig;
    DeviceInfo info;
    Korr_protocol& protocol = rig.Session().Protocol();
    ASSERT_GT(protocol.KDConnect(rig.target.Port(), 2, 3, &info), 0);
    ASSERT_EQ(protocol.KDSaveInfo(rig.SettingsPath().c_str()), 1);
    protocol.KDDisconnect(true);

    EXPECT_EQ(rig.Run(), 1);
    EXPECT_TRUE(rig.ui.boxes.empty()) << rig.ui.boxes[0].title;
    EXPECT_TRUE(rig.ui.PathOf(FileRole::SettingsMovedAside).empty());
    EXPECT_NE(rig.Log().find("The instrument holds the settings of the left settings file"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(rig.SettingsPath())) << "gone once the settings were back";
}

}  // namespace
