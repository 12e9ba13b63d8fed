// The bench: two Quorra Series 7 on one port, one after the other, as a technician swaps them.
// An update of A stops part way (its power fails), B is updated on the same port, then A again.
// Judged by the simulator's own record: neither ends with the other's settings, and neither
// loses its own unless a kept file holds them and a message named it.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/UpdateSession.h"
#include "campaign/CampaignRun.h"
#include "campaign/CampaignSupport.h"
#include "core/Random.h"
#include "host/SimUpdateTarget.h"
#include "setup/SimSetup.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempDir.h"

namespace korrcampaign {

using korrsim::kUsPerMs;
using korrsim::TimeUs;

namespace {

constexpr uint64_t kBenchEvery = 10;
constexpr int kRetries = 3;
constexpr TimeUs kHangBound = 3600ull * 1000 * kUsPerMs;
constexpr const char* kType = "QS7";
// B's own values, so that the two instruments' settings tell them apart.
constexpr const char* kCalibrationB = "0.9800 1.0300 -0.0020";
constexpr const char* kConfigB = "QS7:bench B, 2 ch; beep=on";

struct Unit {
    korrsim::Instrument* instrument = nullptr;
    korrsim::SettingsFirmware* commands = nullptr;
    korrsim::SettingsSnapshot before;
    const char* name = "";
};

// The path a box names on a line of its own, in double quotes.
std::vector<std::string> QuotedPaths(const std::string& text) {
    std::vector<std::string> paths;
    for (size_t at = text.find("\n\""); at != std::string::npos; at = text.find("\n\"", at + 1)) {
        const size_t end = text.find('"', at + 2);
        if (end == std::string::npos) break;
        paths.push_back(text.substr(at + 2, end - at - 2));
    }
    return paths;
}

bool FileHoldsCalibration(const std::string& path, const std::string& adccal) {
    return korrtest::ReadFile(path).find("adccal=\"" + adccal + "\"") != std::string::npos;
}

class BenchRun {
  public:
    BenchRun(uint64_t seed, const std::string& logPath)
        : random_(korrsim::Random(seed * 7919 + 17).Next()),
          options_(Options(seed)),
          target_(options_, *korrsim::FindInstrumentType(kType), false) {
        korrsim::Link& line = target_.Bench().Line();
        b_ = std::make_unique<korrsim::Instrument>(line, *korrsim::FindInstrumentType(kType));
        korrsim::SimOptions optionsB = options_;
        optionsB.firmwareVersion = random_.Chance(0.5) ? "3.60" : "3.55";
        b_->SetFirmware(korrsim::MakeSimFirmware(line, optionsB, &unitB_.commands));
        korrsim::PowerUpSim(*b_, optionsB);
        unitB_.commands->Settings().Set("adccal", kCalibrationB);
        unitB_.commands->Settings().Set("config", kConfigB);
        b_->PowerOff();
        target_.Target().TakeLine();

        unitA_ = {&target_.Target(), target_.Commands(), target_.Commands()->Snapshot(), "A"};
        unitB_.instrument = b_.get();
        unitB_.before = unitB_.commands->Snapshot();
        unitB_.name = "B";
        current_ = &unitA_;

        log_ = std::make_unique<korr::KorrLog>(
            logPath.empty() ? (folder_.Path() + "/log.txt").c_str() : logPath.c_str(),
            logPath.empty() ? korr::LOG_ERROR : korr::LOG_TRACE);
        korr::AppSetup setup;
        setup.dataFolder = folder_.Path();
        setup.portName = target_.Port();
        session_.emplace(ui_, setup, log_.get());
        session_->Host().image.type =
            static_cast<uint8_t>(korrsim::FindInstrumentType(kType)->number);
        ui_.answerer = [this](const std::string& title, const std::string& text) {
            return Answer(title, text);
        };
        result_.device = std::string("bench of two QS7 on firmware ") + options_.firmwareVersion +
                         " and " + optionsB.firmwareVersion;
    }

    SeedResult Run();

  private:
    static korrsim::SimOptions Options(uint64_t seed) {
        korrsim::SimOptions o;
        o.type = kType;
        o.seed = seed;
        o.firmwareVersion = seed % 20 == 0 ? "3.60" : "3.55";
        return o;
    }

    // A technician who knows which instrument is on the port: a left file goes into it only
    // when it holds that instrument's own calibration.
    int Answer(const std::string& title, const std::string& text) {
        if (title != "Settings Of Another Update") return korr::kAnswerOk;
        for (const std::string& path : QuotedPaths(text)) {
            if (FileHoldsCalibration(path, current_->before.at("adccal"))) return korr::kAnswerOk;
        }
        return korr::kAnswerCancel;
    }

