// Whatever an instrument answers to the boot command, the wake character, 'P' and the version
// request, BSLConnect ends with a result and leaves no port behind on failure.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bsl/KorrBSLHost.h"
#include "core/Device.h"
#include "host/SimBench.h"

namespace {

// Answers each carriage return or 'P' with the next of the scripted replies.
class Scripted : public korrsim::Device {
  public:
    Scripted(korrsim::Link& link, std::vector<std::string> replies)
        : link_(link), replies_(std::move(replies)) {
        link_.AttachDevice(this);
    }
    ~Scripted() override { link_.AttachDevice(nullptr); }
    void OnByte(uint8_t byte) override {
        if (byte != '\r' && byte != 'P') return;
        if (next_ < replies_.size()) link_.DeviceSend(replies_[next_++]);
    }

  private:
    korrsim::Link& link_;
    std::vector<std::string> replies_;
    size_t next_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Replies are separated by 0xFF bytes; at most a handful, each a few dozen characters.
    std::vector<std::string> replies(1);
    for (size_t i = 0; i < size && replies.size() <= 12; ++i) {
        if (data[i] == 0xFF) {
            replies.emplace_back();
        } else if (replies.back().size() < 64) {
            replies.back() += static_cast<char>(data[i]);
        }
    }
    korrsim::SimBench bench;
    Scripted device(bench.Line(), std::move(replies));
    korr::KorrBSLHost host(nullptr);
    int32_t r = host.BSLConnect(bench.Port(), 9600, false, 2);
    if (r < 0 && (host.connected || host.port.IsOpen())) __builtin_trap();
    if (r > 0 && r != 1 && r != host.loaderVersion) __builtin_trap();
    return 0;
}
