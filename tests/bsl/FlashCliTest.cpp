// korrbsl flash as a user runs it, against the in-process simulated instrument (--simulate).
#include <gtest/gtest.h>

#include <ctime>
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
    EXPECT_TRUE(Has(o.out,
                    "Identifying the instrument on sim0...\nFound Quorra Series 7 (QS7 "
                    "3.55).\nStarting the firmware loader on sim0...\n"))
        << o.out;
    EXPECT_TRUE(Has(o.out, "Uploading new firmware code: 100%")) << o.out;
    EXPECT_TRUE(Has(o.out, "Programmed QS7 3.60 into the Quorra Series 7 in ")) << o.out;
    EXPECT_TRUE(Has(o.out, "restarted into its new firmware")) << o.out;
    EXPECT_EQ(o.err, "");
}

TEST_F(FlashCli, DryRunStopsBeforeTheLoader) {
    SpawnResult o = Run({"flash", "--simulate", "--dry-run"});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(o.out,
              "Identifying the instrument on sim0...\nFound Quorra Series 7 (QS7 3.55).\nDry "
              "run: programming would go ahead (QS7 3.60 into the Quorra Series 7). Nothing was "
              "erased and the firmware loader was not started.\n");
    o = Run({"flash", "--simulate", "--dry-run", "--device-type", "QE8"});
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_TRUE(Has(o.err, "Nothing was erased")) << o.err;
}

TEST_F(FlashCli, VerboseLogGoesToTheDataFolderAndToStderr) {
    SpawnResult o = Run({"flash", "--simulate", "-v"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string line =
        "KorrBSL [sim0, simulated]: BSLConnect connected to device running KorrBSL version 12";
    EXPECT_TRUE(Has(o.err, line)) << o.err;
    EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), line));
}

TEST_F(FlashCli, FailuresExitOneNamingTheCauseAndTheLog) {
    const std::string firmware = std::string(KORR_FIRMWARE_DIR) + "/QE8 2-10.txt";
    // The QS7 image under a QE8 name: it fits a QS7, but its name says it is for another type.
    const std::string corrupt = dir.File("QS7 9-98.txt");
    korrtest::WriteFile(corrupt, "@1100\n31 40 00 0A\nB2 ZZ 80 5A\n@FFFE\n00 11\nq\n");
    const std::string qs7NamedQe8 = dir.File("QE8 1-00.txt");
    korrtest::WriteFile(qs7NamedQe8,
                        korrtest::ReadFile(std::string(KORR_FIRMWARE_DIR) + "/QS7 3-60.txt"));
    struct Case {
        std::vector<std::string> args;
        std::string message;
        const char* logged;
    } cases[] = {
        {.args = {"flash", "--port", "/dev/korrtest-no-such-port"},
         .message = "error: /dev/korrtest-no-such-port isn't available",
         .logged = "Opening the port failed"},
        {.args = {"flash", "--port", "x", "--firmware", "/no/such/file.txt"},
         .message = "error: cannot read /no/such/file.txt: No such file or directory\n",
         .logged = "BSLLoadTIFile got error 2"},
        // A byte of the file replaced by "ZZ": not a shifted image programmed, but nothing sent.
        {.args = {"flash", "--simulate", "--firmware", corrupt},
         .message = "error: " + corrupt +
                    " is not a valid TI-Text firmware file: reading stopped "
                    "at line 3: \"ZZ\" is not two hex digits\n",
         .logged = ""},  // the reader's lines are details, logged with -v
        // Another product, and an image for another type: refused before anything is erased.
        {.args = {"flash", "--simulate", "--firmware", firmware},
         .message = "error: not programming: found Quorra 8 (QE8 3.55), but this updater is for "
                    "the Quorra Series 7. Nothing was erased (--factory overrides this)\n",
         .logged = "Update refused"},
        {.args = {"flash", "--simulate", "--firmware", qs7NamedQe8, "--device-type", "QS7"},
         .message = "error: not programming: the firmware QE8 1.00 is for the Quorra 8, but the "
                    "instrument is a Quorra Series 7 (QS7 3.55)",
         .logged = "Update refused"},
        // An image that does not fit the type's memory is refused before the instrument is even
        // asked, whatever --factory says: erased first, it would stop half-way.
        {.args = {"flash", "--simulate", "--firmware", firmware, "--device-type", "QS7"},
         .message = "error: not programming: the firmware QE8 2.10 does not fit the Quorra "
                    "Series 7: the bytes 0x10000-0x137FF lie outside the Quorra Series 7's flash "
                    "(0x1100-0xF9FF) and information memory (0x1000-0x10FF). Nothing was erased\n",
         .logged = "Update refused: the image QE8 2.10 does not fit"},
        {.args = {"flash", "--simulate", "--device-type", "qe8", "--factory"},
         .message = "error: not programming: the firmware QS7 3.60 does not fit the Quorra 8: "
                    "the bytes 0x1100-0x20FF lie outside the Quorra 8's flash (0x2100-0x1FF00) "
                    "and information memory (0x1000-0x10BF). Nothing was erased\n",
         .logged = "does not fit"},
    };
    for (const Case& c : cases) {
        SpawnResult o = Run(c.args);
        const std::string shown = ::testing::PrintToString(c.args);
        EXPECT_EQ(o.status, 1) << shown;
        EXPECT_TRUE(Has(o.err, c.message)) << shown << "\n" << o.err;
        EXPECT_TRUE(Has(o.err, "The log is in " + LogFile() + "\n")) << shown << "\n" << o.err;
        EXPECT_TRUE(Has(korrtest::ReadFile(LogFile()), c.logged)) << shown;
    }
}

TEST_F(FlashCli, FactoryProgramsAnotherProduct) {
    const std::string firmware = std::string(KORR_FIRMWARE_DIR) + "/QE8 2-10.txt";
    SpawnResult o = Run({"flash", "--simulate", "--firmware", firmware, "--factory"});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "Going on anyway (--factory): found Quorra 8 (QE8 3.55)")) << o.out;
    EXPECT_TRUE(Has(o.out, "Programmed QE8 2.10 into the Quorra 8")) << o.out;
}

TEST_F(FlashCli, SimulatedLinesSaySoAndCarryTheRealDate) {
    ASSERT_EQ(Run({"flash", "--simulate", "-v"}).status, 0);
    const std::string log = korrtest::ReadFile(LogFile());
    EXPECT_TRUE(Has(log, " - KorrBSL [sim0, simulated]: BSLConnect connected")) << log;
    // Today's date, not the simulator's clock (which starts on 1 December 2026).
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char monthYear[16];
    std::strftime(monthYear, sizeof monthYear, " %b %Y ", &local);
    EXPECT_EQ(log.rfind(std::to_string(local.tm_mday) + monthYear, 0), 0u) << log;
}

TEST_F(FlashCli, TheHelpNamesTheLogAndAnUnwritableLogIsAWarning) {
    SpawnResult help = Run({"flash", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(Has(help.out, LogFile())) << help.out;
    const std::string bad = dir.File("no/such/folder/x.log");
    SpawnResult o = Run({"flash", "--simulate", "--log", bad});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(Has(o.err, "korrbsl: warning: cannot write the log " + bad)) << o.err;
}

}  // namespace
