#include "models/CommandFirmware.h"

namespace korrsim {

namespace {
constexpr const char* kBootWord = "VLUX";
}  // namespace

CommandFirmware::CommandFirmware(std::unique_ptr<CommandDevice> device, bool hasLoader,
                                 StartHook onStart)
    : device_(std::move(device)), onStart_(std::move(onStart)) {
    if (!hasLoader) return;
    // Only the right word leaves for the loader, once the "OK" is on the line.
    device_->SetBootHook(
        [this](const std::string& word) {
            bootAccepted_ = word == kBootWord;
            return std::string(bootAccepted_ ? "OK" : "ERROR");
        },
        [this] {
            if (bootAccepted_) EnterLoader();
        });
}

void CommandFirmware::Start(const BootImage& image) {
    InstrumentFirmware::Start(image);
    device_->PowerUp();
    if (onStart_) onStart_(*device_, image);
}

}  // namespace korrsim
