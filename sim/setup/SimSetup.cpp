#include "setup/SimSetup.h"

#include <vector>

#include "models/BootFirmware.h"
#include "models/InstrumentProfiles.h"
#include "models/Qs7Firmware.h"

namespace korrsim {

void AddSimOptions(CLI::App& app, SimOptions& o) {
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
    app.add_flag("--loader-version-lines", o.loaderVersionLines,
                 "the loader answers any line starting with 'g' with its version");
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
}

std::string SimFirmwareVersion(const SimOptions& o) {
    return o.firmwareVersion.empty() ? std::string("3.55") : o.firmwareVersion;
}

std::unique_ptr<InstrumentFirmware> MakeSimFirmware(Link& link, const SimOptions& o,
                                                    SettingsFirmware** commands) {
    if (commands != nullptr) *commands = nullptr;
    if (o.bootOnly) {
        auto firmware = std::make_unique<BootFirmware>(link);
        firmware->SetLoaderMissing(o.noLoader);
        return firmware;
    }
    if (const InstrumentProfile* profile = FindInstrumentProfile(o.type)) {
        SettingsFirmware* settings = nullptr;
        auto firmware = MakeSettingsFirmware(link, *profile, &settings, !o.noLoader);
        settings->SetVersionReply(o.type + " " + SimFirmwareVersion(o));
        if (commands != nullptr) *commands = settings;
        return firmware;
    }
    return MakeCommandLanguageFirmware(link, o.type + " " + SimFirmwareVersion(o), !o.noLoader);
}

namespace {

// Calibration data as an instrument leaves the factory with it in its information memory: an
// update erases it, a cancel before the erase must not.
void LoadCalibration(Flash& flash) {
    const FlashLayout& layout = flash.Layout();
    std::vector<uint8_t> data(layout.infoSegmentSize * layout.infoSegments);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x5A ^ i);
    flash.Load(layout.infoStart, data.data(), data.size());
}

}  // namespace

void PowerUpSim(Instrument& instrument, const SimOptions& o) {
    instrument.Loader().SetAnswersVersionLines(o.loaderVersionLines);
    if (o.calibration) LoadCalibration(instrument.Memory());
    if (o.loaderActive) {
        instrument.RunLoader(BslLoader::State::Connected);
    } else if (o.loaderWaiting) {
        instrument.RunLoader(BslLoader::State::Waiting);
    } else {
        BootImage factory;
        factory.runnable = factory.sound = true;
        factory.code = o.type;
        factory.version = SimFirmwareVersion(o);
        instrument.RunFirmware(factory);
    }
}

void ApplyLineFaults(Link& line, const SimOptions& o) {
    for (auto d : {Direction::ToDevice, Direction::ToHost}) {
        line.Faults().SetRates(d, {.lose = o.lose, .corrupt = o.corrupt, .insert = o.noise});
    }
}

std::string DescribeSim(const SimOptions& o) {
    if (o.loaderActive) return "loader active";
    if (o.loaderWaiting) return "loader waiting";
    return "firmware " + SimFirmwareVersion(o);
}

}  // namespace korrsim
