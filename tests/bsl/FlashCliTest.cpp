// korrbsl flash as a user runs it, against the in-process simulated instrument (--simulate).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::SpawnResult;

class FlashCli : public ::testing::Test {
  protected:
    // Runs korrbsl with its data folder in the test's own folder.
    SpawnResult Run(const std::vector<std::string>& args) {
        return korrtest::Spawn(KORRBSL_PATH, args, {"XDG_DATA_HOME=" + dir.File("data")});
    }
    std::string LogFile() const {
        return dir.File("data/Korrin/KorrBSL/Quorra Series 7 Firmware Updater.errors.txt");
    }
    static bool Has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    korrtest::TempDir dir;
};

TEST_F(FlashCli, UsageErrorsExitTwo) {
    const std::vector<std::string> cases[] = {
        {"flash"},
        {"flash", "--simulate", "--device-type", "NOPE"},
        {"flash", "--port", "x", "--firmware", "/no/such/file.txt"},
        {"flash", "--port"},
    };
    for (const std::vector<std::string>& args : cases) {
        SpawnResult o = Run(args);
        const std::string shown = ::testing::PrintToString(args);
        EXPECT_EQ(o.status, 2) << shown << "\n" << o.err;
        EXPECT_TRUE(Has(o.err, "korrbsl")) << o.err;
        EXPECT_EQ(o.out, "") << shown;
    }
}

TEST_F(FlashCli, ProgramsTheSimulatedInstrument) {
    SpawnResult o = Run({"flash", "--simulate"});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "Starting the firmware loader on sim0...")) << o.out;
    EXPECT_TRUE(Has(o.out, "Uploading new firmware code: 100%")) << o.out;
    EXPECT_TRUE(Has(o.out, "Programmed QS7 3.60 into the Quorra Series 7 in ")) << o.out;
    EXPECT_TRUE(Has(o.out, "restarted into its new firmware")) << o.out;
    EXPECT_EQ(o.err, "");
}

TEST_F(FlashCli, VerboseLogGoesToTheDataFolderAndToStderr) {
    SpawnResult o = Run({"flash", "--simulate", "-v"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string line = "KorrBSL: BSLConnect connected to device running KorrBSL version 12";
    EXPECT_TRUE(Has(o.err, line)) << o.err;
    EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), line));
}

TEST_F(FlashCli, FailuresExitOneWithTheCodeAndItsMeaning) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {.args = {"flash", "--port", "/dev/korrtest-no-such-port"},
         .message = "error -2: the port is not available"},
        // The QS7 image starts at 0x1100, which a QE8 does not have: the loader refuses it.
        {.args = {"flash", "--simulate", "--device-type", "qe8"},
         .message = "error -1: the firmware loader refused the command"},
    };
    for (const Case& c : cases) {
        SpawnResult o = Run(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(o.status, 1) << shown;
        EXPECT_TRUE(Has(o.err, c.message)) << shown << "\n" << o.err;
        EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), "failed")) << "errors are logged";
    }
}

}  // namespace
