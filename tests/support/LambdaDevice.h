#pragma once
// A device whose behaviour a test writes inline.

#include <functional>
#include <string>

#include "core/Device.h"
#include "core/Link.h"

namespace korrtest {

class LambdaDevice : public korrsim::Device {
  public:
    using Handler = std::function<void(korrsim::Link&, uint8_t)>;
    LambdaDevice(korrsim::Link& link, Handler handler) : link_(link), handler_(std::move(handler)) {
        link_.AttachDevice(this);
    }
    ~LambdaDevice() override { link_.AttachDevice(nullptr); }
    void OnByte(uint8_t byte) override {
        received += static_cast<char>(byte);
        if (handler_) handler_(link_, byte);
    }
    void OnDtr(bool on) override { dtr = on; }

    std::string received;
    bool dtr = false;

  private:
    korrsim::Link& link_;
    Handler handler_;
};

// Answers every carriage return with a fixed text after a delay.
inline LambdaDevice::Handler AnswerEachLine(std::string answer, korrsim::TimeUs delayUs = 1000) {
    return [answer = std::move(answer), delayUs](korrsim::Link& link, uint8_t byte) {
        if (byte != '\r') return;
        link.Loop().After(delayUs, [&link, answer] { link.DeviceSend(answer); });
    };
}

}  // namespace korrtest
