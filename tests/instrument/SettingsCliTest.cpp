// korrbsl settings as a user runs it, against a simulated instrument on a pseudo-terminal, in
// real time: save, new firmware with factory settings, restore, and the file shown.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "models/InstrumentProfiles.h"
#include "models/SettingsFirmware.h"
#include "support/OutputText.h"
#include "support/PtyDeviceServer.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::Has;

korrtest::SpawnResult Served(korrtest::PtyDeviceServer& server, std::vector<std::string> args) {
    server.Start();
    korrtest::SpawnResult r = korrtest::SpawnCombined(KORRBSL_PATH, args);
    server.Stop();
    return r;
}

TEST(SettingsCli, SaveThenRestoreAfterNewFirmware) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    auto& qe8 = server.Attach<korrsim::SettingsFirmware>(*korrsim::FindInstrumentProfile("QE8"));
    const korrsim::SettingsSnapshot before = qe8.Snapshot();
    korrtest::TempDir dir;
    const std::string file = dir.File("qe8.settings.txt");

    korrtest::SpawnResult r = Served(server, {"settings", "save", "--port", server.Path(), file});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "saved the settings of the Quorra 8 to " + file)) << r.out;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    qe8.FactoryReset();
    ASSERT_NE(qe8.Snapshot(), before);
    r = Served(server, {"settings", "restore", "--port", server.Path(), file});
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "restored the settings of the Quorra 8 from " + file)) << r.out;
    EXPECT_EQ(qe8.Snapshot(), before);
    EXPECT_FALSE(qe8.LoggedIn()) << "the restore logs out";

    r = korrtest::SpawnCombined(KORRBSL_PATH, {"settings", "show", file});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "device type:     15 QE8 \"Quorra 8\"\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "sn:              QE8-51234\n")) << r.out;
}

// A settings file cut short restores what it holds and names what it lacks; a value the file
// cannot keep is refused by name, and the file is not written.
TEST(SettingsCli, WhatTheFileDoesNotHoldIsNamed) {
    korrtest::PtyDeviceServer server;
    ASSERT_TRUE(server.Ok());
    auto& qe8 = server.Attach<korrsim::SettingsFirmware>(*korrsim::FindInstrumentProfile("QE8"));
    korrtest::TempDir dir;
    const std::string file = dir.File("qe8.settings.txt");
    korrtest::SpawnResult r = Served(server, {"settings", "save", "--port", server.Path(), file});
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string whole = korrtest::ReadFile(file);
    korrtest::WriteFile(file, whole.substr(0, whole.find("tadj=\"") + 8));

    qe8.FactoryReset();
    r = Served(server, {"settings", "restore", "--port", server.Path(), file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "error -35: the settings file does not hold tadj, tau, hadj; they were "
                           "not restored"))
        << r.out;
    EXPECT_EQ(qe8.Settings().Get("sn"), "QE8-51234");
    EXPECT_EQ(qe8.Settings().Get("tadj"), "0");

    qe8.Settings().Set("config", "48213\nsn=\"QE8-99999\"");
    r = Served(server, {"settings", "save", "--port", server.Path(), file});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out, "error -37: the value of \"config\" holds a line break, which the "
                           "settings file cannot keep"))
        << r.out;
    EXPECT_EQ(korrtest::ReadFile(file), whole.substr(0, whole.find("tadj=\"") + 8));
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

TEST(SettingsCli, FileProblemsAreToldBeforeTheDeviceIsAsked) {
    korrtest::TempDir dir;
    korrtest::SpawnResult r = korrtest::SpawnCombined(
        KORRBSL_PATH, {"settings", "restore", "--port", "/dev/null-port", dir.File("none.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FirstLine(r.out), "error -102: the settings file does not exist");
    r = korrtest::SpawnCombined(KORRBSL_PATH, {"settings", "save", "--port", "/dev/null-port",
                                               dir.File("missing/folder.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FirstLine(r.out),
              "error: cannot write " + dir.File("missing/") + ": No such file or directory");
    korrtest::WriteFile(dir.File("other.txt"), "just some text\r\n");
    r = korrtest::SpawnCombined(KORRBSL_PATH, {"settings", "show", dir.File("other.txt")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(FirstLine(r.out),
              "error -30: the file is not a settings file of a known device type");
    EXPECT_TRUE(Has(r.out, "The log is in ")) << r.out;
}

TEST(SettingsCli, ShowMasksTheSecrets) {
    korrtest::TempDir dir;
    const std::string file = dir.File("logger.txt");
    korrtest::WriteFile(file,
                        "***** Auto-Generated Settings File -- DO NOT EDIT *****\r\n\r\n"
                        "type=\"rB2\"\r\nname=\"Basnet\"\r\napn=\"net\"\r\npasswd=\"hunter2\"\r\n"
                        "authkey=\"0123456789ABCDEF0123456789ABCDEF\"\r\nuser=\"\"\r\n");
    korrtest::SpawnResult r = korrtest::SpawnCombined(KORRBSL_PATH, {"settings", "show", file});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(Has(r.out, "device type:     18 RB2 \"rB2\"\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "passwd:          ********\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "authkey:         ********\n")) << r.out;
    EXPECT_FALSE(Has(r.out, "hunter2")) << r.out;
    EXPECT_FALSE(Has(r.out, "0123456789ABCDEF")) << r.out;
}

}  // namespace
