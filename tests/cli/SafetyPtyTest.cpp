// korrbsl as a technician meets it, against korrsim on a pseudo-terminal in real time: nothing
// is erased on an instrument that is not the right one, a cancel stops where it says, and a
// later run recovers an instrument left half-programmed.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/OutputText.h"
#include "support/SmallFirmware.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::ChildProcess;
using korrtest::Has;

// The first line of calibration data korrsim --calibration puts at 0x1000, as its dump shows it.
constexpr const char* kCalibrationLine = "@1000\n5A 5B 58 59 5E 5F 5C 5D 52 53 50 51 56 57 54 55";

// korrsim on a link in the test's folder; its flash is dumped when it is stopped.
class Korrsim {
  public:
    Korrsim(korrtest::TempDir& dir, const std::vector<std::string>& options)
        : port_(dir.File("port")), dump_(dir.File("flash.txt")), child_(Args(options)) {}

    bool Started() { return child_.ReadLine(5000).rfind("/dev/", 0) == 0; }
    const std::string& Port() const { return port_; }
    // Stops korrsim and returns its flash as TI-Text.
    std::string StopAndDump() {
        child_.Signal(SIGTERM);
        if (child_.Wait(5000) != 0) return "korrsim did not stop";
        return korrtest::ReadFile(dump_);
    }

  private:
    std::vector<std::string> Args(const std::vector<std::string>& options) const {
        std::vector<std::string> args{KORRSIM_PATH, "--link", port_, "--dump-flash", dump_};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    std::string port_;
    std::string dump_;
    ChildProcess child_;
};

class SafetyPty : public ::testing::Test {
  protected:
    std::vector<std::string> Env() const { return {"XDG_DATA_HOME=" + dir.File("data")}; }
    korrtest::SpawnResult Korrbsl(const std::vector<std::string>& args) {
        return korrtest::SpawnCombined(KORRBSL_PATH, args, Env());
    }
    // A firmware file small enough to program in a few seconds at 9600 baud.
    std::string SmallFirmware(int bytes) {
        const std::string file = dir.File("QS7 9-99.txt");
        korrtest::WriteFile(file, korrtest::SmallFirmwareText(bytes));
        return file;
    }

    korrtest::TempDir dir;
};

TEST_F(SafetyPty, AnotherProductIsRefusedWithNothingErased) {
    Korrsim sim(dir, {"--type", "QE8", "--calibration"});
    ASSERT_TRUE(sim.Started());
    const korrtest::SpawnResult r = Korrbsl({"flash", "--port", sim.Port()});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out,
                    "found Quorra 8 (QE8 3.55), but this updater is for the Quorra "
                    "Series 7. Nothing was erased"))
        << r.out;
    EXPECT_FALSE(Has(r.out, "Starting the firmware loader")) << r.out;
    EXPECT_TRUE(Has(sim.StopAndDump(), kCalibrationLine)) << "the information memory is intact";
}

// A corrupt file and an image that does not fit the instrument are refused by flash and by
// update alike, and the instrument's flash is exactly what it was.
TEST_F(SafetyPty, ACorruptOrMisfittingFileLeavesTheFlashUntouched) {
    std::string untouched;
    {
        Korrsim fresh(dir, {"--calibration"});
        ASSERT_TRUE(fresh.Started());
        untouched = fresh.StopAndDump();
    }
    ASSERT_TRUE(Has(untouched, kCalibrationLine));
    const std::string corrupt = dir.File("QS7 9-98.txt");
    std::string text = korrtest::SmallFirmwareText(64);
    text.replace(text.find("0B "), 2, "ZZ");  // the first byte, at 0x1100
    korrtest::WriteFile(corrupt, text);
    const std::string quorra8 = dir.File("QS7 9-99.txt");
    korrtest::WriteFile(quorra8, korrtest::ReadFile(KORR_FIRMWARE_DIR "/QE8 2-10.txt"));

    Korrsim sim(dir, {"--calibration"});
    ASSERT_TRUE(sim.Started());
    const struct Case {
        std::vector<std::string> args;
        const char* said;
    } cases[] = {
        {{"flash", "--port", sim.Port(), "--firmware", corrupt}, "\"ZZ\" is not two hex digits"},
        {{"flash", "--port", sim.Port(), "--firmware", quorra8},
         "does not fit the Quorra Series 7: the bytes 0x10000-0x137FF lie outside"},
        {{"update", "--port", sim.Port(), "--rep", "--firmware", quorra8},
         "error -103: the firmware image does not fit the instrument"},
    };
    for (const Case& c : cases) {
        const korrtest::SpawnResult r = Korrbsl(c.args);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, c.said)) << r.out;
        EXPECT_FALSE(Has(r.out, "Erasing")) << r.out;
    }
    EXPECT_EQ(sim.StopAndDump(), untouched) << "the flash is exactly as it was";
}

