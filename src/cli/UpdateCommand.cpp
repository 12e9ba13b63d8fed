#include "cli/UpdateCommand.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/SerialNumberRule.h"
#include "app/UpdateSession.h"
#include "cli/DataFolder.h"
#include "cli/ErrorText.h"
#include "cli/JsonLine.h"
#include "cli/PortsCommand.h"
#include "cli/UpdateInterrupts.h"
#include "cli/UpdateUi.h"
#include "host/SimUpdateTarget.h"
#include "serial/Clock.h"

namespace korrcli {

namespace {

struct UpdateOptions {
    std::string port;
    std::string firmware;
    bool rep = false;
    bool factory = false;
    std::string newSerial;
    bool dontErase = false;
    bool yes = false;
    bool restoreLeftSettings = false;
    bool dryRun = false;
    bool json = false;
    bool simulate = false;
    std::string simTime = "real";
    korrsim::SimOptions sim;
};

// The simulator's own options, which make sense only with --simulate.
constexpr const char* kSimOnlyOptions[] = {"--type",          "--firmware-version",
                                           "--loader-active", "--loader-waiting",
                                           "--no-loader",     "--loader-version-lines",
                                           "--seed",          "--lose",
                                           "--corrupt",       "--noise",
                                           "--sim-time"};

constexpr CodeText kResultTexts[] = {
    {.code = -1, .text = "the instrument or its loader refused"},
    {.code = -10, .text = "there is no firmware image to send"},
    {.code = -11, .text = "the firmware image or the memory map is out of range for the loader"},
    {.code = -20, .text = "no usable connection to the instrument"},
    {.code = -21, .text = "no answer from the instrument"},
    {.code = -30, .text = "the instrument's answer was not understood"},
    {.code = -40, .text = "cancelled"},
    {.code = -60, .text = "out of memory"},
    {.code = -65, .text = "the instrument's data storage chip reports errors"},
    {.code = -80, .text = "the firmware loader answers instead of the firmware"},
    {.code = -81, .text = "the firmware loader is waiting instead of the firmware"},
    {.code = -100, .text = "the firmware file is not valid TI-Text"},
    {.code = -101, .text = "the built-in firmware image is damaged"},
    {.code = -103, .text = "the firmware image does not fit the instrument"},
    {.code = -105, .text = "the settings file could not be opened"},
    {.code = -106, .text = "the settings file could not be read"},
    {.code = -110, .text = "the firmware loader did not answer"},
    {.code = -112, .text = "the instrument has no working firmware loader"},
    {.code = -120, .text = "the instrument's firmware is too old for an update"},
    {.code = -121, .text = "the instrument is of another type"},
    {.code = -130, .text = "the instrument's battery is too low"},
    {.code = -140, .text = "another update uses this instrument's settings file"},
};

// A failed loader step says whether the loader refused or the line damaged what went to and fro;
// the code alone (-1) cannot.
std::string ResultMeaning(int32_t code, const korr::UpdateSession& session) {
    if (session.LoaderFailure() != korr::LoaderTrouble::None) return session.LoaderFailureMeaning();
    return CodeMeaning(kResultTexts, code, SystemErrorMeaning(code));
}

std::string SimulationFolder(const std::string& dataFolder) {
    const std::filesystem::path folder = std::filesystem::path(dataFolder) / "simulated";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return ec ? dataFolder : folder.string();
}

int UsageError(const std::string& what) {
    return ReportUsageError("update", what);
}

// The usage rules the window's menus enforce by what they offer.
std::optional<int> CheckUsage(const UpdateOptions& o, const CLI::App& sub) {
    if (!o.simulate) {
        for (const char* name : kSimOnlyOptions) {
            if (sub.count(name) > 0) return UsageError(std::string(name) + " needs --simulate");
        }
    }
    if (o.port.empty() && !o.simulate) {
        std::fprintf(stderr, "korrbsl update: --port is required; the serial ports are:\n");
        PrintPortList(stderr, false, nullptr);
        return kExitUsage;
    }
    if (!o.firmware.empty() && !o.rep && !o.factory)
        return UsageError("--firmware needs --rep or --factory");
    if (!o.newSerial.empty() && !o.factory) return UsageError("--new-serial needs --factory");
    if (o.dontErase && !o.factory) return UsageError("--dont-erase needs --factory");
    if (!o.newSerial.empty()) {
        const std::string problem = korr::SerialNumberProblem(o.newSerial);
        if (!problem.empty()) return UsageError("--new-serial is refused: " + problem);
    }
    if (o.simulate && korrsim::FindInstrumentType(o.sim.type) == nullptr)
        return UsageError("unknown simulated device type \"" + o.sim.type + "\"");
    return std::nullopt;
}

korr::AppSetup SetupFor(const UpdateOptions& o) {
    korr::AppSetup setup;
    setup.dataFolder = DataFolder();
    // A simulated instrument's settings must never be taken for a real one's.
    if (o.simulate) setup.dataFolder = SimulationFolder(setup.dataFolder);
    setup.factoryMode = o.factory;
    setup.repMode = o.rep || o.factory;
    setup.portName = o.port;
    return setup;
}

// The command that goes on from where an update ended; empty when there is none (or the
// instrument was a simulated one, gone with this run).
std::string NextCommand(const UpdateOptions& o, const korr::UpdateOutcome& outcome) {
    if (o.simulate) return "";
    const std::string port = "--port " + o.port;
    switch (outcome.next) {
        case korr::NextStep::None:
            break;
        case korr::NextStep::UpdateAgain: {
            std::string command = "korrbsl update " + port;
            if (o.factory) command += " --factory";
            if (o.rep && !o.factory) command += " --rep";
            if (!o.firmware.empty()) command += " --firmware \"" + o.firmware + "\"";
            return command;
        }
        case korr::NextStep::RestoreSettings:
            return "korrbsl settings restore " + port + " \"" + outcome.settingsFile + "\"";
    }
    return "";
}

// The next command, and what it does.
std::string NextCommandLine(const korr::UpdateOutcome& outcome, const std::string& command) {
    switch (outcome.holds) {
        case korr::InstrumentHolds::Untouched:
            return "Next, once the cause is mended: " + command;
        case korr::InstrumentHolds::LoaderWaiting:
        case korr::InstrumentHolds::HalfProgrammed:
        case korr::InstrumentHolds::Unchecked:
            return "Next: " + command + " (finishes the update" +
                   (outcome.settingsFile.empty() ? ")" : " and puts the kept settings back)");
        case korr::InstrumentHolds::Updated:
            break;
    }
    return "Next: " + command + " (puts the kept settings back)";
}

// Another instrument's settings go into this one only when asked for on purpose: a question
// nobody can answer keeps the file aside.
korr::LeftSettingsChoice LeftSettingsChoiceFor(const UpdateOptions& o, bool terminal) {
    if (o.restoreLeftSettings) return korr::LeftSettingsChoice::Restore;
    if (o.yes || !terminal) return korr::LeftSettingsChoice::KeepAside;
    return korr::LeftSettingsChoice::Ask;
}

// The end of the last line: what became of the settings.
std::string SettingsEnding(const korr::UpdateSession& session) {
    const std::string& kept = session.KeptSettingsFile();
    const std::string& missing = session.MissingSettings();
    switch (session.SettingsResult()) {
        case korr::SettingsOutcome::Restored:
            return " and its settings restored.";
        case korr::SettingsOutcome::NotKept:
            return "; it keeps no settings across an update.";
        case korr::SettingsOutcome::PartlyRestored:
            if (!missing.empty()) {
                return "; some of its settings could not be saved and are lost (" + missing + ")" +
                       (kept.empty() ? "." : "; the settings file is kept in " + kept + ".");
            }
            return "; its settings did not all go back" +
                   (kept.empty() ? std::string(".") : " and are kept in " + kept + ".");
        case korr::SettingsOutcome::NotRestored:
            break;
    }
    return "; its settings were NOT restored" +
           (kept.empty() ? std::string(".") : " (the settings file is kept in " + kept + ").");
}

// The last lines: what happened, what the instrument holds now and what goes on from there.
void ReportResult(const UpdateOptions& o, korr::UpdateSession& session, int32_t result,
                  uint32_t seconds) {
    const korr::AppState& state = session.State();
    const std::string verdict = korr::DryRunVerdict(session.DryRun(), state.productName);
    const korr::UpdateOutcome& outcome = session.Outcome();
    const std::string next = NextCommand(o, outcome);
    if (o.json) {
        JsonLine line("result");
        line.Add("code", int64_t{result})
            .Add("meaning", result < 0 ? ResultMeaning(result, session)
                            : o.dryRun ? verdict
                                       : std::string("updated"))
            .Add("seconds", int64_t{seconds})
            .Add("log", state.errorLogPath)
            .Add("settings-kept", session.KeptSettingsFile())
            .Add("instrument", korr::HoldsName(outcome.holds))
            .Add("next", next)
            .Add("settings-missing", session.MissingSettings());
        if (!o.dryRun) {
            line.Add("settings", result >= 0 ? korr::SettingsOutcomeName(session.SettingsResult())
                                             : "not restored");
        }
        if (o.dryRun) line.Add("dry-run", true);
        line.Write(stdout);
        return;
    }
    if (result < 0) {
        const bool stopped = result == korr::kUpdateCancelled && !state.continueFlag;
        // The command's last line tells where the log is.
        ReportError(result,
                    stopped ? "the update was stopped" : ResultMeaning(result, session).c_str());
        if (o.dryRun) {
            std::fprintf(stderr,
                         "Dry run: a real update would stop here. Nothing was erased; the "
                         "instrument was left as it was.\n");
            return;
        }
        std::fprintf(stderr, "%s\n", korr::OutcomeText(outcome, state.productName).c_str());
        if (!next.empty()) std::fprintf(stderr, "%s\n", NextCommandLine(outcome, next).c_str());
        return;
    }
    if (o.dryRun) {
        std::printf("Dry run: %s. Nothing was erased; the instrument was left as it was.\n",
                    verdict.c_str());
        return;
    }
    const char* simulated = o.simulate ? "simulated " : "";
    std::printf("The %s%s was updated to %s%s\n", simulated, state.productName.c_str(),
                session.Host().image.name, SettingsEnding(session).c_str());
}

// What a stop asked for now will do, said at once: the update may still run for a while.
const char* StopWillDo(korr::UpdateStage stage) {
    switch (stage) {
        case korr::UpdateStage::Checking:
            return "Stopping before the firmware loader starts: nothing on the instrument is "
                   "changed.";
        case korr::UpdateStage::LoaderStarting:
        case korr::UpdateStage::Erasing:
            return "Stopping at the loader's next step; the last lines say what that leaves "
                   "and how to finish the update.";
        case korr::UpdateStage::Programmed:
        case korr::UpdateStage::Restored:
            break;
    }
    return "The new firmware is already programmed: the update finishes its last steps "
           "instead of stopping.";
}

int ExitStatus(int32_t result, const CliUserInterface& ui, const korr::UpdateSession& session,
               bool dryRun) {
    if (result >= 0) {
        if (dryRun) return kExitOk;  // nothing was erased, nothing had to come back
        const korr::SettingsOutcome s = session.SettingsResult();
        const bool allBack =
            s == korr::SettingsOutcome::Restored || s == korr::SettingsOutcome::NotKept;
        return allBack ? kExitOk : kExitSettingsNotBack;
    }
    return ui.Cancelled() ? kExitCancelled : kExitFailed;
}

// Everything an update needs before Start: the image, the toggles.
int32_t Prepare(const UpdateOptions& o, korr::UpdateSession& session) {
    if (session.Host().image.status < 0) {
        session.ShowConstructorError();
        return session.Host().image.status;
    }
    if (!o.firmware.empty()) {
        const int32_t r = session.OpenFirmwareFile(o.firmware);
        if (r < 0) return r;
    }
    if (!o.newSerial.empty()) {
        session.SetReplaceSerialNumber(true);
        session.SetNewSerialNumber(o.newSerial);
    }
    session.SetDontEraseData(o.dontErase);
    session.SetDryRun(o.dryRun);
    return 1;
}

int RunUpdate(const UpdateOptions& o, const CLI::App& sub, CommandLog& log) {
    if (auto usage = CheckUsage(o, sub)) return *usage;

    // The instrument outlives the session, whose loader engine lets go of the port last.
    std::optional<korrsim::SimUpdateTarget> sim;
    korr::AppSetup setup = SetupFor(o);
    if (o.simulate) {
        sim.emplace(o.sim, *korrsim::FindInstrumentType(o.sim.type), o.simTime == "real",
                    o.port.empty() ? "sim0" : o.port);
        setup.portName = sim->Port();
    }
    log.ConcernPort(setup.portName, o.simulate);
    const bool terminal = ::isatty(0) == 1;
    CliUserInterface ui({.json = o.json, .yes = o.yes, .askTerminal = terminal});
    korr::UpdateSession session(ui, setup, log.Log());
    session.State().leftSettingsChoice = LeftSettingsChoiceFor(o, terminal);
    const int32_t prepared = Prepare(o, session);
    if (prepared < 0) {
        ReportResult(o, session, prepared, 0);
        return kExitFailed;
    }

    UpdateInterrupts interrupts([&] { session.WarnAgainstStopping(); },
                                [&](bool asked) {
                                    ui.EndLine();
                                    std::fprintf(stderr, "%s%s\n",
                                                 asked ? "Asked to end. " : "",
                                                 StopWillDo(session.Stage()));
                                    session.AbandonUpdate();
                                });
    ui.SetEventHandler([&] { interrupts.Poll(); });
    korr::SetEventPump([&](uint32_t maxMs) {
        korr::SleepMs(maxMs < 100 ? maxMs : 100);
        interrupts.Poll();
    });

    if (!session.StartRequested()) return kExitUsage;
    const uint32_t start = korr::TickMs();
    const int32_t result = session.timerStartTimer();
    const uint32_t seconds = korr::ElapsedSeconds(start, korr::TickMs());
    korr::SetEventPump(nullptr);
    ui.EndLine();
    ReportResult(o, session, result, seconds);
    return ExitStatus(result, ui, session, o.dryRun);
}

}  // namespace

void RegisterUpdateCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub = app.add_subcommand(
        "update", "Update an instrument's firmware, keeping its settings (the window's Start)");
    auto o = std::make_shared<UpdateOptions>();
    sub->add_option("--port", o->port, "serial port of the instrument (ttyUSB0 or a path)");
    sub->add_option("--firmware", o->firmware, "TI-Text file to install (needs --rep or --factory)")
        ->check(CLI::ExistingFile);
    sub->add_flag("--rep", o->rep, "representative mode: other firmware files may be installed");
    sub->add_flag("--factory", o->factory,
                  "factory mode: any device, no newer-firmware question, --new-serial, "
                  "--dont-erase");
    sub->add_option("--new-serial", o->newSerial, "give the instrument this serial number");
    sub->add_flag("--dont-erase", o->dontErase, "keep the instrument's stored data");
    sub->add_flag("--yes", o->yes,
                  "answer OK to every OK/Cancel question (a settings file of another update is "
                  "kept aside, not restored)");
    sub->add_flag("--restore-left-settings", o->restoreLeftSettings,
                  "restore a settings file an unfinished update left even when nothing ties it "
                  "to this instrument");
    sub->add_flag("--dry-run", o->dryRun,
                  "run every check up to the first erase, then stop without starting the "
                  "loader: exit 0 when a real update would go ahead");
    sub->add_flag("--json", o->json, "one JSON object a line on stdout, for scripts");
    AddLogOptions(sub, commands.logOptions);
    sub->add_flag("--simulate", o->simulate,
                  "update the built-in simulated instrument instead of a real one");
    sub->add_option("--sim-time", o->simTime, "simulated time: real (default) or virtual")
        ->check(CLI::IsMember({"real", "virtual"}));
    korrsim::AddSimOptions(*sub, o->sim);
    commands.entries.emplace_back(
        sub, [o, sub, &commands] { return RunUpdate(*o, *sub, commands.log); });
}

}  // namespace korrcli
