#pragma once
// The instrument protocol object against one simulated instrument (or logger) on a simulated
// line, in virtual time, with its log in a temporary folder. The simulated devices outlive the
// protocol object, whose destructor still talks to them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/DeviceRecords.h"
#include "host/SimBench.h"
#include "instrument/Korr_protocol.h"
#include "log/KorrLog.h"
#include "models/Instrument.h"
#include "models/InstrumentProfiles.h"
#include "models/InstrumentTypes.h"
#include "models/SettingsFirmware.h"
#include "support/TempDir.h"

namespace korrtest {

// Sits between the line and a device and notes when each byte arrived.
class ByteRecorder : public korrsim::Device {
  public:
    ByteRecorder(korrsim::EventLoop& loop, korrsim::Device& target)
        : loop_(loop), target_(target) {}
    void OnByte(uint8_t byte) override {
        bytes.push_back({loop_.Now(), byte});
        target_.OnByte(byte);
    }
    void OnDtr(bool on) override { target_.OnDtr(on); }
    void OnHostOpen() override { target_.OnHostOpen(); }
    void OnHostClose() override { target_.OnHostClose(); }

    struct Arrival {
        korrsim::TimeUs at;
        uint8_t byte;
    };
    std::vector<Arrival> bytes;

  private:
    korrsim::EventLoop& loop_;
    korrsim::Device& target_;
};

class InstrumentFixture : public ::testing::Test {
  protected:
    // A used instrument of the type, running its firmware; version null: the profile's.
    korrsim::SettingsFirmware& MakeInstrument(const char* code, const char* version = nullptr) {
        const korrsim::InstrumentProfile* profile = korrsim::FindInstrumentProfile(code);
        const korrsim::InstrumentType* type = korrsim::FindInstrumentType(code);
        EXPECT_NE(profile, nullptr);
        EXPECT_NE(type, nullptr);
        instrument.reset();  // detaches the old one from the line first
        instrument = std::make_unique<korrsim::Instrument>(bench.Line(), *type);
        instrument->SetFirmware(korrsim::MakeSettingsFirmware(bench.Line(), *profile, &firmware));
        image.runnable = image.sound = true;
        image.code = code;
        image.version = version != nullptr ? version : profile->version;
        instrument->RunFirmware(image);
        return *firmware;
    }
    // New firmware starts: factory settings, logged out.
    void BootNewFirmware() { instrument->RunFirmware(image); }

    int32_t Connect() { return kp->KDConnect(bench.Port(), 2, 3, &info); }

    std::string Log() const { return ReadFile(logPath); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    // The lines the instrument heard that start with `prefix`.
    std::vector<std::string> Heard(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& line : firmware->Lines()) {
            if (line.rfind(prefix, 0) == 0) found.push_back(line);
        }
        return found;
    }

    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_TRACE};
    korrsim::SimBench bench;
    std::unique_ptr<korrsim::Instrument> instrument;
    korrsim::SettingsFirmware* firmware = nullptr;
    korrsim::BootImage image;
    korr::DeviceInfo info;
    std::unique_ptr<korr::Korr_protocol> kp = std::make_unique<korr::Korr_protocol>(&log);
};

}  // namespace korrtest