TEST_F(SafetyPty, CtrlCWhileTheLoaderStartsErasesNothing) {
    Korrsim sim(dir, {"--calibration"});
    ASSERT_TRUE(sim.Started());
    ChildProcess flash({KORRBSL_PATH, "flash", "--port", sim.Port()}, Env(), true);
    ASSERT_TRUE(flash.WaitForLine("Starting the firmware loader", 10000)) << flash.Output();
    flash.Signal(SIGINT);
    EXPECT_EQ(flash.Wait(15000), 1) << flash.Output();
    EXPECT_TRUE(Has(flash.Output(), "Cancelled. Nothing was erased.")) << flash.Output();
    EXPECT_FALSE(Has(flash.Output(), "Erasing")) << flash.Output();
    EXPECT_TRUE(Has(sim.StopAndDump(), kCalibrationLine)) << "the information memory is intact";
}

TEST_F(SafetyPty, ALaterRunRecoversAnInstrumentCancelledMidUpload) {
    const std::string firmware = SmallFirmware(1200);
    Korrsim sim(dir, {});
    ASSERT_TRUE(sim.Started());
    {
        // SIGTERM cancels as Ctrl-C does.
        ChildProcess flash({KORRBSL_PATH, "flash", "--port", sim.Port(), "--firmware", firmware},
                           Env(), true);
        ASSERT_TRUE(flash.WaitForLine("Uploading new firmware code: 0%", 60000)) << flash.Output();
        flash.Signal(SIGTERM);
        EXPECT_EQ(flash.Wait(15000), 1) << flash.Output();
        EXPECT_TRUE(Has(flash.Output(),
                        "Cancelled. The instrument is half-programmed and cannot "
                        "start its firmware: running the same command again "
                        "recovers it."))
            << flash.Output();
    }
    const korrtest::SpawnResult again =
        Korrbsl({"flash", "--port", sim.Port(), "--firmware", firmware});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(Has(again.out, "The firmware loader answers: going on")) << again.out;
    EXPECT_TRUE(Has(again.out, "Programmed QS7 9.99")) << again.out;
    EXPECT_TRUE(Has(sim.StopAndDump(), "@1100\n0B 30 55 7A")) << "the new firmware is in flash";
}

TEST_F(SafetyPty, IdentifyTellsOfAnInterruptedUpdate) {
    const struct Case {
        const char* option;
        const char* state;
    } cases[] = {{.option = "--loader-active", .state = "active"},
                 {.option = "--loader-waiting", .state = "waiting"}};
    for (const Case& c : cases) {
        Korrsim sim(dir, {c.option});
        ASSERT_TRUE(sim.Started());
        const korrtest::SpawnResult r = Korrbsl({"identify", "--port", sim.Port()});
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_TRUE(Has(r.out, "error: on " + sim.Port() + " the instrument's firmware loader is " +
                                   c.state + ": an update was interrupted; \"korrbsl flash " +
                                   "--port " + sim.Port() + "\" finishes it\n"))
            << r.out;
    }
}

TEST_F(SafetyPty, DryRunsLeaveTheInstrumentRunningItsFirmware) {
    const std::vector<std::string> commands[] = {{"flash", "--dry-run"},
                                                 {"update", "--dry-run", "--yes"}};
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0]);
        Korrsim sim(dir, {"--calibration"});
        ASSERT_TRUE(sim.Started());
        std::vector<std::string> args = command;
        args.insert(args.end(), {"--port", sim.Port()});
        const korrtest::SpawnResult r = Korrbsl(args);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_TRUE(Has(r.out, "Dry run: ")) << r.out;
        EXPECT_FALSE(Has(r.out, "Starting the firmware loader")) << r.out;
        const korrtest::SpawnResult identify = Korrbsl({"identify", "--port", sim.Port()});
        EXPECT_EQ(identify.status, 0) << identify.out;
        EXPECT_TRUE(Has(identify.out, "QS7 3.55")) << identify.out;
        EXPECT_TRUE(Has(sim.StopAndDump(), kCalibrationLine)) << "the information memory is intact";
    }
}

TEST_F(SafetyPty, FlashTellsALossyLineFromTheLoadersRefusal) {
    Korrsim sim(dir, {"--lose", "0.004", "--seed", "3"});
    ASSERT_TRUE(sim.Started());
    const korrtest::SpawnResult r = Korrbsl({"flash", "--port", sim.Port()});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(Has(r.out,
                    "the line is losing or garbling bytes (check the cable and its "
                    "connections)\n"))
        << r.out;
    EXPECT_FALSE(Has(r.out, "the firmware loader refused the command")) << r.out;
}

}  // namespace
