#include "app/gui/SimulatedInstrument.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <thread>

#include "app/gui/EventPump.h"
#include "common/FixedText.h"
#include "device/DeviceTypes.h"
#include "models/InstrumentTypes.h"

namespace korrgui {

namespace {

constexpr const char* kSimulatedPortName = "simulated";

uint64_t RealUs(std::chrono::steady_clock::time_point start) {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
}

}  // namespace

// The simulator's time follows the wall clock: whenever the updater looks at the clock the
// simulated line catches up with real time, and a pause lets the line run for that long while
// the window handles its events. So real ports keep working beside the simulated one.
class LiveSimClock final : public korr::Clock {
  public:
    explicit LiveSimClock(korrsim::EventLoop& loop) : loop_(loop) {
        loop_.SetPacer([this](korrsim::TimeUs to) { WaitUntil(to); });
    }
    ~LiveSimClock() override { loop_.SetPacer(nullptr); }

    uint32_t TickMs() override {
        CatchUp();
        return static_cast<uint32_t>(loop_.Now() / korrsim::kUsPerMs);
    }
    void SleepMs(uint32_t ms) override {
        CatchUp();
        Run(loop_.Now() + korrsim::TimeUs{ms} * korrsim::kUsPerMs);
    }
    void DelayMs(uint32_t ms) override { SleepMs(ms); }
    int32_t LocalUtcOffset() override { return real_.LocalUtcOffset(); }
    std::time_t WallTime() override { return real_.WallTime(); }

  private:
    void CatchUp() { Run(RealUs(start_)); }
    // Never re-entered: a window event handled while the line runs may read the clock.
    void Run(korrsim::TimeUs until) {
        if (running_) return;
        running_ = true;
        loop_.RunUntil(until);
        running_ = false;
    }
    void WaitUntil(korrsim::TimeUs to) {
        for (uint64_t now = RealUs(start_); now < to; now = RealUs(start_)) {
            const uint64_t ms = (to - now) / korrsim::kUsPerMs;
            if (ms >= 2) {
                PumpQtEvents(static_cast<uint32_t>(ms));
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(to - now));
            }
        }
    }

    korrsim::EventLoop& loop_;
    korr::RealClock real_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool running_ = false;
};

SimulatedInstrument::SimulatedInstrument(const korrsim::SimOptions& options,
                                         const korrsim::InstrumentType& type)
    : line_(loop_, options.seed), instrument_(line_, type), typeCode_(options.type) {
    korrsim::ApplyLineFaults(line_, options);
    instrument_.SetFirmware(korrsim::MakeSimFirmware(line_, options));
    korrsim::PowerUpSim(instrument_, options);
    registry_.Add(kSimulatedPortName, line_);
    clock_ = std::make_shared<LiveSimClock>(loop_);
    scopedClock_ = std::make_unique<korr::ScopedClock>(clock_);
    scopedOpener_ = std::make_unique<korr::ScopedPortOpener>(
        [this](const char* name, std::unique_ptr<korr::PortLink>& out) {
            if (name != nullptr && std::string_view(name) == kSimulatedPortName) {
                return registry_.Open(name, out);
            }
            return korr::OpenSystemPort(name, out);
        });
}

SimulatedInstrument::~SimulatedInstrument() {
    scopedOpener_.reset();
    scopedClock_.reset();
}

korr::CommPortInfo SimulatedInstrument::PortEntry() const {
    korr::CommPortInfo entry{};
    const int type = korr::FindDeviceTypeByCode(typeCode_);
    const std::string name = type > korr::kDeviceTypeUnknown && type < korr::kDeviceTypeEnd
                                 ? korr::DeviceTypeInfo(type).displayName
                                 : typeCode_;
    korr::CopyText(entry.name, kSimulatedPortName);
    korr::CopyText(entry.description, ("Simulated " + name).c_str());
    return entry;
}

bool ParseSimulatorSwitches(const std::vector<std::string>& arguments, korrsim::SimOptions* options,
                            std::string* error) {
    CLI::App app{"korrbsl-gui --simulate"};
    app.allow_extras();
    korrsim::AddSimOptions(app, *options);
    app.add_flag("--simulate");
    // The window's own switches look like clusters of short options to a parser.
    std::vector<std::string> args;
    for (const std::string& a : arguments) {
        if (a != "-factory" && a != "-rep") args.push_back(a);
    }
    std::reverse(args.begin(), args.end());  // the parser takes them last first
    try {
        app.parse(args);
    } catch (const CLI::ParseError& e) {
        *error = e.what();
        return false;
    }
    if (korrsim::FindInstrumentType(options->type) == nullptr) {
        *error = "unknown simulated device type \"" + options->type + "\"";
        return false;
    }
    return true;
}

}  // namespace korrgui
