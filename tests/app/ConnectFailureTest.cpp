// Every way the first connect can fail, and the loader found listening instead of the firmware.
#include <gtest/gtest.h>

#include <functional>

#include "app/UpdateRig.h"
#include "serial/KorrSerial.h"

using namespace korr;
using korrtest::UpdateRig;

namespace {

const std::string kCaption = "Quorra Series 7 Firmware Updater";

struct ConnectCase {
    const char* name;
    std::function<void(UpdateRig&)> arrange;
    const char* text;  // {port} stands for the port's name
};

std::string WithPort(std::string text, const std::string& port) {
    const size_t at = text.find("{port}");
    if (at != std::string::npos) text.replace(at, 6, port);
    return text;
}

TEST(ConnectFailures, EachShowsItsBoxAndEndsWithMinus20) {
    KorrSerial holder;
    const ConnectCase cases[] = {
        {"port in use",
         [&](UpdateRig& rig) { ASSERT_EQ(KSOpen(holder, rig.target.Port(), 9600), 1); },
         "Comm Port \"{port}\" is already in use by another application.\n"
         "Please choose a new Comm Port to use or quit the application using this port."},
        {"port not available", [](UpdateRig& rig) { rig.Session().State().portName = "sim9"; },
         "Comm Port \"sim9\" isn't available.\nPlease choose a new Comm Port to use."},
        {"no answer", [](UpdateRig& rig) { rig.Firmware().SetSilent(true); },
         "The Quorra Series 7 Firmware Updater is unable to connect to your Quorra Series 7\n on "
         "Comm Port \"{port}\".\n\nPlease check your serial cable and Comm Port choice."},
        {"unsupported, identified",
         [](UpdateRig& rig) { rig.Firmware().SetVersionReply("QS7 3.40"); },
         "The Quorra Series 7 Firmware Updater does not support your Quorra Series 7\nrunning "
         "version 340."},
        {"unsupported, unknown", [](UpdateRig& rig) { rig.Firmware().SetVersionReply("XYZ 1.00"); },
         "The Quorra Series 7 Firmware Updater is unable to connect to your unknown device\n on "
         "Comm Port \"{port}\".\n\nPlease check your serial cable and Comm Port choice.\n\n"
         "Please verify the device connected is a \"Quorra Series 7\" and has a version of\n"
         "firmware that supports updates."},
        {"login refused",
         [](UpdateRig& rig) {
             rig.Firmware().AddCommand("login",
                                       [](const std::string&) { return korrsim::Reply::Error(); });
         },
         "The Quorra Series 7 Firmware Updater is unable to log into to your Quorra Series 7\n on "
         "Comm Port \"{port}\".\n\nPlease try again or contact your Korrin representative."},
        {"empty port name", [](UpdateRig& rig) { rig.Session().State().portName.clear(); },
         "The Quorra Series 7 Firmware Updater is unable to log into to your Quorra Series 7\n on "
         "Comm Port \"\".\n\nPlease try again or contact your Korrin representative."},
    };
    for (const ConnectCase& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRig rig;
        c.arrange(rig);
        const std::string port = rig.Session().State().portName;
        EXPECT_EQ(rig.Run(), -20);
        KSClose(holder);
        ASSERT_EQ(rig.ui.boxes.size(), 1u);
        EXPECT_EQ(rig.ui.boxes[0].title, "Connection Error");
        EXPECT_EQ(rig.ui.boxes[0].text, WithPort(c.text, port));
        EXPECT_EQ(rig.ui.boxes[0].kind, static_cast<int>(MessageKind::Error));
        EXPECT_EQ(rig.target.Target().Updates(), 0u);
        EXPECT_EQ(rig.ui.texts[Control::lblConnect],
                  "Connect Quorra Series 7 to computer comm port.");
        EXPECT_FALSE(rig.ui.visible[Control::statusText]);
        EXPECT_EQ(rig.ui.progress.back(), 0);
    }
}

// An update interrupted inside the loader: the next one finds the loader, programs the image
// and restores the settings the interrupted one saved.
struct LoaderCase {
    const char* name;
    std::function<void(UpdateRig&)> arrange;
    bool probed;  // only the probe after a failed connect finds this loader
};

TEST(LoaderListening, GoesStraightToTheLoaderAndRestoresFromTheLeftFile) {
    const LoaderCase cases[] = {
        {"active, answers 'g' lines",
         [](UpdateRig& rig) {
             rig.target.Target().Loader().SetAnswersVersionLines(true);
             rig.target.Target().RunLoader(korrsim::BslLoader::State::Connected);
         },
         false},
        {"active, answers '?' to every line",
         [](UpdateRig& rig) {
             rig.target.Target().RunLoader(korrsim::BslLoader::State::Connected);
         },
         true},
        {"waiting",
         [](UpdateRig& rig) { rig.target.Target().RunLoader(korrsim::BslLoader::State::Waiting); },
         false},
        {"boot command interrupted",
         [](UpdateRig& rig) {
             // The firmware took the boot command; the host went away before the handshake.
             KorrSerial port;
             ASSERT_EQ(KSOpen(port, rig.target.Port(), 9600), 1);
             ASSERT_EQ(KSWrite(port, "boot VLUX\r", 10), 10);
             korr::DelayMs(800);
             KSClose(port);
             ASSERT_EQ(rig.target.Target().CurrentMode(), korrsim::Instrument::Mode::Loader);
         },
         false},
    };
    for (const LoaderCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string saved;  // the interrupted update's settings file
        {
            UpdateRig first;
            first.AtStatus("Starting the firmware loader...",
                           [&] { saved = korrtest::ReadFile(first.SettingsPath()); });
            ASSERT_EQ(first.Run(), 1);
        }
        ASSERT_FALSE(saved.empty());
        UpdateRig rig;
        c.arrange(rig);
        korrtest::WriteFile(rig.SettingsPath(), saved);
        DeviceInfo atLoader;
        rig.AtStatus("Starting the firmware loader...", [&] { atLoader = rig.Session().Device(); });
        EXPECT_EQ(rig.Run(), 1);
        EXPECT_EQ(atLoader.version, 999);
        EXPECT_EQ(atLoader.type, 12);
        // The new firmware starts with factory values; the restore brought the field values back.
        EXPECT_EQ(rig.Firmware().Settings().Get("config"), "QS7:std, 4 ch; beep=off");
        EXPECT_FALSE(rig.ui.StatusShown("Saving settings for this Quorra Series 7..."));
        EXPECT_TRUE(rig.ui.StatusShown("Restoring settings..."));
        EXPECT_EQ(rig.target.Target().Updates(), 1u);
        EXPECT_TRUE(rig.ui.boxes.empty());
        EXPECT_EQ(rig.Log().find("found the KorrBSL listening after the connect failed") !=
                      std::string::npos,
                  c.probed);
    }
}

}  // namespace
