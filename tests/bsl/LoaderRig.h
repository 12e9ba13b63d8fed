#pragma once
// What the loader tests share: a simulated instrument with a tap on the line, the engine with
// its log in a temporary folder, and images of the shapes the tests program.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "core/Device.h"
#include "core/Link.h"
#include "device/DeviceTypes.h"
#include "host/SimInstrument.h"
#include "support/TempDir.h"

namespace korrtest {

// Sits between the line and the instrument and notes every byte the device receives, with the
// host's rate at that moment.
class LineTap : public korrsim::Device {
  public:
    LineTap(korrsim::Link& link, korrsim::Device& inner) : link_(link), inner_(inner) {
        link_.AttachDevice(this);
    }
    ~LineTap() override { link_.AttachDevice(&inner_); }

    void OnByte(uint8_t byte) override {
        bytes += static_cast<char>(byte);
        bauds.push_back(link_.HostBaud());
        inner_.OnByte(byte);
    }
    void OnDtr(bool on) override { inner_.OnDtr(on); }
    void OnHostOpen() override { inner_.OnHostOpen(); }
    void OnHostClose() override { inner_.OnHostClose(); }

    // The loader frames received, without their check value and carriage return.
    std::vector<std::string> Frames() const {
        std::vector<std::string> out;
        size_t begin = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] != '\r') continue;
            std::string frame = bytes.substr(begin, i - begin);
            size_t dot = frame.rfind('.');
            out.push_back(dot == std::string::npos ? frame : frame.substr(0, dot));
            begin = i + 1;
        }
        return out;
    }
    std::vector<std::string> FramesOf(char letter) const {
        std::vector<std::string> out;
        for (const std::string& f : Frames()) {
            if (!f.empty() && f[0] == letter) out.push_back(f);
        }
        return out;
    }

    std::string bytes;
    std::vector<uint32_t> bauds;

  private:
    korrsim::Link& link_;
    korrsim::Device& inner_;
};

// The instrument, the engine and the log.
struct LoaderRig {
    explicit LoaderRig(const char* type = "QS7", int loaderVersion = 12)
        : sim(type, 1, "sim0", loaderVersion) {}

    std::string Log() const { return ReadFile(logPath); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    const korr::DeviceTypeRow& Row() const {
        return korr::DeviceTypeInfo(sim.Target().Type().number);
    }
    // Attaches to a loader that already has a session open.
    void ConnectToActiveLoader() {
        sim.Target().RunLoader(korrsim::BslLoader::State::Connected);
        ASSERT_EQ(korr::KSOpen(host.port, sim.Port(), sim.Target().Type().loaderBaud), 1);
        host.connected = true;
    }

    TempDir dir;
    std::string logPath = dir.File("log.txt");
    korr::KorrLog log{logPath.c_str(), korr::LOG_VERBOSE};
    korrsim::SimInstrument sim;
    korr::KorrBSLHost host{&log};
};

// One hook call.
struct HookCall {
    uint32_t total, done;
    int phase;
    char kind;
};

// Image text words for a range: a seeded pattern, never an erased word, so that every byte
// written shows in the flash.
inline std::string PatternWords(uint32_t words, uint32_t seed) {
    std::string out;
    char text[8];
    uint32_t x = seed * 2654435761u + 1;
    for (uint32_t i = 0; i < words; ++i) {
        x = x * 1103515245u + 12345u;
        uint32_t w = (x >> 8) & 0xFFFF;
        if (w == 0xFFFF) w = 0x1234;
        std::snprintf(text, sizeof text, "%04X", w);
        out += text;
    }
    return out;
}

// The bytes an image text puts into the flash, by address.
inline std::map<uint32_t, uint8_t> ImageBytes(const std::string& text) {
    std::map<uint32_t, uint8_t> bytes;
    uint32_t address = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '@') {
            address = static_cast<uint32_t>(std::stoul(text.substr(i + 1, 5), nullptr, 16));
            i += 6;
            continue;
        }
        uint32_t word = static_cast<uint32_t>(std::stoul(text.substr(i, 4), nullptr, 16));
        bytes[address] = static_cast<uint8_t>(word & 0xFF);  // high byte first in the text
        bytes[address + 1] = static_cast<uint8_t>(word >> 8);
        address += 2;
        i += 4;
    }
    return bytes;
}

}  // namespace korrtest
