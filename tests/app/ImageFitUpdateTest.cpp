// An image that does not fit the instrument's memory is refused before the loader starts, in
// every way an update can reach the loader, and the instrument's flash is left as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/UpdateRig.h"
#include "firmware/ImageFit.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

std::string Stock(const char* name) {
    return std::string(KORR_FIRMWARE_DIR) + "/" + name;
}

TEST(ImageFit, AnImageThatDoesNotFitIsRefusedWithNothingErased) {
    struct Case {
        const char* name;
        korrsim::SimOptions sim;
        bool factory;
        bool renamedQuorra8Image;  // a Quorra 8 image copied to "QS7 9-99.txt"
        const char* versionReply;  // empty: the instrument's own
        std::string text;
    } cases[] = {
        {"a Quorra 8 image named for the QS7", korrtest::SimQs7(), false, true, "",
         "The firmware \"QS7 9.99\" does not fit your Quorra Series 7:\nthe bytes 0x10000-0x137FF "
         "lie outside the Quorra Series 7's flash (0x1100-0xF9FF) and information memory "
         "(0x1000-0x10FF).\n\nThe Quorra Series 7 Firmware Updater erased nothing. Please choose "
         "a firmware file made for the Quorra Series 7."},
        {"the same image for a loader left waiting",
         [] {
             korrsim::SimOptions o = korrtest::SimQs7();
             o.loaderActive = true;
             return o;
         }(),
         false, true, "",
         "The firmware \"QS7 9.99\" does not fit your Quorra Series 7:\nthe bytes 0x10000-0x137FF "
         "lie outside the Quorra Series 7's flash (0x1100-0xF9FF) and information memory "
         "(0x1000-0x10FF).\n\nThe Quorra Series 7 Firmware Updater erased nothing. Please choose "
         "a firmware file made for the Quorra Series 7."},
        {"the built-in image for a Quorra 8 the factory overrides", korrtest::SimQs7(), true, false,
         "QE8 2.10",
         "The firmware \"QS7 3.60\" does not fit your Quorra 8:\nthe bytes 0x1100-0x20FF lie "
         "outside the Quorra 8's flash (0x2100-0x1FF00) and information memory (0x1000-0x10BF)."
         "\n\nThe Quorra Series 7 Firmware Updater erased nothing. Please choose a firmware file "
         "made for the Quorra 8."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig(c.sim, c.factory, true);
        if (c.renamedQuorra8Image) {
            const std::string file = rig.dir.File("QS7 9-99.txt");
            std::filesystem::copy_file(Stock("QE8 2-10.txt"), file);
            ASSERT_EQ(rig.Session().OpenFirmwareFile(file), 1);
        }
        if (c.versionReply[0] != '\0') rig.Firmware().SetVersionReply(c.versionReply);
        rig.ui.answers = {kAnswerOk};  // the factory's override
        const std::vector<uint8_t> before = rig.target.Target().Memory().Bytes();

        EXPECT_EQ(rig.Run(), kImageDoesNotFit);
        ASSERT_FALSE(rig.ui.boxes.empty());
        EXPECT_EQ(rig.ui.boxes.back().title, "Firmware Does Not Fit");
        EXPECT_EQ(rig.ui.boxes.back().text, c.text);
        EXPECT_FALSE(rig.ui.StatusShown("Erasing firmware memory..."));
        EXPECT_TRUE(rig.target.Target().Memory().Bytes() == before) << "the flash is untouched";
        EXPECT_NE(rig.Log().find("UpdateInstrument: the image "), std::string::npos);
    }
}

}  // namespace
