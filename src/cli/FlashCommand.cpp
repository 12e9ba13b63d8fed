#include "cli/FlashCommand.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "app/ImageTexts.h"
#include "app/LoaderTroubleText.h"
#include "bsl/KorrBSLHost.h"
#include "cli/DataFolder.h"
#include "cli/ErrorText.h"
#include "cli/FirmwareFile.h"
#include "cli/InstrumentCheck.h"
#include "cli/PortAccess.h"
#include "cli/ProgressBar.h"
#include "cli/StopSignals.h"
#include "cli/UpdateCommand.h"
#include "device/DeviceIdentification.h"
#include "device/DeviceTypes.h"
#include "firmware/ImageFit.h"
#include "host/SimUpdateTarget.h"
#include "instrument/Korr_protocol.h"
#include "log/KorrLog.h"
#include "serial/Clock.h"

namespace korrcli {

namespace {

constexpr const char* kTag = "KorrBSL Host";

struct FlashOptions {
    std::string port;
    CLI::Option* portOption = nullptr;
    std::string firmware;
    std::string deviceType;
    bool simulate = false;
    bool factory = false;
    bool yes = false;
    bool dryRun = false;
};

// How far a run got; a cancel or a failure says what that left on the instrument.
enum class Step { Image, Identify, Connect, EraseInfo, EraseFlash, Upload, Vectors, Restart };

// Ctrl-C, SIGTERM and SIGHUP ask to cancel at the next step or progress call; the same signal
// a second time ends the program.
const StopSignals* g_stop = nullptr;

bool Cancelled() {
    return g_stop != nullptr && g_stop->Any();
}

// The signals a run listens to, from its identify step to its end.
class CancelGuard {
  public:
    CancelGuard() { g_stop = &signals_; }
    ~CancelGuard() { g_stop = nullptr; }
    CancelGuard(const CancelGuard&) = delete;
    CancelGuard& operator=(const CancelGuard&) = delete;

