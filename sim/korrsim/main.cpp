// korrsim: one simulated instrument on a pseudo-terminal, in real time, for the updater (or a
// person without an instrument) to talk to.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "core/EventLoop.h"
#include "core/Link.h"
#include "korrsim/PtyServer.h"
#include "models/FlashDump.h"
#include "models/Instrument.h"
#include "models/InstrumentTypes.h"
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
    double timeScale = 1;
};

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
    korrsim::Instrument instrument(line, *type);
    instrument.SetFirmware(korrsim::MakeSimFirmware(line, o.sim));
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
