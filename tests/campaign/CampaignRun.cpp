#include "campaign/CampaignRun.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/UpdateSession.h"
#include "campaign/CampaignSupport.h"
#include "core/Random.h"
#include "firmware/ImageSegments.h"
#include "host/SimUpdateTarget.h"
#include "models/FirmwareIdentity.h"
#include "support/FlashImage.h"
#include "support/ScriptedUserInterface.h"

namespace korrcampaign {

namespace fs = std::filesystem;
using korrsim::Direction;
using korrsim::kUsPerMs;
using korrsim::TimeUs;

namespace {

constexpr int kRetries = 3;
// No update, however unlucky, takes an hour of line time; one that does is stuck.
constexpr TimeUs kHangBound = 3600ull * 1000 * kUsPerMs;
constexpr TimeUs kFaultWindow = 120ull * 1000 * kUsPerMs;  // faults fall in the first run

// The instruments the campaign updates, each with an image the updater can be given for it.
struct Kind {
    const char* code;
    const char* imageFile;  // empty: the built-in image
};
constexpr Kind kKinds[] = {{"QS7", ""}, {"TM", ""}, {"QE8", "QE8 2-10.txt"}};

enum class State { Old, Newer, Damaged, LoaderActive, LoaderWaiting };
constexpr const char* kStateNames[] = {"old firmware", "newer firmware", "damaged firmware",
                                       "loader active", "loader waiting"};

class SeedRun {
  public:
    SeedRun(uint64_t seed, const std::string& logPath)
        : random_(korrsim::Random(seed).Next()),
          kind_(kKinds[random_.Next() % std::size(kKinds)]),
          state_(PickState()),
          target_(Options(seed), *korrsim::FindInstrumentType(kind_.code), false),
          log_(std::make_unique<korr::KorrLog>(
              logPath.empty() ? (folder_.Path() + "/log.txt").c_str() : logPath.c_str(),
              logPath.empty() ? korr::LOG_ERROR : korr::LOG_TRACE)) {
        korr::AppSetup setup;
        setup.dataFolder = folder_.Path();
        setup.portName = target_.Port();
        session_.emplace(ui_, setup, log_.get());
        PrepareImage();
        PrepareInstrument();
        before_ = Commands().Snapshot();
        result_.device = std::string(kind_.code) + " " + kStateNames[static_cast<int>(state_)];
    }

    SeedResult Run();

  private:
    State PickState() {
        const uint64_t r = random_.Next() % 100;
        if (r < 55) return State::Old;
        if (r < 65 && std::string(kind_.code) == "QS7") return State::Newer;
        if (r < 75) return State::Damaged;
        if (r < 88) return State::LoaderActive;
        return State::LoaderWaiting;
    }
    korrsim::SimOptions Options(uint64_t seed) const {
        korrsim::SimOptions o;
        o.type = kind_.code;
        o.seed = seed;
        o.loaderActive = state_ == State::LoaderActive;
        // Firmware of its own goes in while the instrument waits in its loader, before it starts.
        o.loaderWaiting =
            state_ == State::LoaderWaiting || state_ == State::Newer || state_ == State::Damaged;
        return o;
    }
    korrsim::SettingsFirmware& Commands() { return *target_.Commands(); }
    korr::FirmwareImage& Image() { return session_->Host().image; }

    void PrepareImage();
    void PrepareInstrument();
    void InjectFaults();
    void ClearFaults();
    int32_t Once();
    bool Judge(std::string* why);

