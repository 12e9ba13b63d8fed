// The window's start-up texts and the guidance boxes, as the session shows them.
#include <gtest/gtest.h>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

TEST(Guidance, StartupTextsAndMenus) {
    UpdateRig rig(korrtest::SimQs7(), true);
    rig.Session().ShowStartupState();
    EXPECT_EQ(rig.ui.texts[Control::userText2], "QS7 3.60");
    EXPECT_EQ(rig.ui.texts[Control::userText1], "This utility updates Quorra Series 7 firmware to");
    EXPECT_EQ(rig.ui.texts[Control::commLabel], "Connect to Quorra Series 7 with Comm Port");
    EXPECT_EQ(rig.ui.texts[Control::lblConnect], "Connect Quorra Series 7 to computer comm port.");
    EXPECT_TRUE(rig.ui.enabled[Control::OpenFirmwareFile1]);
    EXPECT_TRUE(rig.ui.visible[Control::DontEraseData1]);
    EXPECT_TRUE(rig.ui.visible[Control::PromptforSerialNumber1]);
    // This product's update erases nothing: no warning after start-up.
    EXPECT_FALSE(rig.Session().EraseWarningDue());
}

TEST(Guidance, HelpAboutAndTheStartupError) {
    UpdateRig rig;
    rig.Session().ShowHelp();
    rig.Session().ShowAbout("0.1.0");
    ASSERT_EQ(rig.ui.boxes.size(), 2u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Help");
    EXPECT_EQ(rig.ui.boxes[0].kind, static_cast<int>(MessageKind::Custom));
    EXPECT_EQ(rig.ui.boxes[1].title, "About Quorra Series 7 Firmware Updater");
    EXPECT_EQ(rig.ui.boxes[1].text.rfind("Korrin Universal Firmware Updater for Windows\n\n"
                                         "KorrBSL Engine version 0.1.0\nCommunication Protocol "
                                         "version 1.7.5\n\n",
                                         0),
              0u);
    EXPECT_EQ(rig.ui.beeps, (std::vector<uint32_t>{kBeepExclamation, kBeepAsterisk}));

    rig.Session().Host().image.status = -101;
    rig.Session().ShowConstructorError();
    EXPECT_EQ(rig.ui.boxes.back().title, "Application Launch Error");
    EXPECT_EQ(rig.ui.boxes.back().text,
              "The internal firware file for this Quorra Series 7 Firmware Updater is corrupt.\n\n"
              "Please restart this application and try again.");
    EXPECT_TRUE(rig.ui.closed);
    EXPECT_NE(rig.Log().find("KorrBSL frmMain: HostBSL class got an constructor error (-101)"),
              std::string::npos);
}

TEST(Guidance, VerboseToggleChangesTheLogLevelAtOnce) {
    UpdateRig rig;
    rig.Session().SetVerboseLog(false);
    EXPECT_EQ(rig.Session().Log().Level(), LOG_ERROR);
    rig.Session().SetVerboseLog(true);
    EXPECT_EQ(rig.Session().Log().Level(), LOG_VERBOSE);
    EXPECT_TRUE(rig.ui.checked[Control::VerboseErrorFile1]);
}

}  // namespace
