#include "cli/FlashCommand.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "bsl/KorrBSLHost.h"
#include "cli/DataFolder.h"
#include "cli/ErrorText.h"
#include "cli/ProgressBar.h"
#include "device/DeviceTypes.h"
#include "host/SimInstrument.h"
#include "log/KorrLog.h"
#include "serial/Clock.h"

namespace korrcli {

namespace {

struct FlashOptions {
    std::string port;
    std::string firmware;
    std::string deviceType;
    bool verbose = false;
    bool simulate = false;
};

enum class Step { Image, Connect, EraseInfo, EraseFlash, Upload, Vectors };

// The first Ctrl-C cancels at the next progress call; a second one ends the program.
volatile std::sig_atomic_t g_cancel = 0;
void OnInterrupt(int) {
    g_cancel = 1;
}

class InterruptGuard {
  public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptGuard() { sigaction(SIGINT, &previous_, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    struct sigaction previous_ {};
};

struct CodeText {
    int32_t code;
    const char* text;
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
    {.code = -110, .text = "unable to connect to the firmware loader"},
    {.code = -112, .text = "the instrument does not have a working firmware loader"},
};

std::string Meaning(int32_t code, Step step) {
    if (step == Step::Connect) {
        if (const char* port = PortErrorMeaning(code)) return port;
    }
    if (step == Step::Upload && code == -10) return "there is no firmware image to send";
    if (step == Step::Upload && code == -11) return "the firmware image is malformed";
    for (const CodeText& c : kCodeTexts) {
        if (c.code == code) return c.text;
    }
    return SystemErrorMeaning(code);
}

int Fail(int32_t code, Step step) {
    return ReportError(code, Meaning(code, step).c_str());
}

int UsageError(const std::string& what) {
    std::fprintf(stderr, "korrbsl flash: %s (see korrbsl flash --help)\n", what.c_str());
    return kExitUsage;
}

// The device type to program for: the one given, else the image's. 0 when unknown.
int ChooseType(const std::string& given, const korr::FirmwareImage& image) {
    if (given.empty()) return image.type;
    std::string code = given;
    for (char& c : code) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return korr::FindDeviceTypeByCode(code);
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
        return g_cancel == 0;
    });
    int32_t r = operation();
    bar.Finish(label, r >= 0 ? lastTotal : lastDone, lastTotal, r >= 0);
    host.SetProgressHook(nullptr);
    return r;
}

int32_t Program(korr::KorrBSLHost& host, const char* port, const korr::DeviceTypeRow& row,
                Step* failed) {
    ProgressBar bar(stdout);
    const bool five = row.twentyBitAddresses;
    std::printf("Starting the firmware loader on %s...\n", port);
    std::fflush(stdout);
    *failed = Step::Connect;
    int32_t r = host.BSLConnect(port, row.loaderBaud, true, 3);
    if (r < 0) return r;
    if (host.loaderVersion > 0) std::printf("KorrBSL version %d\n", host.loaderVersion);

    std::printf("Erasing firmware memory...\n");
    std::fflush(stdout);
    *failed = Step::EraseInfo;
    r = host.BSLEraseINFO(row.infoStart, row.infoSegments, row.infoSegmentSize, five);
    if (r < 0) return r;
    *failed = Step::EraseFlash;
    r = WithProgress(host, bar, "Erasing flash",
                     [&] { return host.BSLEraseFlash(row.flashStart, row.flashEnd, five); });
    if (r < 0) return r;
    *failed = Step::Upload;
    r = WithProgress(host, bar, "Uploading new firmware code",
                     [&] { return host.BSLSendFirmware(five); });
    if (r < 0) return r;
    std::printf("Restarting the %s...\n", row.displayName);
    std::fflush(stdout);
    *failed = Step::Vectors;
    return host.BSLSendVectors();
}

int RunFlash(const FlashOptions& o) {
    if (o.port.empty() && !o.simulate) return UsageError("--port is required");

    korr::KorrLog log(ErrorLogPath().c_str(), o.verbose ? korr::LOG_VERBOSE : korr::LOG_ERROR);
    if (o.verbose) {
        log.SetMirror([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    }
    std::optional<korrsim::SimInstrument> sim;  // outlives the engine, whose end still waits
    korr::KorrBSLHost host(&log);
    if (host.image.status < 0) return Fail(host.image.status, Step::Image);
    if (!o.firmware.empty()) {
        int32_t r = host.BSLLoadTIFile(o.firmware.c_str());
        if (r < 0) return Fail(r, Step::Image);
    }
    const int type = ChooseType(o.deviceType, host.image);
    if (type == korr::kDeviceTypeUnknown) {
        return UsageError(o.deviceType.empty()
                              ? "the firmware's device type is unknown: give --device-type"
                              : "unknown device type \"" + o.deviceType + "\"");
    }
    const korr::DeviceTypeRow& row = korr::DeviceTypeInfo(type);

    std::string port = o.port;
    if (o.simulate) {
        sim.emplace(row.code, 1, port.empty() ? "sim0" : port);
        port = sim->Port();
    }

    InterruptGuard interrupt;
    g_cancel = 0;
    const uint32_t start = korr::TickMs();
    Step failed = Step::Connect;
    int32_t r = Program(host, port.c_str(), row, &failed);
    host.BSLDisconnect();
    if (r < 0) return Fail(r, failed);

    std::printf("Programmed %s into the %s in %u seconds%s.\n", host.image.name, row.displayName,
                (korr::TickMs() - start) / 1000, o.simulate ? " (simulated time)" : "");
    if (sim) {
        sim->RunFor(sim->Target().Type().restart);
        std::printf("The simulated %s restarted %s.\n", row.displayName,
                    sim->Target().CurrentMode() == korrsim::Instrument::Mode::Firmware
                        ? "into its new firmware"
                        : "into its loader: the flash holds no firmware it can start");
    }
    return kExitOk;
}

}  // namespace

void RegisterFlashCommand(CLI::App& app, Commands& commands) {
    CLI::App* sub = app.add_subcommand(
        "flash", "Program the firmware through the instrument's loader (erase, program, vectors)");
    auto o = std::make_shared<FlashOptions>();
    sub->add_option("--port", o->port, "serial port of the instrument (ttyUSB0 or a path)");
    sub->add_option("--firmware", o->firmware,
                    "TI-Text file to program instead of the built-in image")
        ->check(CLI::ExistingFile);
    sub->add_option("--device-type", o->deviceType,
                    "device type code (QS7, QE8, ...); default: the firmware's");
    sub->add_flag("-v,--verbose", o->verbose, "verbose log, also shown on stderr");
    sub->add_flag("--simulate", o->simulate,
                  "program a simulated instrument instead of a real one (no port needed)");
    commands.entries.emplace_back(sub, [o] { return RunFlash(*o); });
}

}  // namespace korrcli
