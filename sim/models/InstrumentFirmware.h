#pragma once
// The application firmware of a simulated instrument: what answers on the line while the
// instrument is not in its loader. Each personality (the bare boot-command firmware, the full
// command language of an instrument) derives from this; the instrument owns one and hands it
// the line's bytes whenever the firmware runs.

#include <functional>
#include <string>
#include <utility>

#include "core/Device.h"
#include "models/Flash.h"

namespace korrsim {

// What the instrument found in its flash when it started.
struct BootImage {
    bool runnable = false;  // there is firmware to jump to; otherwise the loader keeps waiting
    bool sound = false;     // the image passes its own integrity check
    std::string code;       // device code the image reports ("QS7"), empty when unknown
    std::string version;    // version text ("3.60"), empty when unknown
    // The fingerprint of the program memory the image started from: a later start with the same
    // fingerprint runs the very program that ran before; another one, a program written since.
    uint64_t program = 0;
};

// Decides what a restart finds in the flash.
using BootCheck = std::function<BootImage(const Flash&)>;

class InstrumentFirmware : public Device {
  public:
    // The instrument starts this firmware: at power-up, and after a restart into new flash.
    virtual void Start(const BootImage& image) { image_ = image; }
    const BootImage& Image() const { return image_; }

    // Set by the instrument: leaves the firmware for the loader (the boot command).
    void SetLoaderEntry(std::function<void()> enter) { enterLoader_ = std::move(enter); }

  protected:
    // Call once the reply to the boot command has been handed to the line.
    void EnterLoader() {
        if (enterLoader_) enterLoader_();
    }

  private:
    BootImage image_;
    std::function<void()> enterLoader_;
};

}  // namespace korrsim