    void SwapTo(Unit& next) {
        current_->instrument->PowerOff();
        next.instrument->TakeLine();
        next.instrument->PowerOn();
        current_ = &next;
    }

    int32_t Once() {
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
        for (const korrtest::ShownBox& b : ui_.boxes) shown_.push_back(b.text);
        ++result_.runs;
        return r;
    }

    bool Updated(Unit& u, std::string* why) {
        if (u.instrument->CurrentMode() != korrsim::Instrument::Mode::Firmware) {
            *why = std::string(u.name) + " is not running its firmware";
            return false;
        }
        if (!FlashHolds(u.instrument->Memory(), session_->Host().image, why)) return false;
        if (!u.instrument->Booted().sound) {
            *why = std::string(u.name) + "'s firmware fails its self-test";
            return false;
        }
        return true;
    }

    bool Done(Unit& u) {
        std::string why;
        return Updated(u, &why) && u.commands->Snapshot() == u.before;
    }

    // The current instrument is updated until it is done, at most once and three retries.
    void UpdateUntilDone(Unit& u) {
        for (int run = 0; !hung_ && !Done(u) && run <= kRetries; ++run) Once();
    }

    // A kept file with the instrument's own settings, named in a message, is no loss.
    bool KeptAndNamed(const Unit& u) {
        for (const std::string& text : shown_) {
            for (const std::string& path : QuotedPaths(text)) {
                if (FileHoldsCalibration(path, u.before.at("adccal"))) return true;
            }
        }
        return false;
    }

    bool Judge(Unit& u, const Unit& other) {
        std::string why;
        if (!Updated(u, &why)) {
            result_.outcome = Outcome::NotRecovered;
            result_.details = why;
            return false;
        }
        const korrsim::SettingsSnapshot now = u.commands->Snapshot();
        if (now.at("adccal") == other.before.at("adccal") ||
            now.at("config") == other.before.at("config")) {
            result_.outcome = Outcome::WrongInstrument;
            result_.details = std::string(u.name) + " holds " + other.name + "'s settings";
            return false;
        }
        if (now != u.before && !KeptAndNamed(u)) {
            result_.outcome = Outcome::SettingsLost;
            result_.details = std::string(u.name) +
                              "'s settings are gone and no message names a "
                              "file that keeps them";
            return false;
        }
        return true;
    }

    korrsim::Random random_;
    korrsim::SimOptions options_;
    Folder folder_;
    korrsim::SimUpdateTarget target_;
    std::unique_ptr<korrsim::Instrument> b_;
    Unit unitA_, unitB_;
    Unit* current_ = nullptr;
    std::unique_ptr<korr::KorrLog> log_;
    korrtest::ScriptedUserInterface ui_;
    std::optional<korr::UpdateSession> session_;
    std::vector<std::string> shown_;
    SeedResult result_;
    bool hung_ = false;
};

SeedResult BenchRun::Run() {
    // A's update stops part way: its power fails at a moment drawn from the seed.
    korrsim::EventLoop& loop = target_.Bench().Loop();
    const TimeUs cut = loop.Now() + (1000 + random_.Next() % 80000) * kUsPerMs;
    const TimeUs off = (50 + random_.Next() % 30000) * kUsPerMs;
    korrsim::Instrument& a = *unitA_.instrument;
    bool cutDone = false;
    loop.At(cut, [&a, &cutDone] {
        if (!cutDone) a.PowerOff();
    });
    loop.At(cut + off, [&a, &cutDone] {
        if (!cutDone) a.PowerOn();
    });
    char text[96];
    std::snprintf(text, sizeof text, "A's power lost at %.3f s for %.3f s", cut / 1e6, off / 1e6);
    result_.faults = text;
    Once();
    loop.RunUntil(cut + off + 1000 * kUsPerMs);
    cutDone = true;
    if (!a.Powered()) a.PowerOn();

    // B is judged while it is on the line; off it, it runs nothing.
    SwapTo(unitB_);
    UpdateUntilDone(unitB_);
    if (!hung_ && !Judge(unitB_, unitA_)) return result_;
    SwapTo(unitA_);
    UpdateUntilDone(unitA_);
    if (hung_) {
        result_.outcome = Outcome::Hang;
        result_.details = "virtual time passed an hour in one run";
        return result_;
    }
    if (!Judge(unitA_, unitB_)) return result_;
    result_.outcome = Outcome::Recovered;
    return result_;
}

}  // namespace

bool IsBenchSeed(uint64_t seed) {
    return seed % kBenchEvery == 0;
}

SeedResult RunBenchSeed(uint64_t seed, const std::string& logPath) {
    BenchRun run(seed, logPath);
    return run.Run();
}

}  // namespace korrcampaign
