// korrbsl flash as a user runs it, against the in-process simulated instrument (--simulate).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/TempDir.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class FlashCli : public ::testing::Test {
protected:
    // Runs korrbsl with its data folder in the test's own folder.
    Outcome Run(const std::string& args) {
        std::string command = "XDG_DATA_HOME='" + dir.File("data") + "' '" + KORRBSL_PATH + "' " +
                              args + " >'" + dir.File("out") + "' 2>'" + dir.File("err") + "'";
        int rc = std::system(command.c_str());
        Outcome o;
        o.status = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
        o.out = korrtest::ReadFile(dir.File("out"));
        o.err = korrtest::ReadFile(dir.File("err"));
        return o;
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
    const char* cases[] = {"flash", "flash --simulate --device-type NOPE",
                           "flash --port x --firmware /no/such/file.txt", "flash --port"};
    for (const char* args : cases) {
        Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args << "\n" << o.err;
        EXPECT_TRUE(Has(o.err, "korrbsl")) << o.err;
        EXPECT_EQ(o.out, "") << args;
    }
}

TEST_F(FlashCli, ProgramsTheSimulatedInstrument) {
    Outcome o = Run("flash --simulate");
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "Starting the firmware loader on sim0...")) << o.out;
    EXPECT_TRUE(Has(o.out, "Uploading new firmware code: 100%")) << o.out;
    EXPECT_TRUE(Has(o.out, "Programmed QS7 3.60 into the Quorra Series 7 in ")) << o.out;
    EXPECT_TRUE(Has(o.out, "restarted into its new firmware")) << o.out;
    EXPECT_EQ(o.err, "");
}

TEST_F(FlashCli, VerboseLogGoesToTheDataFolderAndToStderr) {
    Outcome o = Run("flash --simulate -v");
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string line = "KorrBSL: BSLConnect connected to device running KorrBSL version 12";
    EXPECT_TRUE(Has(o.err, line)) << o.err;
    EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), line));
}

TEST_F(FlashCli, FailuresExitOneWithTheCodeAndItsMeaning) {
    struct Case {
        const char* args;
        const char* message;
    } cases[] = {
        {"flash --port /dev/korrtest-no-such-port", "error -2: the port is not available"},
        // The QS7 image starts at 0x1100, which a QE8 does not have: the loader refuses it.
        {"flash --simulate --device-type qe8", "error -1: the firmware loader refused the command"},
    };
    for (const Case& c : cases) {
        Outcome o = Run(c.args);
        EXPECT_EQ(o.status, 1) << c.args;
        EXPECT_TRUE(Has(o.err, c.message)) << c.args << "\n" << o.err;
        EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), "failed")) << "errors are logged";
    }
}

}  // namespace