    korrsim::Random random_;
    Kind kind_;
    State state_;
    Folder folder_;
    korrsim::SimUpdateTarget target_;
    std::unique_ptr<korr::KorrLog> log_;
    korrtest::ScriptedUserInterface ui_;
    std::optional<korr::UpdateSession> session_;
    korrsim::SettingsSnapshot before_;
    SeedResult result_;
    bool faultsOn_ = false;
    TimeUs normalReplyDelay_ = 0;
    bool hung_ = false;
};

// The built-in image, or the type's own from the firmware folder; a type without an image of
// its own takes the built-in one as its own (its firmware then reports the type's code).
void SeedRun::PrepareImage() {
    if (*kind_.imageFile != '\0') {
        const std::string path = std::string(KORR_FIRMWARE_DIR) + "/" + kind_.imageFile;
        session_->Host().BSLLoadTIFile(path.c_str());
        session_->State().updaterFirmwareVersion = static_cast<uint32_t>(Image().version);
    }
    Image().type = static_cast<uint8_t>(korrsim::FindInstrumentType(kind_.code)->number);
    const std::string code = kind_.code;
    target_.Target().SetBootCheck([code](const korrsim::Flash& flash) {
        korrsim::BootImage image = korrsim::Instrument::IdentityCheck(flash);
        if (image.runnable && image.code != code && !image.code.empty()) {
            image.code = code;
            image.version = "3.60";
        }
        return image;
    });
}

// Firmware other than the factory's is put into the flash before the instrument first starts,
// so that it starts with its field settings.
void SeedRun::PrepareInstrument() {
    korrsim::Instrument& instrument = target_.Target();
    if (state_ == State::Newer || state_ == State::Damaged) {
        korr::KorrBSLHost other(nullptr);
        const bool newer = state_ == State::Newer;
        if (newer) other.BSLLoadTIFile((std::string(KORR_FIRMWARE_DIR) + "/QS7 3-61.txt").c_str());
        korrtest::WriteImage(instrument.Memory(), newer ? other.image : Image(), !newer);
        instrument.PowerOff();
        instrument.PowerOn();
    }
    // A loader that is already running was left by an update that got past the erase: what the
    // instrument holds in its settings memory then is whatever the new image set up.
    if (state_ == State::LoaderActive || state_ == State::LoaderWaiting) Commands().FactoryReset();
    // Some instruments restart slower than their type says (up to twice as long: the updater
    // keeps trying for about seven seconds beyond the type's delay).
    if (random_.Chance(0.2)) {
        instrument.SetRestartTime(instrument.RestartTime() * (11 + random_.Next() % 10) / 10);
    }
}

// Faults for the first run, drawn from the seed, each at a random moment of it.
void SeedRun::InjectFaults() {
    korrsim::Link& line = target_.Bench().Line();
    korrsim::EventLoop& loop = target_.Bench().Loop();
    const TimeUs start = loop.Now();
    auto moment = [&] { return start + random_.Next() % kFaultWindow; };
    auto later = [&](TimeUs at, std::function<void()> action) {
        loop.At(at, [this, action = std::move(action)] {
            if (faultsOn_) action();
        });
    };
    char text[96];
    if (random_.Chance(0.5)) {
        const double scale = 0.003 * random_.Unit();
        const korrsim::FaultRates rates{.lose = scale * random_.Unit(),
                                        .corrupt = scale * random_.Unit(),
                                        .insert = scale * random_.Unit()};
        line.Faults().SetRates(Direction::ToDevice, rates);
        line.Faults().SetRates(Direction::ToHost, rates);
        std::snprintf(text, sizeof text, "bytes lost %.4f corrupted %.4f inserted %.4f; ",
                      rates.lose, rates.corrupt, rates.insert);
        result_.faults += text;
    }
    for (uint64_t n = random_.Next() % 4; n > 0; --n) {
        const Direction d = random_.Chance(0.5) ? Direction::ToDevice : Direction::ToHost;
        const TimeUs at = moment();
        const size_t count = 1 + random_.Next() % 40;
        later(at, [&line, d, count, this] {
            line.InjectNoise(d, target_.Bench().Loop().Now(), count);
        });
        std::snprintf(text, sizeof text, "noise %zu bytes at %.3f s; ", count, at / 1e6);
        result_.faults += text;
    }
    for (uint64_t n = random_.Next() % 3; n > 0; --n) {
        const TimeUs at = moment();
        const TimeUs length = (200 + random_.Next() % 8000) * kUsPerMs;
        line.Faults().AddSilence(at, at + length);
        std::snprintf(text, sizeof text, "silence %.3f s at %.3f s; ", length / 1e6, at / 1e6);
        result_.faults += text;
    }
    normalReplyDelay_ = Commands().ReplyDelay();
    if (random_.Chance(0.2)) {
        // Slow, but within the 1000 ms a setting is given (slower is no answer at all).
        const TimeUs delay = (100 + random_.Next() % 800) * kUsPerMs;
        Commands().SetReplyDelay(delay);
        target_.Target().Loader().Timing().reply = delay / 2;
        std::snprintf(text, sizeof text, "slow replies %.3f s; ", delay / 1e6);
        result_.faults += text;
    }
    if (random_.Chance(0.05)) {
        line.SetEcho(true);
        result_.faults += "echoing relay; ";
    }
    if (random_.Chance(0.3)) {
        const TimeUs at = moment();
        const TimeUs off = (50 + random_.Next() % 30000) * kUsPerMs;
        later(at, [this] { target_.Target().PowerOff(); });
        later(at + off, [this] { target_.Target().PowerOn(); });
        std::snprintf(text, sizeof text, "power lost at %.3f s for %.3f s; ", at / 1e6, off / 1e6);
        result_.faults += text;
    }
    if (random_.Chance(0.2)) {
        const TimeUs at = moment();
        const TimeUs out = (50 + random_.Next() % 20000) * kUsPerMs;
        later(at, [&line] { line.Unplug(); });
        later(at + out, [&line] { line.Plug(); });
        std::snprintf(text, sizeof text, "cable out at %.3f s for %.3f s; ", at / 1e6, out / 1e6);
        result_.faults += text;
    }
    if (target_.Target().RestartTime() != korrsim::FindInstrumentType(kind_.code)->restart) {
        std::snprintf(text, sizeof text, "restart %.3f s; ", target_.Target().RestartTime() / 1e6);
        result_.faults += text;
    }
    if (result_.faults.empty()) result_.faults = "none";
    faultsOn_ = true;
}

// The retries run on a sound line: power back, cable in, no more faults.
void SeedRun::ClearFaults() {
    faultsOn_ = false;
    korrsim::Link& line = target_.Bench().Line();
    line.Faults().SetRates(Direction::ToDevice, {});
    line.Faults().SetRates(Direction::ToHost, {});
    line.Faults().ClearSilences();
    line.SetEcho(false);
    line.Plug();
    Commands().SetReplyDelay(normalReplyDelay_);
    target_.Target().Loader().Timing() = korrsim::LoaderTiming{};
    target_.Target().PowerOn();
}

int32_t SeedRun::Once() {
    korrsim::EventLoop& loop = target_.Bench().Loop();
    const TimeUs bound = loop.Now() + kHangBound;
    ui_.boxes.clear();
    ui_.onEvents = [this, &loop, bound] {
        if (!hung_ && loop.Now() > bound) {
            hung_ = true;
            session_->AbandonUpdate();
        }
    };
    session_->StartRequested();
    const int32_t r = session_->timerStartTimer();
    ++result_.runs;
    return r;
}

// By the simulator's own record: the image in flash, started and sound; and the settings.
bool SeedRun::Judge(std::string* why) {
    korrsim::Instrument& instrument = target_.Target();
    if (instrument.CurrentMode() != korrsim::Instrument::Mode::Firmware) {
        *why = "the instrument is not running its firmware";
        return false;
    }
    if (!FlashHolds(instrument.Memory(), Image(), why)) return false;
    if (!instrument.Booted().sound) {
        *why = "the firmware fails its self-test";
        return false;
    }
    return true;
}

SeedResult SeedRun::Run() {
    InjectFaults();
    const int32_t first = Once();
    ClearFaults();
    const bool clear =
        first > 0 ||
        (!ui_.boxes.empty() && ui_.boxes.back().kind == static_cast<int>(korr::MessageKind::Error));
    std::string why;
    bool updated = !hung_ && Judge(&why);
    if (first > 0 && !updated) {
        result_.outcome = Outcome::Unclear;
        result_.details = "success reported, but " + why;
        return result_;
    }
    auto done = [&] { return updated && Commands().Snapshot() == before_; };
    // A technician starts the same update again, up to three times.
    for (int retry = 0; !hung_ && !done() && retry < kRetries; ++retry) {
        const int32_t r = Once();
        updated = !hung_ && Judge(&why);
        if (r > 0 && !updated) {
            result_.outcome = Outcome::Unclear;
            result_.details = "retry reported success, but " + why;
            return result_;
        }
    }
    if (hung_) {
        result_.outcome = Outcome::Hang;
        result_.details = "virtual time passed an hour in one run";
    } else if (!updated) {
        result_.outcome = Outcome::NotRecovered;
        result_.details = why;
    } else if (Commands().Snapshot() != before_) {
        result_.outcome = Outcome::SettingsLost;
        for (const auto& [key, value] : before_) {
            const korrsim::SettingsSnapshot now = Commands().Snapshot();
            auto it = now.find(key);
            if (it == now.end() || it->second != value) {
                result_.details += key + " ";
            }
        }
    } else if (first > 0) {
        result_.outcome = Outcome::FirstTry;
    } else if (!clear) {
        result_.outcome = Outcome::Unclear;
        result_.details = "the first run failed without an error box";
    } else {
        result_.outcome = Outcome::Recovered;
    }
    return result_;
}

}  // namespace

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::FirstTry:
            return "updated at the first try";
        case Outcome::Recovered:
            return "recovered";
        case Outcome::NotRecovered:
            return "not recovered";
        case Outcome::SettingsLost:
            return "settings lost";
        case Outcome::WrongInstrument:
            return "settings written into the wrong instrument";
        case Outcome::Unclear:
            return "unclear failure";
        case Outcome::Hang:
            return "hang";
    }
    return "?";
}

SeedResult RunSeed(uint64_t seed, const std::string& logPath) {
    if (IsBenchSeed(seed)) return RunBenchSeed(seed, logPath);
    SeedRun run(seed, logPath);
    return run.Run();
}

}  // namespace korrcampaign
