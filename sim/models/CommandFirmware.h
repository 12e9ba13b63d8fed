#pragma once
// A command-language firmware (a CommandDevice such as Qs7Firmware) running inside a simulated
// instrument: its boot command ("boot VLUX") answers "OK" and hands the line to the
// instrument's loader, and each start tells it what the flash held, so that new firmware
// reports its own version.

#include <functional>
#include <memory>

#include "models/CommandDevice.h"
#include "models/InstrumentFirmware.h"

namespace korrsim {

class CommandFirmware : public InstrumentFirmware {
  public:
    // Sets what the firmware reports once an image starts.
    using StartHook = std::function<void(CommandDevice& device, const BootImage& image)>;

    // Without a loader the firmware answers the boot command "KorrBSL MISSING".
    CommandFirmware(std::unique_ptr<CommandDevice> device, bool hasLoader, StartHook onStart = {});

    void Start(const BootImage& image) override;
    void OnByte(uint8_t byte) override { device_->OnByte(byte); }
    void OnDtr(bool on) override { device_->OnDtr(on); }
    void OnHostOpen() override { device_->OnHostOpen(); }
    void OnHostClose() override { device_->OnHostClose(); }

    CommandDevice& Commands() { return *device_; }

  private:
    std::unique_ptr<CommandDevice> device_;
    StartHook onStart_;
    bool bootAccepted_ = false;
};

}  // namespace korrsim
