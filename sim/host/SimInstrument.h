#pragma once
// A simulated instrument on a simulated line, with the updater's clock and port opener
// installed: what the loader tests, the benchmark and `korrbsl flash --simulate` talk to.
// It starts running its firmware (the bare boot-command firmware unless replaced).

#include <cstdint>
#include <memory>
#include <string>

#include "host/SimBench.h"
#include "models/BootFirmware.h"
#include "models/Instrument.h"
#include "models/InstrumentTypes.h"
#include "models/Qs7Firmware.h"

namespace korrsim {

class SimInstrument {
  public:
    explicit SimInstrument(const char* typeCode = "QS7", uint64_t seed = 1,
                           const std::string& portName = "sim0", int loaderVersion = 12)
        : bench_(seed, portName),
          instrument_(bench_.Line(), TypeOrDefault(typeCode), loaderVersion) {
        auto firmware = std::make_unique<BootFirmware>(bench_.Line());
        bootFirmware_ = firmware.get();
        instrument_.SetFirmware(std::move(firmware));
        factory_.runnable = true;
        factory_.sound = true;
        factory_.code = typeCode != nullptr ? typeCode : "";
        instrument_.RunFirmware(factory_);
    }

    // Replaces the bare firmware with one that speaks the command language and reports its
    // type and `version` ("QS7 3.55"), as a real instrument's does, and starts it.
    void SpeakCommandLanguage(const std::string& version) {
        factory_.version = version;
        instrument_.SetFirmware(
            MakeCommandLanguageFirmware(bench_.Line(), factory_.code + " " + version));
        instrument_.RunFirmware(factory_);
    }

    SimBench& Bench() { return bench_; }
    Link& Line() { return bench_.Line(); }
    EventLoop& Loop() { return bench_.Loop(); }
    const char* Port() const { return bench_.Port(); }
    Instrument& Target() { return instrument_; }
    const Instrument& Target() const { return instrument_; }
    Flash& Memory() { return instrument_.Memory(); }
    BslLoader& Loader() { return instrument_.Loader(); }
    // The bare firmware it started with; null once another personality replaced it.
    BootFirmware* Boot() {
        return instrument_.Firmware() == bootFirmware_ ? bootFirmware_ : nullptr;
    }
    // Lets the simulated devices run for a while (a restart, say) without the updater.
    void RunFor(TimeUs duration) { bench_.Loop().RunUntil(bench_.Loop().Now() + duration); }

    static const InstrumentType& TypeOrDefault(const char* code) {
        const InstrumentType* t = FindInstrumentType(code != nullptr ? code : "");
        return t != nullptr ? *t : *FindInstrumentType("QS7");
    }

  private:
    SimBench bench_;
    Instrument instrument_;
    BootFirmware* bootFirmware_ = nullptr;
    BootImage factory_;
};

}  // namespace korrsim
