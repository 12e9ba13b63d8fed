// Open Firmware File and Dump Firmware Image: retargeting to the file's device type, the
// warning for a name that names none, the failures, and both refused while an update runs.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "app/UpdateRig.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

std::string Stock(const char* name) {
    return std::string(KORR_FIRMWARE_DIR) + "/" + name;
}

TEST(OpenFirmwareFile, AQuorra8FileRetargetsEverythingButTheCaption) {
    UpdateRig rig(korrtest::SimQs7(), false, true);
    ASSERT_EQ(rig.Session().OpenFirmwareFile(Stock("QE8 2-10.txt")), 1);
    const AppState& s = rig.Session().State();
    EXPECT_EQ(s.productName, "Quorra 8");
    EXPECT_EQ(s.caption, "Quorra Series 7 Firmware Updater");
    EXPECT_EQ(s.updaterFirmwareVersion, 210u);
    EXPECT_EQ(s.settingsFilePath, rig.dir.File("Quorra 8.sim0.settings.txt"));
    EXPECT_FLOAT_EQ(s.writeProgressIncrement, 35328.0f / 60940.0f);
    EXPECT_EQ(rig.ui.texts[Control::userText2], "QE8 2.10");
    EXPECT_EQ(rig.ui.texts[Control::userText1], "This utility updates Quorra 8 firmware to");
    EXPECT_EQ(rig.ui.texts[Control::commLabel], "Connect to Quorra 8 with Comm Port");
    EXPECT_EQ(rig.ui.texts[Control::lblConnect], "Connect Quorra 8 to computer comm port.");
    EXPECT_TRUE(rig.ui.boxes.empty());
    EXPECT_EQ(rig.ui.beeps, std::vector<uint32_t>{kBeepAsterisk});
    EXPECT_TRUE(rig.ui.enabled[Control::btnStart]);
    EXPECT_TRUE(rig.ui.enabled[Control::UpdateFirmware1]);
}

TEST(OpenFirmwareFile, ANameWithoutATypeWarnsAndKeepsTheProduct) {
    UpdateRig rig(korrtest::SimQs7(), false, true);
    const std::string file = rig.dir.File("mystery.txt");
    std::filesystem::copy_file(Stock("QS7 3-61.txt"), file);
    ASSERT_EQ(rig.Session().OpenFirmwareFile(file), 1);
    EXPECT_EQ(rig.Session().Host().image.type, 12);
    EXPECT_EQ(rig.Session().State().productName, "Quorra Series 7");
    EXPECT_EQ(rig.Session().State().updaterFirmwareVersion, 360u);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "File Name Error");
    EXPECT_EQ(rig.ui.boxes[0].kind, static_cast<int>(MessageKind::Warning));
    EXPECT_EQ(rig.ui.boxes[0].text,
              "The Quorra Series 7 Firmware Updater could not detirmine the instrument type\nfrom "
              "the file name \"mystery.txt\".\n\nInstrument type set to the default (for this "
              "build): \"Quorra Series 7\".");
    EXPECT_EQ(rig.ui.texts.count(Control::userText2), 0u);
}

TEST(OpenFirmwareFile, FailuresChangeNothing) {
    UpdateRig rig(korrtest::SimQs7(), false, true);
    const std::string junk = rig.dir.File("QS7 junk.txt");
    korrtest::WriteFile(junk, "this is no firmware\n");
    // A Quorra 8 file with one byte damaged: it would have retargeted the window.
    const std::string damaged = rig.dir.File("QE8 2-11.txt");
    korrtest::WriteFile(damaged, "@2100\n31 40\n00 0A B2 4O\n@FFFE\n00 21\nq\n");
    struct Case {
        std::string path;
        const char* text;
    } cases[] = {
        {junk,
         "The file \"QS7 junk.txt\" is not a valid firmware file.\nPlease choose a new firmware "
         "file to open."},
        {damaged,
         "The file \"QE8 2-11.txt\" is not a valid firmware file:\nline 3: \"4O\" is not two hex "
         "digits.\nPlease choose a new firmware file to open."},
        {rig.dir.File("absent.txt"),
         "The Quorra Series 7 Firmware Updater could not opening \"absent.txt\".\nPlease try "
         "again.\nError "},
    };
    for (const Case& c : cases) {
        rig.ui.boxes.clear();
        EXPECT_LT(rig.Session().OpenFirmwareFile(c.path), 0);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, "File Error");
        EXPECT_EQ(rig.ui.boxes[0].text.substr(0, std::strlen(c.text)), c.text);
        EXPECT_EQ(rig.Session().State().productName, "Quorra Series 7");
        EXPECT_EQ(rig.Session().State().updaterFirmwareVersion, 360u);
    }
}

TEST(DumpFirmwareImage, WritesTheImageOrShowsTheError) {
    UpdateRig rig;
    const std::string out = rig.dir.File("dump.txt");
    EXPECT_GT(rig.Session().DumpFirmwareImage(out), 0);
    EXPECT_TRUE(rig.ui.boxes.empty());
    EXPECT_EQ(korrtest::ReadFile(out).rfind("@", 0), 0u);

    const int32_t r = rig.Session().DumpFirmwareImage(rig.dir.File("no/such/folder/dump.txt"));
    EXPECT_LT(r, 0);
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Error");
    EXPECT_EQ(rig.ui.boxes[0].text, "Error saving firmware image: " + std::to_string(r));
}

TEST(FirmwareFileCommands, RefusedWhileAnUpdateRuns) {
    UpdateRig rig(korrtest::SimQs7(), false, true);
    const std::string dump = rig.dir.File("dump.txt");
    int32_t opened = 0, dumped = 0;
    rig.AtStatus("Uploading new firmware code...", [&] {
        opened = rig.Session().OpenFirmwareFile(Stock("QE8 2-10.txt"));
        dumped = rig.Session().DumpFirmwareImage(dump);
    });
    EXPECT_EQ(rig.Run(), 1);
    EXPECT_LT(opened, 0);
    EXPECT_LT(dumped, 0);
    EXPECT_FALSE(std::filesystem::exists(dump));
    EXPECT_EQ(rig.Session().Host().image.type, 12);
    EXPECT_EQ(rig.Firmware().VersionReply(), "QS7 3.60");
    ASSERT_EQ(rig.ui.boxes.size(), 2u);
    EXPECT_EQ(rig.ui.boxes[0].title, "Update Running");
    // Afterwards they work again.
    EXPECT_GT(rig.Session().DumpFirmwareImage(dump), 0);
}

}  // namespace
