#pragma once
// A device that answers every command with the same text, the fuzz input: each line ending in
// a carriage return, and a "+++" (the radio module's escape, sent without one) as well. A
// limit on the answers keeps a run short where the host would go on asking (a hundred records).

#include <cstdint>
#include <string>
#include <utility>

#include "core/Device.h"
#include "core/Link.h"

namespace korrtest {

class FuzzDevice : public korrsim::Device {
  public:
    FuzzDevice(korrsim::Link& link, std::string reply, int answers = -1)
        : link_(link), reply_(std::move(reply)), answersLeft_(answers) {
        link_.AttachDevice(this);
    }
    ~FuzzDevice() override { link_.AttachDevice(nullptr); }
    FuzzDevice(const FuzzDevice&) = delete;
    FuzzDevice& operator=(const FuzzDevice&) = delete;

    void OnByte(uint8_t byte) override {
        line_ += static_cast<char>(byte);
        if (byte == '\r' || line_ == "+++") {
            line_.clear();
            if (answersLeft_ == 0) return;
            if (answersLeft_ > 0) --answersLeft_;
            link_.DeviceSend(reply_);
        }
    }

  private:
    korrsim::Link& link_;
    std::string reply_;
    std::string line_;
    int answersLeft_;  // -1: no limit
};

}  // namespace korrtest
