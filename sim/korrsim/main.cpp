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
#include "models/CommDevice.h"
#include "models/CommandFirmware.h"
#include "models/FlashDump.h"
#include "models/Instrument.h"
#include "models/InstrumentTypes.h"
#include "models/Sdi12Sensor.h"
#include "setup/SimSetup.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

struct Options {
    korrsim::SimOptions sim;
    std::string link;
    std::string dumpFlash;
    bool once = false;
    // A communication device with a digital sensor on its bus.
    std::string sensor;  // the sensor's type character; empty: no communication device
    std::string sensorModel = "MV-XE ";
    std::vector<std::string> sensorCalibration;
    std::string sensorFault = "none";
    double timeScale = 1;
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

// The firmware the device runs: a communication device with the sensor on its bus, or the
// instrument the simulator options describe.
std::unique_ptr<korrsim::InstrumentFirmware> MakeFirmware(korrsim::Link& link, const Options& o,
                                                          korrsim::Sdi12Sensor* sensor) {
    if (o.sensor.empty()) return korrsim::MakeSimFirmware(link, o.sim);
    // The communication device reports 3.55 unless told otherwise.
    const std::string version = o.sim.firmwareVersion.empty() ? "3.55" : o.sim.firmwareVersion;
    auto device = std::make_unique<korrsim::CommDevice>(link, o.sim.type + " " + version);
    if (o.sensorFault != "absent") device->AttachSensor(sensor);
    return std::make_unique<korrsim::CommandFirmware>(std::move(device), !o.sim.noLoader);
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
    const korrsim::InstrumentType* type = korrsim::FindInstrumentType(o.sim.type);
    if (type == nullptr) {
        std::fprintf(stderr, "korrsim: unknown device type \"%s\"\n", o.sim.type.c_str());
        return 2;
    }
    korrsim::EventLoop loop;
    korrsim::Link line(loop, o.sim.seed);
    korrsim::ApplyLineFaults(line, o.sim);
    if (!o.sensor.empty() && o.sim.type != "MCD" && o.sim.type != "MORVA-XE") {
        std::fprintf(stderr, "korrsim: --sensor needs --type MCD or MORVA-XE\n");
        return 2;
    }
    korrsim::Sdi12Sensor sensor(loop, o.sensor.empty() ? 'x' : o.sensor[0]);
    SetUpSensor(sensor, o);
    korrsim::Instrument instrument(line, *type);
    instrument.SetFirmware(MakeFirmware(line, o, &sensor));
    korrsim::PowerUpSim(instrument, o.sim);

    korrsim::PtyServer server(loop, line);
    server.SetTimeScale(o.timeScale);
    std::string error;
    if (!server.Open(&error)) {
        std::fprintf(stderr, "korrsim: %s\n", error.c_str());
        return 1;
    }
    if (!PublishLink(o.link, server.Path())) return 1;
    std::printf("%s\n", server.Path().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "korrsim: %s (%s) on %s\n", type->code,
                 korrsim::DescribeSim(o.sim).c_str(), server.Path().c_str());

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
    korrsim::AddSimOptions(app, o.sim);
    app.add_option("--link", o.link, "also make the port available as this symlink");
    app.add_option("--dump-flash", o.dumpFlash, "write the flash as TI-Text on exit");
    app.add_option("--time-scale", o.timeScale,
                   "run the simulated time this many times faster than real time")
        ->check(CLI::Range(1.0, 1000.0));
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