  private:
    StopSignals signals_{true};
};

constexpr CodeText kCodeTexts[] = {
    {.code = -1, .text = "the firmware loader refused the command"},
    {.code = -10, .text = "a required argument is missing"},
    {.code = -11, .text = "an argument is out of range"},
    {.code = -21, .text = "no answer from the instrument"},
    {.code = -22, .text = "the firmware loader was not started"},
    {.code = -40, .text = "cancelled"},
    {.code = -60, .text = "out of memory"},
    {.code = -100, .text = "not a valid TI-Text firmware file"},
    {.code = -101, .text = "the built-in firmware image is damaged"},
    {.code = -103, .text = "the firmware image does not fit the instrument"},
    {.code = -110, .text = "unable to connect to the firmware loader"},
    {.code = -112, .text = "the instrument does not have a working firmware loader"},
};

// What a stop at each step leaves on the instrument.
struct StepOutcome {
    Step step;
    const char* left;
};

constexpr StepOutcome kOutcomes[] = {
    {.step = Step::Image, .left = "The instrument was not touched."},
    {.step = Step::Identify, .left = "The instrument was not changed."},
    {.step = Step::Connect,
     .left = "Nothing was erased, but the instrument may now wait in its firmware loader "
             "instead of running its firmware."},
    {.step = Step::EraseInfo,
     .left = "The instrument's memory may be partly erased and it cannot start its firmware: "
             "its loader waits."},
    {.step = Step::EraseFlash,
     .left = "The instrument's firmware is partly or wholly erased and it cannot start: its "
             "loader waits."},
    {.step = Step::Upload,
     .left = "The instrument is half-programmed and cannot start its firmware: its loader "
             "waits."},
    {.step = Step::Vectors,
     .left = "The firmware is programmed but the instrument may not restart into it: its "
             "loader may wait."},
    {.step = Step::Restart,
     .left = "The firmware is programmed, but it does not run as sound firmware."},
};

const char* Left(Step step) {
    for (const StepOutcome& o : kOutcomes) {
        if (o.step == step) return o.left;
    }
    return "";
}

// What one run of flash is about, for what it says when it ends.
struct FlashRun {
    const FlashOptions& options;
    std::string port;
    std::string keptSettings;  // the settings file an interrupted update kept; empty: none
};

// The one command that goes on from a stop at `step`; empty when none is needed or the
// instrument was simulated. An interrupted update's kept settings come back only through
// update; without them, flash again programs the waiting loader just as well.
std::string GoOnCommand(const FlashRun& run, Step step) {
    if (step < Step::Connect || run.options.simulate) return "";
    const FlashOptions& o = run.options;
    std::string firmware = o.firmware.empty() ? "" : " --firmware \"" + o.firmware + "\"";
    if (!run.keptSettings.empty()) {
        if (!firmware.empty()) firmware = (o.factory ? " --factory" : " --rep") + firmware;
        return "korrbsl update --port " + run.port + firmware;
    }
    std::string command = "korrbsl flash --port " + run.port + firmware;
    if (!o.deviceType.empty()) command += " --device-type " + o.deviceType;
    if (o.factory) command += " --factory";
    return command;
}

// What the instrument holds after a stop at `step`, where its settings are, and what goes on.
void TellWhatIsLeft(const FlashRun& run, Step step, const char* lead) {
    std::fprintf(stderr, "%s%s\n", lead, Left(step));
    if (step >= Step::Connect && !run.keptSettings.empty()) {
        std::fprintf(stderr, "Its own settings are kept in \"%s\".\n", run.keptSettings.c_str());
    }
    const std::string command = GoOnCommand(run, step);
    if (command.empty()) return;
    std::fprintf(stderr, "Next: %s (finishes the job%s)\n", command.c_str(),
                 run.keptSettings.empty() ? "" : " and puts those settings back");
}

std::string Meaning(int32_t code, Step step) {
    if (step == Step::Upload && code == -10) return "there is no firmware image to send";
    if (step == Step::Upload && code == -11) return "the firmware image is malformed";
    // Only opening the port passes a system error up; it was tried just before.
    return CodeMeaning(
        kCodeTexts, code,
        step == Step::Connect ? SystemErrorMeaning(code) : "an unexpected result of the loader");
}

// An image the loader could not take: sending it again fails the same way.
bool ImageRefusedAtUpload(int32_t code, Step step) {
    return step == Step::Upload && (code == -10 || code == -11);
}

int Fail(const FlashRun& run, int32_t code, Step step, const korr::LoaderLine* line = nullptr) {
    // A loader step says whether the loader refused or the line damaged what went to and fro.
    const korr::LoaderTrouble trouble =
        line != nullptr ? korr::JudgeLoaderTrouble(*line) : korr::LoaderTrouble::None;
    const std::string meaning = trouble != korr::LoaderTrouble::None
                                    ? korr::LoaderTroubleMeaning(trouble, line->repeatedThrough)
                                    : Meaning(code, step);
    ReportError(code, meaning.c_str());
    if (ImageRefusedAtUpload(code, step)) {
        std::fprintf(stderr,
                     "The instrument's firmware is erased and it cannot start: the same image "
                     "fails the same way, program one that fits it with --firmware.\n");
    } else {
        // A firmware without a loader refused the boot command: it runs as before.
        TellWhatIsLeft(run, code == -112 ? Step::Identify : step, "");
    }
    return kExitFailed;
}

int ReportCancel(korr::KorrLog* log, const FlashRun& run, Step step) {
    if (log != nullptr) log->Print(korr::LOG_ERROR, kTag, "Update cancelled by the user");
    TellWhatIsLeft(run, step, "Cancelled. ");
    return kExitFailed;
}

// The device type to program for: the one given, else the image's. 0 when unknown.
int ChooseType(const std::string& given, const korr::FirmwareImage& image) {
    if (given.empty()) return image.type;
    std::string code = given;
    for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return korr::FindDeviceTypeByCode(code);
}

// Why the instrument found must not be programmed with this image; empty when it may.
std::string Mismatch(const FoundDevice& found, const korr::FirmwareImage& image, int type) {
    const char* product = korr::DeviceTypeInfo(ProductType()).displayName;
    switch (found.answer) {
        case Answer::LoaderActive:
        case Answer::LoaderWaiting:
            return "";  // an interrupted update: the loader cannot tell what it belongs to
        case Answer::Garbled:
        case Answer::Silent:
            return std::string(AnswerText(found.answer)) + "; this updater erases nothing it " +
                   "could not identify as a " + product;
        case Answer::Failed:
            return std::string("the instrument could not be identified (") +
                   DeviceCodeMeaning(found.code) + ")";
        case Answer::Firmware:
            break;
    }
    const int foundType = found.info.type;
    if (foundType != ProductType()) {
        return "found " + DescribeFound(found) + ", but this updater is for the " + product;
    }
    if (type != foundType || (image.type != 0 && image.type != foundType)) {
        const int imageType = image.type != 0 ? image.type : type;
        return std::string("the firmware ") + image.name + " is for the " +
               korr::DeviceTypeInfo(imageType).displayName + ", but the instrument is a " +
               DescribeFound(found);
    }
    return "";
}

// An image that does not fit the type's memory is refused before anything is sent: erasing
// first would leave an instrument that cannot start. No option overrides this.
int CheckFit(korr::KorrLog* log, const FlashRun& run, const korr::FirmwareImage& image,
             const korr::DeviceTypeRow& row) {
    const korr::TargetMemory memory = korr::TargetMemoryOf(row);
    korr::ImageFitProblem problem;
    const int32_t r = korr::CheckImageFit(image, memory, &problem);
    if (r == 1) return kExitOk;
    if (r != korr::kImageDoesNotFit) return Fail(run, r, Step::Image);
    const std::string why = korr::ImageFitText(problem, memory, row.displayName);
    if (log != nullptr) {
        log->Print(korr::LOG_ERROR, kTag, "Update refused: the image %s does not fit: %s",
                   image.name, why.c_str());
    }
    return ReportFailure(std::string("not programming: the firmware ") + image.name +
                         " does not fit the " + row.displayName + ": " + why +
                         ". Nothing was erased");
}

// Tells what answers on the port and whether the update may go on; kExitOk when it may.
int CheckInstrument(korr::KorrLog* log, const std::string& port, const korr::FirmwareImage& image,
                    int type, bool factory, Answer* answer) {
    std::printf("Identifying the instrument on %s...\n", port.c_str());
    std::fflush(stdout);
    korr::MORVA_Protocol link(log);
    const FoundDevice found = ProbeInstrument(link, port);
    link.DisconnectDevice(false);
    *answer = found.answer;
    if (found.answer == Answer::Firmware) {
        std::printf("Found %s.\n", DescribeFound(found).c_str());
    } else if (found.answer == Answer::LoaderActive || found.answer == Answer::LoaderWaiting) {
        std::printf("The firmware loader answers: going on with the interrupted update.\n");
    }
    const std::string why = Mismatch(found, image, type);
    if (why.empty()) return kExitOk;
    if (factory) {
        std::printf("Going on anyway (--factory): %s.\n", why.c_str());
        return kExitOk;
    }
    if (log != nullptr) log->Print(korr::LOG_ERROR, kTag, "Update refused: %s", why.c_str());
    ReportFailure("not programming: " + why + ". Nothing was erased (--factory overrides this)");
    return kExitFailed;
}

bool IsYes(std::string answer) {
    for (char& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return answer == "y" || answer == "yes";
}

// flash programs the instrument's memory afresh, settings and all: an instrument running its
// firmware, or one whose interrupted update kept its settings in a file, loses them. It goes on
// only when told to (--yes) or when the person at the terminal says so.
int ConfirmSettingsReset(korr::KorrLog* log, const FlashRun& run, Answer answer) {
    const bool running = answer == Answer::Firmware;
    if (!running && run.keptSettings.empty()) return kExitOk;
    const std::string update = "\"korrbsl update --port " + run.port + "\"";
    if (running) {
        std::printf("flash resets the instrument's settings to factory values; %s keeps them.\n",
                    update.c_str());
    } else {
        std::printf("The interrupted update kept the instrument's settings in \"%s\"; flash "
                    "programs without them, so they come back as factory values. %s puts them "
                    "back.\n",
                    run.keptSettings.c_str(), update.c_str());
    }
    std::fflush(stdout);
    // A dry run says what programming would do; it asks nothing, since it changes nothing.
    if (run.options.yes || run.options.dryRun) return kExitOk;
    if (::isatty(0) == 1) {
        std::printf("Reset the settings to factory values and program? [yes/No] ");
        std::fflush(stdout);
        std::string reply;
        if (std::getline(std::cin, reply) && IsYes(reply)) return kExitOk;
        std::fprintf(stderr, "Not programming. Nothing was erased.\n");
    } else {
        std::fprintf(stderr,
                     "Not programming: no terminal to ask (--yes goes on). Nothing was erased.\n");
    }
    if (log != nullptr) log->Print(korr::LOG_ERROR, kTag, "Settings reset not confirmed");
    return kExitCancelled;
}

// Runs one long step with the bar; the engine's closing call is drawn once the result is in.
template <typename Operation>
int32_t WithProgress(korr::KorrBSLHost& host, ProgressBar& bar, const char* label,
                     Operation operation) {
    uint32_t lastTotal = 0;
    uint32_t lastDone = 0;
    host.SetProgressHook([&](uint32_t total, uint32_t done, int phase, char) {
        lastTotal = total;
        if (phase == 1) {
            lastDone = done;
            bar.Show(label, done, total);
        }
        return !Cancelled();
    });
    int32_t r = operation();
    bar.Finish(label, r >= 0 ? lastTotal : lastDone, lastTotal, r >= 0);
    host.SetProgressHook(nullptr);
    return r;
}

// The loader's steps; between any two of them a cancel request stops the run (-40).
int32_t Program(korr::KorrBSLHost& host, const char* port, const korr::DeviceTypeRow& row,
                Step* reached) {
    ProgressBar bar(stdout);
    const bool five = row.twentyBitAddresses;
    std::printf("Starting the firmware loader on %s...\n", port);
    std::fflush(stdout);
    *reached = Step::Connect;
    int32_t r = host.BSLConnect(port, row.loaderBaud, true, 3);
    if (r < 0) return r;
    if (host.loaderVersion > 0) std::printf("KorrBSL version %d\n", host.loaderVersion);
    if (Cancelled()) return -40;

    std::printf("Erasing firmware memory...\n");
    std::fflush(stdout);
    *reached = Step::EraseInfo;
    r = host.BSLEraseINFO(row.infoStart, row.infoSegments, row.infoSegmentSize, five);
    if (r < 0) return r;
    if (Cancelled()) return -40;
    *reached = Step::EraseFlash;
    r = WithProgress(host, bar, "Erasing flash",
                     [&] { return host.BSLEraseFlash(row.flashStart, row.flashEnd, five); });
    if (r < 0) return r;
    if (Cancelled()) return -40;
    *reached = Step::Upload;
    r = WithProgress(host, bar, "Uploading new firmware code",
                     [&] { return host.BSLSendFirmware(five); });
    if (r < 0) return r;
    if (Cancelled()) return -40;
    std::printf("Restarting the %s...\n", row.displayName);
    std::fflush(stdout);
    *reached = Step::Vectors;
    return host.BSLSendVectors();
}

// Why the restarted instrument does not run sound firmware, said for a failure line.
std::string RestartMeaning(int32_t code) {
    switch (code) {
        case -80:
        case -81:
            return "the instrument restarted into its loader: the new firmware did not start";
        case -20:
        case -21:
            return "no answer from the instrument after its restart: the new firmware did not "
                   "start";
        default:
            break;
    }
    return std::string("the restarted instrument could not be reached (") +
           DeviceCodeMeaning(code) + ")";
}

// After the restart: the new firmware is reached as an update reaches it, tells the version it
// runs and gives its self-test verdict. kExitOk when it runs and reports itself sound.
int CheckRestarted(korr::KorrLog* log, const FlashRun& run, int type) {
    korr::DeviceInfo expected;
    korr::FillDeviceInfo(type, 0, 0, &expected);
    std::printf("Waiting for the %s to restart...\n", expected.displayName);
    std::fflush(stdout);
    korr::DelayMs(expected.restartDelayMs);

    constexpr int kAttempts = 3;
    constexpr uint32_t kPauseMs = 1500;
    constexpr int32_t kNotSupported = -120;
    korr::Korr_protocol kp(log);
    korr::DeviceInfo info;
    int32_t r = 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        r = kp.KDConnect(run.port.c_str(), 2, 3, &info);
        if (r > 0) break;
        korr::DelayMs(static_cast<uint32_t>(attempt) * kPauseMs);
    }
    if (r == kNotSupported && info.versionText[0] != '\0') {
        // It started and told its version, but it is no firmware this updater may update
        // (--factory): there is no self-test to ask it for.
        kp.KDDisconnect(false);
        std::printf("The %s runs %s; this updater does not ask that firmware for a self-test.\n",
                    info.displayName, info.versionText);
        return kExitOk;
    }
    if (r <= 0) {
        kp.KDDisconnect(false);
        const int32_t code = r < 0 ? r : -21;
        ReportError(code, RestartMeaning(code).c_str());
        TellWhatIsLeft(run, Step::Restart, "");
        return kExitFailed;
    }
    std::printf("The %s runs %s.\n", info.displayName, kp.loggerSettings.versionText);
    std::fflush(stdout);
    const int32_t verdict = kp.KDCheckFirmware(info.checkWithInit != 0);
    kp.KDDisconnect(true);
    if (verdict > 0) {
        std::printf("Its self-test: the firmware reports itself sound.\n");
        return kExitOk;
    }
    ReportError(verdict, verdict == -1 ? "the new firmware reports itself corrupt"
                                       : "the new firmware gave no self-test verdict");
    TellWhatIsLeft(run, Step::Restart, "");
    return kExitFailed;
}

int RunFlash(const FlashOptions& o, CommandLog& commandLog) {
    if (!o.simulate && o.portOption->count() == 0) {
        return ReportUsageError("flash", "--port is required");
    }
    korr::KorrLog* log = commandLog.Log();
    std::optional<korrsim::SimUpdateTarget> sim;  // outlives the engine, whose end still waits
    korr::KorrBSLHost host(log);
    FlashRun run{.options = o, .port = o.port, .keptSettings = {}};
    if (host.image.status < 0) return Fail(run, host.image.status, Step::Image);
    if (!o.firmware.empty()) {
        if (int status = LoadFirmwareFile(host, o.firmware); status != kExitOk) return status;
    }
    const int type = ChooseType(o.deviceType, host.image);
    if (type == korr::kDeviceTypeUnknown) {
        return ReportUsageError("flash",
                                o.deviceType.empty()
                                    ? "the firmware's device type is unknown: give --device-type"
                                    : "unknown device type \"" + o.deviceType + "\"");
    }
    const korr::DeviceTypeRow& row = korr::DeviceTypeInfo(type);
    if (int status = CheckFit(log, run, host.image, row); status != kExitOk) return status;

    if (o.simulate) {
        // The simulated instrument is of the type asked for, running older firmware.
        korrsim::SimOptions options;
        options.type = row.code;
        const korrsim::InstrumentType* simType = korrsim::FindInstrumentType(options.type);
        if (simType == nullptr) {
            return ReportUsageError("flash", std::string("the simulator has no ") +
                                                 row.displayName + " to program");
        }
        sim.emplace(options, *simType, false, o.port.empty() ? "sim0" : o.port);
        run.port = sim->Port();
    } else if (int status = CheckPort("flash", run.port, log); status != kExitOk) {
        return status;
    } else {
        run.keptSettings = KeptUpdateSettingsFile();
    }
    const std::string& port = run.port;
    commandLog.ConcernPort(port, o.simulate);

    CancelGuard cancel;
    const uint32_t start = korr::TickMs();
    Answer answer = Answer::Silent;
    if (int status = CheckInstrument(log, port, host.image, type, o.factory, &answer);
        status != kExitOk) {
        return status;
    }
    if (int status = ConfirmSettingsReset(log, run, answer); status != kExitOk) return status;
    if (Cancelled()) return ReportCancel(log, run, Step::Identify);
    // Every check is behind; from the loader's start on, only a programmed image brings the
    // instrument back.
    if (o.dryRun) {
        std::printf(
            "Dry run: programming would go ahead (%s into the %s). Nothing was erased and the "
            "firmware loader was not started.\n",
            host.image.name, row.displayName);
        return kExitOk;
    }
    Step reached = Step::Connect;
    int32_t r = Program(host, port.c_str(), row, &reached);
    host.BSLDisconnect();
    if (r == -40) return ReportCancel(log, run, reached);
    if (r < 0) return Fail(run, r, reached, reached == Step::Connect ? nullptr : &host.line);

    std::printf("Programmed %s into the %s in %u seconds%s.\n", host.image.name, row.displayName,
                (korr::TickMs() - start) / 1000, o.simulate ? " (simulated time)" : "");
    if (int status = CheckRestarted(log, run, type); status != kExitOk) return status;
    std::printf("settings reset to factory values; `korrbsl update` keeps them\n");
    return kExitOk;
}

}  // namespace

void RegisterFlashCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub = app.add_subcommand(
        "flash",
        "Program the firmware through the instrument's loader (identify, erase, program, "
        "vectors)");
    auto o = std::make_shared<FlashOptions>();
    o->portOption =
        sub->add_option("--port", o->port, "serial port of the instrument (ttyUSB0 or a path)");
    sub->add_option("--firmware", o->firmware,
                    "TI-Text file to program instead of the built-in image");
    sub->add_option("--device-type", o->deviceType,
                    "device type code (QS7, QE8, ...); default: the firmware's");
    sub->add_flag("--factory", o->factory,
                  "program even an instrument of another product or type, or one that cannot "
                  "be identified");
    sub->add_flag("--yes", o->yes,
                  "go on although the instrument's settings are reset to factory values");
    sub->add_flag("--simulate", o->simulate,
                  "program a simulated instrument instead of a real one (no port needed)");
    sub->add_flag("--dry-run", o->dryRun,
                  "identify and check everything, then stop without starting the loader: exit 0 "
                  "when programming would go ahead");
    AddLogOptions(sub, commands.logOptions);
    commands.entries.emplace_back(sub, [o, &commands] { return RunFlash(*o, commands.log); });
}

}  // namespace korrcli
