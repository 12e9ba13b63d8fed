#pragma once
// A device that answers every command with the same text, the fuzz input: each line ending in
// a carriage return, and a "+++" (the radio module's escape, sent without one) as well.

#include <cstdint>
#include <string>
#include <utility>

#include "core/Device.h"
#include "core/Link.h"

namespace korrtest {

class FuzzDevice : public korrsim::Device {
  public:
    FuzzDevice(korrsim::Link& link, std::string reply) : link_(link), reply_(std::move(reply)) {
        link_.AttachDevice(this);
    }
    ~FuzzDevice() override { link_.AttachDevice(nullptr); }
    FuzzDevice(const FuzzDevice&) = delete;
    FuzzDevice& operator=(const FuzzDevice&) = delete;

    void OnByte(uint8_t byte) override {
        line_ += static_cast<char>(byte);
        if (byte == '\r' || line_ == "+++") {
            line_.clear();
            link_.DeviceSend(reply_);
        }
    }

  private:
    korrsim::Link& link_;
    std::string reply_;
    std::string line_;
};

}  // namespace korrtest
