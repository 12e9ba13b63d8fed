#include "cli/FlashCommand.h"

#include <csignal>
#include <cstdio>
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
#include "device/DeviceTypes.h"
#include "firmware/ImageFit.h"
#include "host/SimInstrument.h"
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
    bool dryRun = false;
};

// How far a run got; a cancel or a failure says what that left on the instrument.
enum class Step { Image, Identify, Connect, EraseInfo, EraseFlash, Upload, Vectors };

// Ctrl-C, SIGTERM and SIGHUP ask to cancel at the next step or progress call; the same signal
// a second time ends the program.
volatile std::sig_atomic_t g_cancel = 0;
void OnCancelSignal(int) {
    g_cancel = 1;
}

constexpr int kCancelSignals[] = {SIGINT, SIGTERM, SIGHUP};

class CancelGuard {
  public:
    CancelGuard() {
        g_cancel = 0;
        struct sigaction action {};
        action.sa_handler = OnCancelSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kCancelSignals); ++i) {
            sigaction(kCancelSignals[i], &action, &previous_[i]);
        }
    }
    ~CancelGuard() {
        for (size_t i = 0; i < std::size(kCancelSignals); ++i) {
            sigaction(kCancelSignals[i], &previous_[i], nullptr);
        }
    }
    CancelGuard(const CancelGuard&) = delete;
    CancelGuard& operator=(const CancelGuard&) = delete;

  private:
    struct sigaction previous_[std::size(kCancelSignals)]{};
};

bool Cancelled() {
    return g_cancel != 0;
}

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

// What a stop at each step leaves on the instrument, and how to recover.
struct StepOutcome {
    Step step;
    const char* left;
};

constexpr StepOutcome kOutcomes[] = {
    {.step = Step::Image, .left = "The instrument was not touched."},
    {.step = Step::Identify, .left = "The instrument was not changed."},
    {.step = Step::Connect,
     .left = "Nothing was erased. The instrument may now wait in its firmware loader: running "
             "the same command again finishes the update."},
    {.step = Step::EraseInfo,
     .left = "The instrument's memory may be partly erased and it cannot start its firmware: "
             "running the same command again recovers it."},
    {.step = Step::EraseFlash,
     .left = "The instrument's firmware is partly or wholly erased and it cannot start: running "
             "the same command again recovers it."},
    {.step = Step::Upload,
     .left = "The instrument is half-programmed and cannot start its firmware: running the same "
             "command again recovers it."},
    {.step = Step::Vectors,
     .left = "The firmware is programmed but the instrument may not restart into it: running "
             "the same command again recovers it."},
};

const char* Left(Step step) {
    for (const StepOutcome& o : kOutcomes) {
        if (o.step == step) return o.left;
    }
    return "";
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

int Fail(int32_t code, Step step, const korr::LoaderLine* line = nullptr) {
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
        std::fprintf(stderr, "%s\n", Left(step));
    }
    return kExitFailed;
}

int ReportCancel(korr::KorrLog* log, Step step) {
    if (log != nullptr) log->Print(korr::LOG_ERROR, kTag, "Update cancelled by the user");
    std::fprintf(stderr, "Cancelled. %s\n", Left(step));
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
int CheckFit(korr::KorrLog* log, const korr::FirmwareImage& image, const korr::DeviceTypeRow& row) {
    const korr::TargetMemory memory = korr::TargetMemoryOf(row);
    korr::ImageFitProblem problem;
    const int32_t r = korr::CheckImageFit(image, memory, &problem);
    if (r == 1) return kExitOk;
    if (r != korr::kImageDoesNotFit) return Fail(r, Step::Image);
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
                    int type, bool factory) {
    std::printf("Identifying the instrument on %s...\n", port.c_str());
    std::fflush(stdout);
    korr::MORVA_Protocol link(log);
    const FoundDevice found = ProbeInstrument(link, port);
    link.DisconnectDevice(false);
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

void ReportSimulatedRestart(korrsim::SimInstrument& sim, const korr::DeviceTypeRow& row) {
    sim.RunFor(sim.Target().Type().restart);
    std::printf("The simulated %s restarted %s.\n", row.displayName,
                sim.Target().CurrentMode() == korrsim::Instrument::Mode::Firmware
                    ? "into its new firmware"
                    : "into its loader: the flash holds no firmware it can start");
}

int RunFlash(const FlashOptions& o, CommandLog& commandLog) {
    if (!o.simulate && o.portOption->count() == 0) {
        return ReportUsageError("flash", "--port is required");
    }
    korr::KorrLog* log = commandLog.Log();
    std::optional<korrsim::SimInstrument> sim;  // outlives the engine, whose end still waits
    korr::KorrBSLHost host(log);
    if (host.image.status < 0) return Fail(host.image.status, Step::Image);
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
    if (int status = CheckFit(log, host.image, row); status != kExitOk) return status;

    std::string port = o.port;
    if (o.simulate) {
        // The simulated instrument is of the type asked for, running older firmware.
        sim.emplace(row.code, 1, port.empty() ? "sim0" : port);
        sim->SpeakCommandLanguage("3.55");
        port = sim->Port();
    } else if (int status = CheckPort("flash", port, log); status != kExitOk) {
        return status;
    }
    commandLog.ConcernPort(port, o.simulate);

    CancelGuard cancel;
    const uint32_t start = korr::TickMs();
    if (int status = CheckInstrument(log, port, host.image, type, o.factory); status != kExitOk) {
        return status;
    }
    if (Cancelled()) return ReportCancel(log, Step::Identify);
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
    if (r == -40) return ReportCancel(log, reached);
    if (r < 0) return Fail(r, reached, reached == Step::Connect ? nullptr : &host.line);

    std::printf("Programmed %s into the %s in %u seconds%s.\n", host.image.name, row.displayName,
                (korr::TickMs() - start) / 1000, o.simulate ? " (simulated time)" : "");
    if (sim) ReportSimulatedRestart(*sim, row);
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
    sub->add_flag("--simulate", o->simulate,
                  "program a simulated instrument instead of a real one (no port needed)");
    sub->add_flag("--dry-run", o->dryRun,
                  "identify and check everything, then stop without starting the loader: exit 0 "
                  "when programming would go ahead");
    AddLogOptions(sub, commands.logOptions);
    commands.entries.emplace_back(sub, [o, &commands] { return RunFlash(*o, commands.log); });
}

}  // namespace korrcli
