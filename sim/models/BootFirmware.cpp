#include "models/BootFirmware.h"

#include <string_view>

namespace korrsim {

namespace {
constexpr size_t kMaxLine = 64;
constexpr TimeUs kReplyDelay = 5 * kUsPerMs;
}  // namespace

void BootFirmware::OnByte(uint8_t byte) {
    if (byte == '\r') {
        HandleLine();
        line_.clear();
    } else if (byte != '\n' && line_.size() < kMaxLine) {
        line_.push_back(static_cast<char>(byte));
    }
}

void BootFirmware::HandleLine() {
    // Noise ahead of a command (a host that talked at the wrong rate) does not hide it.
    static constexpr std::string_view kBoot = "boot VLUX";
    if (line_.size() < kBoot.size() ||
        line_.compare(line_.size() - kBoot.size(), kBoot.size(), kBoot) != 0)
        return;
    ++bootCommands_;
    if (loaderMissing_) {
        link_.Loop().After(kReplyDelay, [this] { link_.DeviceSend("KorrBSL MISSING\r\n"); });
        return;
    }
    if (refusals_ > 0) {
        --refusals_;
        link_.Loop().After(kReplyDelay, [this] { link_.DeviceSend("ERROR\r\n"); });
        return;
    }
    link_.Loop().After(kReplyDelay, [this] {
        link_.DeviceSend("OK\r\n");
        EnterLoader();
    });
}

}  // namespace korrsim
