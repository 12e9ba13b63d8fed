#pragma once
// A device link on a simulated line to a scripted device, already open and logged in as a
// new-firmware logger that can do everything; tests take capabilities away as they need.

#include <gtest/gtest.h>

#include <string>

#include "device/DeviceIdentification.h"
#include "device/MORVA_Protocol.h"
#include "host/SimBench.h"
#include "log/KorrLog.h"
#include "support/ScriptedDevice.h"
#include "support/TempDir.h"

namespace korrtest {

class ScriptedLink : public ::testing::Test {
  protected:
    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_TRACE};
    korrsim::SimBench bench;
    ScriptedDevice device{bench.Line()};
    korr::MORVA_Protocol link{&log};

    void SetUp() override {
        ASSERT_EQ(korr::KSOpen(link.port, bench.Port(), 9600), 1);
        link.request.linkType = korr::kLinkSerial;
        link.settings.newCommandSet = 1;
        link.settings.deviceClass = korr::kClassTr30;
        link.settings.capabilities = ~(korr::kCapADCShort | korr::kCapKorrSeconds);
        link.settings.version = 202;
        link.settings.trait = korr::kTraitValid | korr::kTraitRadio | korr::kTraitModem;
    }

    std::string Log() const { return ReadFile(logPath); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    bool Sent(const std::string& command) const { return device.Heard(command); }
};

}  // namespace korrtest
