#pragma once
// A used instrument with old firmware in its flash and settings in its own memory, the loader
// engine and the instrument protocol on its line, and a tap that can cut the power at a chosen
// byte of what the instrument receives: what the power tests and the fault campaign share.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "core/Device.h"
#include "core/Link.h"
#include "device/DeviceTypes.h"
#include "firmware/ImageSegments.h"
#include "host/SimBench.h"
#include "instrument/Korr_protocol.h"
#include "log/KorrLog.h"
#include "models/Instrument.h"
#include "models/InstrumentProfiles.h"
#include "models/SettingsFirmware.h"
#include "support/FlashImage.h"
#include "support/LoaderUpdate.h"
#include "support/TempDir.h"

namespace korrtest {

// Sits between the line and the instrument, counts what it receives and runs an action when
// the stream reaches a mark: the `occurrence`-th appearance (from 1) of `marker`, then `offset`
// bytes more.
class CutTap : public korrsim::Device {
  public:
    CutTap(korrsim::Link& link, korrsim::Device& inner) : link_(link), inner_(inner) {
        link_.AttachDevice(this);
    }
    ~CutTap() override { link_.AttachDevice(&inner_); }
    CutTap(const CutTap&) = delete;
    CutTap& operator=(const CutTap&) = delete;

    void At(std::string marker, int occurrence, size_t offset, std::function<void()> action) {
        marker_ = std::move(marker);
        occurrence_ = occurrence;
        offset_ = offset;
        action_ = std::move(action);
        armed_ = true;
        afterMark_ = -1;
    }

    void OnByte(uint8_t byte) override {
        bytes += static_cast<char>(byte);
        inner_.OnByte(byte);
        if (!armed_) return;
        if (afterMark_ < 0 && bytes.size() >= marker_.size() &&
            bytes.compare(bytes.size() - marker_.size(), marker_.size(), marker_) == 0 &&
            --occurrence_ == 0) {
            afterMark_ = 0;
        } else if (afterMark_ >= 0) {
            ++afterMark_;
        }
        if (afterMark_ >= 0 && static_cast<size_t>(afterMark_) == offset_) {
            armed_ = false;
            action_();
        }
    }
    void OnDtr(bool on) override { inner_.OnDtr(on); }
    void OnHostOpen() override { inner_.OnHostOpen(); }
    void OnHostClose() override { inner_.OnHostClose(); }

    bool Fired() const { return !armed_ && action_ != nullptr; }
    std::string bytes;

  private:
    korrsim::Link& link_;
    korrsim::Device& inner_;
    std::string marker_;
    int occurrence_ = 0;
    size_t offset_ = 0;
    long afterMark_ = -1;
    bool armed_ = false;
    std::function<void()> action_;
};

// A used QS7-style instrument whose flash holds `oldImage`, with the updater's engines.
struct PowerRig {
    explicit PowerRig(const char* code = "QS7", uint64_t seed = 1)
        : bench(seed),
          type(*korrsim::FindInstrumentType(code)),
          profile(*korrsim::FindInstrumentProfile(code)),
          instrument(bench.Line(), type) {
        instrument.SetFirmware(korrsim::MakeSettingsFirmware(bench.Line(), profile, &firmware));
    }

    // Old firmware from a TI-Text file of the firmware folder, in flash and running.
    bool StartWithImageFile(const std::string& path) {
        korr::KorrBSLHost loaderOfOld(nullptr);
        if (loaderOfOld.BSLLoadTIFile(path.c_str()) != 1) return false;
        WriteImage(instrument.Memory(), loaderOfOld.image);
        instrument.PowerOff();
        instrument.PowerOn();
        return instrument.Booted().sound;
    }

    const korr::DeviceTypeRow& Row() const { return korr::DeviceTypeInfo(type.number); }

    // The loader part of an update; the first failure ends it.
    int32_t Program() { return RunLoaderUpdate(host, bench.Port(), Row()); }

    void RunFor(korrsim::TimeUs duration) { bench.Loop().RunUntil(bench.Loop().Now() + duration); }

    TempDir dir;
    std::string logPath = dir.File("log.txt");
    std::string settingsPath = dir.File("settings.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_VERBOSE};
    korrsim::SimBench bench;
    const korrsim::InstrumentType& type;
    const korrsim::InstrumentProfile& profile;
    korrsim::Instrument instrument;
    korrsim::SettingsFirmware* firmware = nullptr;
    korr::KorrBSLHost host{&log};
};

}  // namespace korrtest
