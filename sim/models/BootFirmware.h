#pragma once
// The smallest instrument firmware: it knows only the boot command ("boot VLUX" and a carriage
// return), answers "OK" and jumps into the loader, or answers "KorrBSL MISSING" when it was
// built without one. Everything else it ignores without a word.

#include <cstdint>
#include <string>

#include "core/Link.h"
#include "models/InstrumentFirmware.h"

namespace korrsim {

class BootFirmware : public InstrumentFirmware {
  public:
    explicit BootFirmware(Link& link) : link_(link) {}

    void OnByte(uint8_t byte) override;
    void Start(const BootImage& image) override {
        InstrumentFirmware::Start(image);
        line_.clear();
    }

    // An instrument whose flash has no loader.
    void SetLoaderMissing(bool missing) { loaderMissing_ = missing; }
    // Answers "ERROR" to the next n boot commands (a firmware too busy to jump).
    void RefuseBoots(int count) { refusals_ = count; }
    uint32_t BootCommands() const { return bootCommands_; }

  private:
    void HandleLine();

    Link& link_;
    std::string line_;
    bool loaderMissing_ = false;
    int refusals_ = 0;
    uint32_t bootCommands_ = 0;
};

}  // namespace korrsim
