// korrbsl update as a script or a technician runs it: against the built-in simulated
// instrument in virtual time, its exit statuses, its JSON lines and its questions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "support/OutputText.h"
#include "support/Spawn.h"
#include "support/TempDir.h"

namespace {

using korrtest::SpawnResult;

struct Cli {
    korrtest::TempDir dir;
    SpawnResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), "update");
        return korrtest::Spawn(KORRBSL_PATH, args, {"XDG_DATA_HOME=" + dir.File("data")});
    }
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    for (size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1) {
        lines.push_back(text.substr(begin, end - begin));
    }
    return lines;
}

using korrtest::Has;

TEST(UpdateCli, UpdatesTheSimulatedInstrumentAndSaysSo) {
    Cli cli;
    const SpawnResult r = cli.Run({"--simulate", "--sim-time", "virtual"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> out = Lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(),
              "The simulated Quorra Series 7 was updated to QS7 3.60 and its settings restored.");
    EXPECT_TRUE(Has(r.out, "Restoring settings...")) << r.out;
    EXPECT_TRUE(Has(r.out, "  50%")) << r.out;
}

TEST(UpdateCli, JsonLinesAScriptCanRead) {
    Cli cli;
    const SpawnResult r = cli.Run({"--simulate", "--sim-time", "virtual", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> out = Lines(r.out);
    ASSERT_GT(out.size(), 10u);
    for (const std::string& line : out) {
        EXPECT_EQ(line.rfind("{\"event\": \"", 0), 0u) << line;
        EXPECT_EQ(line.back(), '}') << line;
    }
    EXPECT_EQ(out.back().rfind("{\"event\": \"result\", \"code\": 1, ", 0), 0u) << out.back();
    EXPECT_TRUE(Has(out.back(), "\"seconds\": ")) << out.back();
    EXPECT_TRUE(Has(r.out, "{\"event\": \"status\", \"text\": \"Restoring settings...\"}"));
    EXPECT_TRUE(Has(r.out, "{\"event\": \"progress\", \"position\": 92}"));
    EXPECT_TRUE(Has(r.out, "{\"event\": \"file\", \"role\": \"log\", \"path\": \""));
    EXPECT_TRUE(Has(r.out, "{\"event\": \"file\", \"role\": \"settings\", \"path\": \""));
}

TEST(UpdateCli, AQuestionAnsweredCancelEndsWithThree) {
    Cli cli;
    // Newer firmware in the instrument: asked; without --yes and without a terminal, Cancel.
    SpawnResult r =
        cli.Run({"--simulate", "--sim-time", "virtual", "--firmware-version", "3.61", "--json"});
    EXPECT_EQ(r.status, 3) << r.out << r.err;
    EXPECT_TRUE(Has(r.out,
                    "{\"event\": \"question\", \"title\": \"Newer Firmware\", \"text\": "
                    "\"The firmware in your Quorra Series 7\\nis newer than the version in "
                    "this updater.\\n\\nAre you sure you want to load older firmware.\", "
                    "\"answer\": \"cancel\"}"))
        << r.out;
    EXPECT_TRUE(Has(r.err, "Newer Firmware: answered Cancel")) << r.err;
    EXPECT_TRUE(Has(Lines(r.out).back(), "\"code\": -40"));

    r = cli.Run({"--simulate", "--sim-time", "virtual", "--firmware-version", "3.61", "--yes"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
}

TEST(UpdateCli, FailureNamesTheCodeAndTheLog) {
    Cli cli;
    const SpawnResult r = cli.Run({"--simulate", "--sim-time", "virtual", "--no-loader"});
    EXPECT_EQ(r.status, 1);
    const std::vector<std::string> err = Lines(r.err);
    ASSERT_GE(err.size(), 4u) << r.err;
    EXPECT_EQ(err[0],
              "Firmware Loader Error: This Quorra Series 7 does not have a working firmware "
              "loader.");
    EXPECT_EQ(err[err.size() - 3], "error -112: the instrument has no working firmware loader");
    // The firmware refused the boot command: nothing changed, and no update can go on.
    // The settings file stays: a loader whose answer the line garbled is refused alike.
    EXPECT_EQ(err[err.size() - 2].rfind("The Quorra Series 7 was not changed: it runs its firmware "
                                        "with its own settings; its settings are kept in \"",
                                        0),
              0u)
        << err[err.size() - 2];
    EXPECT_EQ(err.back().rfind("The log is in " + cli.dir.File("data"), 0), 0u) << err.back();
}

// A firmware file that cannot be read, or whose image does not fit the instrument, is refused
// with its own words: the last line never reads a result code as a system error.
TEST(UpdateCli, AFirmwareFileThatCannotBeUsedIsNamedInItsOwnWords) {
    Cli cli;
    const std::string corrupt = cli.dir.File("QS7 9-98.txt");
    korrtest::WriteFile(corrupt, "@1100\n11 ZZ 33\n@FFFE\n00 11\nq\n");
    const std::string quorra8 = cli.dir.File("QS7 9-99.txt");
    korrtest::WriteFile(quorra8, korrtest::ReadFile(KORR_FIRMWARE_DIR "/QE8 2-10.txt"));
    struct Case {
        std::string file;
        std::string box;
        std::string last;
    } cases[] = {
        {corrupt,
         "File Error: The file \"QS7 9-98.txt\" is not a valid firmware file:\nline 2: \"ZZ\" is "
         "not two hex digits.",
         "error -100: the firmware file is not valid TI-Text"},
        {quorra8,
         "Firmware Does Not Fit: The firmware \"QS7 9.99\" does not fit your Quorra Series 7:\nthe "
         "bytes 0x10000-0x137FF lie outside",
         "error -103: the firmware image does not fit the instrument"},
    };
    for (const Case& c : cases) {
        const SpawnResult r =
            cli.Run({"--simulate", "--sim-time", "virtual", "--rep", "--firmware", c.file});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_TRUE(Has(r.err, c.box)) << r.err;
        EXPECT_TRUE(Has(r.err, c.last + "\n")) << r.err;
        EXPECT_FALSE(Has(r.err, "Erasing")) << r.err;
    }
}

TEST(UpdateCli, UsageErrors) {
    Cli cli;
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{}, "--port is required; the serial ports are:"},
        {{"--simulate", "--firmware", KORR_FIRMWARE_DIR "/QS7 3-61.txt"},
         "--firmware needs --rep or --factory"},
        {{"--simulate", "--new-serial", "SN1"}, "--new-serial needs --factory"},
        {{"--simulate", "--dont-erase"}, "--dont-erase needs --factory"},
        {{"--simulate", "--factory", "--new-serial", "0123456789ABCDEF"}, "at most 15"},
        {{"--port", "ttyUSB9", "--seed", "3"}, "--seed needs --simulate"},
        {{"--simulate", "--type", "XX"}, "unknown simulated device type \"XX\""},
    };
    for (const Case& c : cases) {
        const SpawnResult r = cli.Run(c.args);
        EXPECT_EQ(r.status, 2) << c.says;
        EXPECT_TRUE(Has(r.err, c.says)) << r.err;
    }
}

// The settings files in the simulated instrument's data folder.
std::vector<std::string> SettingsFiles(const Cli& cli) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry :
         std::filesystem::directory_iterator(cli.dir.File("data/Korrin/KorrBSL/simulated"), ec)) {
        const std::string name = entry.path().filename().string();
        // A settings file's lock stays behind by design; it holds no settings.
        if (name.size() < 5 || name.substr(name.size() - 5) != ".lock") names.push_back(name);
    }
    return names;
}

TEST(UpdateCli, DryRunSaysWhetherARealUpdateWouldGoAhead) {
    Cli cli;
    SpawnResult r = cli.Run({"--simulate", "--sim-time", "virtual", "--dry-run"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(Lines(r.out).back(),
              "Dry run: a real update would go ahead: the Quorra Series 7 runs QS7 3.55 and "
              "would be updated to QS7 3.60; its settings were read twice, agreed and could be "
              "written. Nothing was erased; the instrument was left as it was.");
    EXPECT_FALSE(Has(r.out, "Starting the firmware loader")) << r.out;
    EXPECT_TRUE(SettingsFiles(cli).empty());

    r = cli.Run({"--simulate", "--sim-time", "virtual", "--dry-run", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(Lines(r.out).back(),
                    "\"code\": 1, \"meaning\": \"a real update would go "
                    "ahead: "))
        << r.out;
    EXPECT_TRUE(Has(Lines(r.out).back(), "\"dry-run\": true}")) << r.out;

    r = cli.Run({"--simulate", "--sim-time", "virtual", "--dry-run", "--type", "QE8"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const std::vector<std::string> err = Lines(r.err);
    ASSERT_GE(err.size(), 3u) << r.err;
    EXPECT_EQ(err[err.size() - 3], "error -121: the instrument is of another type");
    EXPECT_EQ(err[err.size() - 2],
              "Dry run: a real update would stop here. Nothing was erased; the instrument was "
              "left as it was.");
}

TEST(UpdateCli, ALossyLineIsToldFromARefusalAndPilesUpNoSettingsFiles) {
    Cli cli;
    for (const char* seed : {"1", "2"}) {
        SCOPED_TRACE(seed);
        const SpawnResult r =
            cli.Run({"--simulate", "--sim-time", "virtual", "--lose", "0.002", "--seed", seed});
        EXPECT_EQ(r.status, 1) << r.err;
        const std::vector<std::string> err = Lines(r.err);
        // The error line, then what the instrument holds, the next command and the log.
        const auto found = std::find_if(err.begin(), err.end(), [](const std::string& l) {
            return l.rfind("error -1: ", 0) == 0;
        });
        ASSERT_NE(found, err.end()) << r.err;
        const std::string& line = *found;
        EXPECT_EQ(line.rfind("error -1: the firmware loader refused a command that most likely "
                             "reached it damaged: ",
                             0),
                  0u)
            << line;
        EXPECT_TRUE(Has(line,
                        "the line is losing or garbling bytes (check the cable and its "
                        "connections)"))
            << line;
        // The upload failed after the erase: the one settings file is kept, none moved aside.
        EXPECT_EQ(SettingsFiles(cli),
                  std::vector<std::string>{"Quorra Series 7.sim0.settings.txt"});
    }
}

}  // namespace
