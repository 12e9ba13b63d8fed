// korrsim: one simulated instrument on a pseudo-terminal, in real time, for the updater (or a
// person without an instrument) to talk to.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "korrsim/PtyServer.h"
#include "models/BootFirmware.h"
#include "models/CommDevice.h"
#include "models/CommandFirmware.h"
#include "models/FlashDump.h"
#include "models/Instrument.h"
#include "models/InstrumentProfiles.h"
#include "models/InstrumentTypes.h"
#include "models/Qs7Firmware.h"
#include "models/Sdi12Sensor.h"
#include "models/SettingsFirmware.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

struct Options {
    std::string type = "QS7";
    std::string firmwareVersion = "3.55";  // older than the built-in image, and updatable
    bool loaderActive = false;
    bool loaderWaiting = false;
    bool noLoader = false;
    bool bootOnly = false;
    bool calibration = false;
    uint64_t seed = 1;
    double lose = 0;
    double corrupt = 0;
    double noise = 0;
    std::string link;
    std::string dumpFlash;
    bool once = false;
    // A communication device with a digital sensor on its bus.
    std::string sensor;  // the sensor's type character; empty: no communication device
    std::string sensorModel = "MV-XE ";
    std::vector<std::string> sensorCalibration;
    std::string sensorFault = "none";
};

// What --sensor-fault makes the sensor do; "absent" leaves the bus empty.
void SetUpSensor(korrsim::Sdi12Sensor& sensor, const Options& o) {
    korrsim::Sdi12Identity identity;
    identity.model = (o.sensorModel + "      ").substr(0, 6);
    sensor.SetIdentity(identity);
    for (size_t i = 0; i < o.sensorCalibration.size() && i < 2; ++i)
        sensor.SetCalibration(static_cast<int>(i), o.sensorCalibration[i]);
    sensor.SetTypeQueryAnswered(o.sensorFault != "no-type");
    sensor.SetCalibrationWritesRefused(o.sensorFault == "refuse-calibration");
    sensor.SetMute(o.sensorFault == "mute");
    if (o.sensorFault == "slow") sensor.SetWakeTime(2500 * korrsim::kUsPerMs);
}

// The firmware the instrument runs: with --boot-only, only the boot command; with --sensor, a
// communication device with the sensor on its bus; an instrument type with settings speaks its
// command language (version, login, settings, battery, clock, self-test, boot command); any
// other type speaks the command language and reports its type's code.
std::unique_ptr<korrsim::InstrumentFirmware> MakeFirmware(korrsim::Link& link, const Options& o,
                                                          korrsim::Sdi12Sensor* sensor) {
    if (o.bootOnly) {
        auto firmware = std::make_unique<korrsim::BootFirmware>(link);
        firmware->SetLoaderMissing(o.noLoader);
        return firmware;
    }
    if (!o.sensor.empty()) {
        auto device = std::make_unique<korrsim::CommDevice>(link, o.type + " " + o.firmwareVersion);
        if (o.sensorFault != "absent") device->AttachSensor(sensor);
        return std::make_unique<korrsim::CommandFirmware>(std::move(device), !o.noLoader);
    }
    if (const korrsim::InstrumentProfile* profile = korrsim::FindInstrumentProfile(o.type)) {
        korrsim::SettingsFirmware* commands = nullptr;
        auto firmware = korrsim::MakeSettingsFirmware(link, *profile, &commands, !o.noLoader);
        commands->SetVersionReply(o.type + " " + o.firmwareVersion);
        return firmware;
    }
    return korrsim::MakeCommandLanguageFirmware(link, o.type + " " + o.firmwareVersion,
                                                !o.noLoader);
}

// Calibration data as an instrument leaves the factory with it in its information memory: an
// update erases it, a cancel before the erase must not.
void LoadCalibration(korrsim::Flash& flash) {
    const korrsim::FlashLayout& layout = flash.Layout();
    std::vector<uint8_t> data(layout.infoSegmentSize * layout.infoSegments);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x5A ^ i);
    flash.Load(layout.infoStart, data.data(), data.size());
}

void PowerUp(korrsim::Instrument& instrument, const Options& o) {
    if (o.loaderActive) {
        instrument.RunLoader(korrsim::BslLoader::State::Connected);
    } else if (o.loaderWaiting) {
        instrument.RunLoader(korrsim::BslLoader::State::Waiting);
    } else {
        korrsim::BootImage factory;
        factory.runnable = factory.sound = true;
        factory.code = o.type;
        factory.version = o.firmwareVersion;
        instrument.RunFirmware(factory);
    }
}

bool PublishLink(const std::string& link, const std::string& path) {
    if (link.empty()) return true;
    ::unlink(link.c_str());  // a link left by an earlier run
    if (::symlink(path.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "korrsim: cannot create the link %s\n", link.c_str());
        return false;
    }
    return true;
}

