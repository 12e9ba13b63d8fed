#pragma once
// A simulated instrument: its flash, its bootstrap loader and its application firmware on one
// line. The firmware gets the line's bytes while it runs; its boot command hands the line to
// the loader, which then runs at the type's loader baud. Once the loader has written the
// vector table the instrument restarts, after its restart time, into whatever its flash holds:
// firmware that starts (sound, or corrupt and failing its self-test) runs again at 9600 baud;
// erased flash leaves the loader waiting for a host. Power can fail at any moment and come back
// later: whatever was under way is lost, and the instrument starts from its flash as it is.

#include <cstdint>
#include <memory>

#include "core/Device.h"
#include "core/Link.h"
#include "models/BslLoader.h"
#include "models/Flash.h"
#include "models/InstrumentFirmware.h"
#include "models/InstrumentTypes.h"

namespace korrsim {

class Instrument : public Device {
  public:
    enum class Mode { Firmware, Loader, Restarting, Off };

    // Attaches itself to the line; the type must outlive the instrument.
    Instrument(Link& link, const InstrumentType& type, int loaderVersion = 12);
    ~Instrument() override;
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // The firmware personality (owned). Without one, the firmware answers nothing.
    void SetFirmware(std::unique_ptr<InstrumentFirmware> firmware);
    // Replaces the default judgement of what the flash boots.
    void SetBootCheck(BootCheck check) { bootCheck_ = std::move(check); }

    // Power-up states: running firmware that left the factory as `image`, or sitting in the
    // loader (Connected: a session is open and it answers '?'; Waiting: it prompts '$').
    void RunFirmware(const BootImage& image);
    void RunLoader(BslLoader::State state);

    // Power fails: nothing listens or answers, and nothing the instrument had under way goes on.
    void PowerOff();
    // Power is back: the instrument starts from its flash. Program memory unchanged since the
    // factory start runs the factory firmware again.
    void PowerOn();
    // The instrument's cable goes into the port another instrument was on: the line now
    // carries this one's bytes, at the speed of whatever it runs.
    void TakeLine();
    bool Powered() const { return mode_ != Mode::Off; }
    // A restart slower than the type's (a cold instrument, a slow oscillator).
    void SetRestartTime(TimeUs restart) { restart_ = restart; }
    TimeUs RestartTime() const { return restart_; }

    void OnByte(uint8_t byte) override;
    void OnDtr(bool on) override;
    void OnHostOpen() override;
    void OnHostClose() override;

    Mode CurrentMode() const { return mode_; }
    const InstrumentType& Type() const { return type_; }
    Flash& Memory() { return flash_; }
    const Flash& Memory() const { return flash_; }
    BslLoader& Loader() { return loader_; }
    InstrumentFirmware* Firmware() { return firmware_.get(); }
    // What the last start found in the flash (or the factory image of RunFirmware).
    const BootImage& Booted() const { return booted_; }
    // Vector tables written, i.e. updates the loader finished.
    uint32_t Updates() const { return updates_; }

    // The default judgement: what the identity block of the firmware in flash says.
    static BootImage IdentityCheck(const Flash& flash);

  private:
    void EnterLoader();
    void Restart();
    void Boot();
    void StartFirmware(const BootImage& image);
    Device* Active();

    Link& link_;
    const InstrumentType& type_;
    Flash flash_;
    BslLoader loader_;
    std::unique_ptr<InstrumentFirmware> firmware_;
    BootCheck bootCheck_ = IdentityCheck;
    BootImage booted_;
    BootImage factory_;            // what RunFirmware started
    uint64_t factoryProgram_ = 0;  // the program memory's fingerprint then
    bool hasFactory_ = false;
    uint64_t factoryStarts_ = 0;
    Mode mode_ = Mode::Firmware;
    TimeUs restart_;
    uint32_t group_;  // the event loop's group of everything the instrument has under way
    uint32_t updates_ = 0;
    uint64_t restartEvent_ = 0;
};

}  // namespace korrsim
