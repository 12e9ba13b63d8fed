// The whole update of the built-in simulated QS7 with the built-in image at 9600 baud, in
// virtual time, and where its time goes: bytes on the wire both ways, the pauses the sequence
// and the loader ask for, and the simulated device's own work. With --real it also measures the
// CPU time korrbsl update takes during a real-time update against korrsim on a pseudo-terminal
// (it must wait, not poll). Not a test: a program to run.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/UpdateSession.h"
#include "host/SimUpdateTarget.h"
#include "PauseCounter.h"
#include "serial/Clock.h"

namespace {

using korrbench::PauseCounter;
using korrbench::Seconds;

// Nobody watches: every question answered OK.
class QuietInterface final : public korr::UserInterface {
  public:
    void SetText(korr::Control, const std::string&) override {}
    void SetEnabled(korr::Control, bool) override {}
    void SetVisible(korr::Control, bool) override {}
    void SetChecked(korr::Control, bool) override {}
    void SetDefaultButton(korr::Control) override {}
    void SetProgress(int) override {}
    void SetBusyCursor(bool) override {}
    void Beep(uint32_t) override {}
    void ShowMessageBox(const std::string& text, const std::string& title,
                        korr::MessageKind) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    }
    int PlatformMessageBox(const std::string&, const std::string&, uint32_t) override {
        return korr::kAnswerOk;
    }
    void ProcessPendingEvents() override {}
    void CloseWindow() override {}
};

int VirtualUpdate() {
    korrsim::SimOptions options;
    korrsim::SimUpdateTarget sim(options, *korrsim::FindInstrumentType("QS7"), false);
    auto counter = std::make_shared<PauseCounter>(sim.Bench().Clock());
    korr::ScopedClock scoped(counter);
    char folder[] = "/tmp/korr-update-benchmark-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    korr::AppSetup setup;
    setup.dataFolder = folder;
    setup.portName = sim.Port();
    QuietInterface ui;
    korr::UpdateSession session(ui, setup);

    const auto wallStart = std::chrono::steady_clock::now();
    const uint32_t start = korr::TickMs();
    const int32_t r = session.timerStartTimer();
    const double elapsed = (korr::TickMs() - start) / 1000.0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    if (r < 0) {
        std::fprintf(stderr, "the update failed with error %d\n", r);
        return 1;
    }

    const korrsim::LinkStats& line = sim.Bench().Line().Stats();
    const auto [pauses, yields] = korrbench::SumPauses(*counter);
    const korrsim::LoaderStats& loader = sim.Target().Loader().Stats();
    const korrsim::LoaderTiming& timing = sim.Target().Loader().Timing();
    const korr::FirmwareImage& image = session.Host().image;
    const double loaderBusy =
        (loader.erases * timing.eraseSegment + image.length / 4 * timing.programWord +
         timing.vectors + loader.frames * timing.reply) /
        1e6;
    const korrsim::SettingsFirmware* firmware = sim.Commands();
    const double firmwareBusy =
        firmware != nullptr ? firmware->Answered() * firmware->ReplyDelay() / 1e6 : 0;
    // The instrument restarts within the sequence's restart pause: not counted twice.
    const double restart = sim.Target().Type().restart / 1e6;
    const double device = loaderBusy + firmwareBusy;
    const double wire = Seconds(line.wireNsToDevice) + Seconds(line.wireNsToHost);

    std::printf("Whole update of the simulated QS7 with %s (%u characters) at 9600 baud, virtual\n",
                image.name, image.length);
    std::printf("  elapsed (virtual)                  %8.3f s\n", elapsed);
    std::printf("  wire time to the instrument        %8.3f s  (%llu bytes)\n",
                Seconds(line.wireNsToDevice), static_cast<unsigned long long>(line.bytesToDevice));
    std::printf("  wire time to the host              %8.3f s  (%llu bytes)\n",
                Seconds(line.wireNsToHost), static_cast<unsigned long long>(line.bytesToHost));
    std::printf("  pauses of the sequence and loader  %8.3f s\n", pauses);
    std::printf(
        "  device's own time                  %8.3f s  (loader %.3f, firmware %.3f; its "
        "restart, %.3f, lies within a pause)\n",
        device, loaderBusy, firmwareBusy, restart);
    std::printf("  wire + pauses + device             %8.3f s\n", wire + pauses + device);
    std::printf("  ratio elapsed / that               %8.3f\n", elapsed / (wire + pauses + device));
    std::printf("  serial-wait yields                 %8u x 200 ms (in the elapsed time)\n",
                yields);
    std::printf("  real time taken by the run         %8.3f s\n", wall);
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

// In a child: its output goes nowhere.
void Quiet() {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    dup2(null, STDERR_FILENO);
}

// Runs korrsim and then korrbsl update against it; the CPU time korrbsl took.
int RealUpdate(const char* korrsim, const char* korrbsl) {
    char folder[] = "/tmp/korr-update-benchmark-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string link = std::string(folder) + "/port";
    const pid_t sim = fork();
    if (sim == 0) {
        Quiet();
        execl(korrsim, korrsim, "--link", link.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    sleep(1);
    const auto start = std::chrono::steady_clock::now();
    const pid_t update = fork();
    if (update == 0) {
        Quiet();
        setenv("XDG_DATA_HOME", folder, 1);
        execl(korrbsl, korrbsl, "update", "--port", link.c_str(), "--yes", "--json",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(update, &status, 0, &usage);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    std::printf(
        "korrbsl update against korrsim in real time: exit %d, %.1f s, CPU %.3f s "
        "(%.2f %%)\n",
        WIFEXITED(status) ? WEXITSTATUS(status) : -1, wall, cpu, 100 * cpu / wall);
    std::string cleanup = std::string("rm -rf '") + folder + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int status = VirtualUpdate();
    if (argc == 4 && std::strcmp(argv[1], "--real") == 0) status |= RealUpdate(argv[2], argv[3]);
    if (argc != 1 && argc != 4) {
        std::fprintf(stderr, "usage: update_benchmark [--real KORRSIM KORRBSL]\n");
        return 2;
    }
    return status;
}