bool DumpFlash(const std::string& file, const korrsim::Flash& flash) {
    if (file.empty()) return true;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << korrsim::FlashToTiText(flash);
    out.close();
    if (!out) {
        std::fprintf(stderr, "korrsim: cannot write %s\n", file.c_str());
        return false;
    }
    return true;
}

int Serve(const Options& o) {
    const korrsim::InstrumentType* type = korrsim::FindInstrumentType(o.type);
    if (type == nullptr) {
        std::fprintf(stderr, "korrsim: unknown device type \"%s\"\n", o.type.c_str());
        return 2;
    }
    korrsim::EventLoop loop;
    korrsim::Link line(loop, o.seed);
    for (auto d : {korrsim::Direction::ToDevice, korrsim::Direction::ToHost}) {
        line.Faults().SetRates(d, {.lose = o.lose, .corrupt = o.corrupt, .insert = o.noise});
    }
    if (!o.sensor.empty() && o.type != "MCD" && o.type != "MORVA-XE") {
        std::fprintf(stderr, "korrsim: --sensor needs --type MCD or MORVA-XE\n");
        return 2;
    }
    korrsim::Sdi12Sensor sensor(loop, o.sensor.empty() ? 'x' : o.sensor[0]);
    SetUpSensor(sensor, o);
    korrsim::Instrument instrument(line, *type);
    instrument.SetFirmware(MakeFirmware(line, o, &sensor));
    if (o.calibration) LoadCalibration(instrument.Memory());
    PowerUp(instrument, o);

    korrsim::PtyServer server(loop, line);
    std::string error;
    if (!server.Open(&error)) {
        std::fprintf(stderr, "korrsim: %s\n", error.c_str());
        return 1;
    }
    if (!PublishLink(o.link, server.Path())) return 1;
    std::printf("%s\n", server.Path().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "korrsim: %s (%s) on %s\n", type->code,
                 o.loaderActive    ? "loader active"
                 : o.loaderWaiting ? "loader waiting"
                                   : ("firmware " + o.firmwareVersion).c_str(),
                 server.Path().c_str());

    // With --once: done when the host lets go of the port after an update.
    bool hostSeen = false;
    server.Serve(g_stop, [&] {
        if (!o.once) return false;
        if (server.HostHoldsPort()) hostSeen = true;
        return hostSeen && instrument.Updates() > 0 && !server.HostHoldsPort();
    });

    bool ok = DumpFlash(o.dumpFlash, instrument.Memory());
    if (!o.link.empty()) ::unlink(o.link.c_str());
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"korrsim - a simulated Korrin instrument on a pseudo-terminal"};
    app.name("korrsim");
    Options o;
    app.add_option("--type", o.type, "device type code (QS7, QE8, ...)")->capture_default_str();
    app.add_option("--firmware-version", o.firmwareVersion, "version the firmware reports")
        ->capture_default_str();
    auto* active = app.add_flag("--loader-active", o.loaderActive,
                                "start in the loader with a session open (answers '?')");
    auto* waiting = app.add_flag("--loader-waiting", o.loaderWaiting,
                                 "start in the loader waiting for a host (prompts '$')");
    auto* none =
        app.add_flag("--no-loader", o.noLoader, "firmware without a loader (\"KorrBSL MISSING\")");
    active->excludes(waiting)->excludes(none);
    waiting->excludes(none);
    app.add_flag("--boot-only", o.bootOnly,
                 "firmware that knows only the boot command (no version, no login)");
    app.add_flag("--calibration", o.calibration,
                 "start with calibration data in the information memory (see --dump-flash)");
    app.add_option("--seed", o.seed, "seed of the line's faults")->capture_default_str();
    app.add_option("--lose", o.lose, "probability that a byte is lost")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--corrupt", o.corrupt, "probability that a byte is corrupted")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--noise", o.noise, "probability of a noise byte before a byte")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--link", o.link, "also make the port available as this symlink");
    app.add_option("--dump-flash", o.dumpFlash, "write the flash as TI-Text on exit");
    app.add_flag("--once", o.once, "exit when the host closes the port after an update");
    auto* sensor = app.add_option("--sensor", o.sensor,
                                  "serve a communication device with a digital sensor of this "
                                  "type character (x, y, ...) on its SDI-12 bus")
                       ->check(CLI::Validator(
                           [](std::string& v) {
                               return v.size() == 1 ? std::string() : "one character expected";
                           },
                           "CHAR"));
    app.add_option("--sensor-model", o.sensorModel, "the sensor's 6-character model field")
        ->capture_default_str()
        ->needs(sensor);
    app.add_option("--sensor-calibration", o.sensorCalibration,
                   "the sensor's calibration string (twice for the second one)")
        ->expected(1, 2)
        ->needs(sensor);
    app.add_option("--sensor-fault", o.sensorFault, "how the sensor misbehaves")
        ->check(CLI::IsMember({"none", "no-type", "refuse-calibration", "mute", "slow", "absent"}))
        ->capture_default_str()
        ->needs(sensor);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "korrsim: %s (see korrsim --help)\n", e.what());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return Serve(o);
}
