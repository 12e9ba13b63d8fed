#pragma once
// A device link on a simulated line, in virtual time, with its log in a temporary folder. The
// simulated devices live in the fixture and outlive the link, whose destructor still talks to
// them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "device/MORVA_Protocol.h"
#include "host/SimBench.h"
#include "log/KorrLog.h"
#include "support/TempDir.h"

namespace korrtest {

class LinkFixture : public ::testing::Test {
  protected:
    explicit LinkFixture(const std::string& portName = "sim0") : bench(1, portName) {}

    // Creates a device model on the line; the first argument of its constructor is the line.
    template <class Model, class... Args>
    Model& Attach(Args&&... args) {
        auto model = std::make_unique<Model>(bench.Line(), std::forward<Args>(args)...);
        Model& ref = *model;
        bench.Line().AttachDevice(&ref);
        devices.items.push_back(std::move(model));
        return ref;
    }
    // Keeps a device that is not attached to the line itself (one behind a modem).
    template <class Model>
    Model& Keep(std::unique_ptr<Model> model) {
        Model& ref = *model;
        devices.items.push_back(std::move(model));
        return ref;
    }

    korr::ConnectRequest SerialRequest(uint8_t baudIndex = 2) {
        korr::ConnectRequest r;
        korr::CopyText(r.portName, bench.Port());
        r.linkType = korr::kLinkSerial;
        r.baudIndex = baudIndex;
        return r;
    }
    korr::ConnectRequest RadioRequest(const char* name = "") {
        korr::ConnectRequest r = SerialRequest();
        r.linkType = korr::kLinkRadio;
        korr::CopyText(r.deviceName, name);
        return r;
    }
    // Opens the port as a connect would, without logging in.
    void OpenSerial() {
        ASSERT_EQ(korr::KSOpen(link.port, bench.Port(), 9600), 1);
        link.request.linkType = korr::kLinkSerial;
    }
    std::string Log() const { return ReadFile(logPath); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_TRACE};
    korrsim::SimBench bench;
    // Devices go in the reverse order of their making: one behind a modem before the modem.
    struct Devices {
        std::vector<std::unique_ptr<korrsim::Device>> items;
        ~Devices() {
            while (!items.empty()) items.pop_back();
        }
    } devices;
    korr::MORVA_Protocol link{&log};
};

}  // namespace korrtest
