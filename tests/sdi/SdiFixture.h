#pragma once
// The SDI-12 access object on a device link to a simulated communication device, in virtual
// time, with a digital sensor on the device's bus (attached by the test) and the log in a
// temporary folder.

#include <gtest/gtest.h>

#include <string>

#include "device/MORVA_Protocol.h"
#include "host/SimBench.h"
#include "log/KorrLog.h"
#include "models/CommDevice.h"
#include "models/Sdi12Sensor.h"
#include "sdi/KorrSDI12.h"
#include "support/TempDir.h"

namespace korrtest {

class SdiFixture : public ::testing::Test {
  protected:
    SdiFixture() {
        bench.Line().AttachDevice(&commDevice);
        commDevice.AttachSensor(&sensor);
    }
    void SetUp() override {
        ASSERT_EQ(korr::KSOpen(link.port, bench.Port(), 9600), 1);
        link.request.linkType = korr::kLinkSerial;
    }
    void TearDown() override { link.request.linkType = korr::kLinkClosed; }

    // One exchange through the transport; the reply text in `reply`.
    int32_t Send(const char* command, std::string* reply = nullptr, uint32_t capacity = 129) {
        char buffer[256] = {};
        uint32_t length = capacity;
        const int32_t r = sdi.SDISendCommand(command, buffer, &length, &elapsedMs);
        if (reply != nullptr) *reply = std::string(buffer, length);
        return r;
    }
    std::string Log() const { return ReadFile(logPath); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_VERBOSE};
    korrsim::SimBench bench;
    korrsim::CommDevice commDevice{bench.Line()};
    korrsim::Sdi12Sensor sensor{bench.Loop(), 'y'};
    korr::MORVA_Protocol link{&log};
    korr::KorrSDI12 sdi{&log, &link};
    uint32_t elapsedMs = 0;
};

}  // namespace korrtest
