// korrbsl as a user runs it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Spawn.h"

namespace {

korrtest::SpawnResult Korrbsl(const std::vector<std::string>& args) {
    return korrtest::SpawnCombined(KORRBSL_PATH, args);
}

TEST(Cli, HelpAndVersionExitZero) {
    auto help = Korrbsl({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage:"), std::string::npos);
    EXPECT_NE(help.out.find("/Korrin/KorrBSL/Quorra Series 7 Firmware Updater.errors.txt"),
              std::string::npos)
        << "the help names the log: " << help.out;
    auto version = Korrbsl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("korrbsl ", 0), 0u) << version.out;
}

TEST(Cli, UsageErrorsExitTwoWithOneLine) {
    for (const char* args : {"--no-such-option", "no-such-command"}) {
        auto r = Korrbsl({args});
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "one line: " << r.out;
        EXPECT_EQ(r.out.rfind("korrbsl: ", 0), 0u) << r.out;
    }
}

// A serial number goes to the device inside a command line: a line end in it is refused before
// the file or the port is touched.
TEST(Cli, SettingsRestoreRefusesASerialNumberThatWouldSplitTheCommand) {
    auto r = Korrbsl({"settings", "restore", "--port", "ttyNONE9", "/nonexistent/settings.txt",
                      "--new-serial", "A1\rset -i X"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.out.find("--new-serial is refused: it holds the character code 0x0D"),
              std::string::npos)
        << r.out;
}

}  // namespace
