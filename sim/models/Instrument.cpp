#include "models/Instrument.h"

#include "models/FirmwareIdentity.h"

namespace korrsim {

Instrument::Instrument(Link& link, const InstrumentType& type, int loaderVersion)
    : link_(link),
      type_(type),
      flash_(type.flash),
      loader_(link, flash_, loaderVersion),
      restart_(type.restart),
      group_(link.Loop().NewGroup()) {
    loader_.OnVectorsWritten([this] { Restart(); });
    link_.AttachDevice(this);
    link_.SetDeviceBaud(kFirmwareBaud);
}

Instrument::~Instrument() {
    if (restartEvent_ != 0) link_.Loop().Cancel(restartEvent_);
    link_.AttachDevice(nullptr);
}

void Instrument::TakeLine() {
    link_.AttachDevice(this);
    link_.SetDeviceBaud(mode_ == Mode::Loader ? type_.loaderBaud : kFirmwareBaud);
}

void Instrument::SetFirmware(std::unique_ptr<InstrumentFirmware> firmware) {
    firmware_ = std::move(firmware);
    if (firmware_) firmware_->SetLoaderEntry([this] { EnterLoader(); });
}

BootImage Instrument::IdentityCheck(const Flash& flash) {
    const FirmwareIdentity id = ReadFirmwareIdentity(flash);
    BootImage image;
    image.runnable = id.state != FirmwareState::Erased;
    image.sound = id.state == FirmwareState::Sound;
    image.code = id.code;
    image.version = id.version;
    return image;
}

// Each firmware put in this way counts as a program of its own, whatever the flash holds.
void Instrument::RunFirmware(const BootImage& image) {
    factory_ = image;
    factory_.program = ~0ull - ++factoryStarts_;
    factoryProgram_ = flash_.ProgramFingerprint();
    hasFactory_ = true;
    StartFirmware(factory_);
}

void Instrument::StartFirmware(const BootImage& image) {
    booted_ = image;
    mode_ = Mode::Firmware;
    link_.SetDeviceBaud(kFirmwareBaud);
    EventLoop::GroupScope scope(link_.Loop(), group_);
    if (firmware_) firmware_->Start(booted_);
}

void Instrument::RunLoader(BslLoader::State state) {
    mode_ = Mode::Loader;
    loader_.SetState(state);
    link_.SetDeviceBaud(type_.loaderBaud);
}

Device* Instrument::Active() {
    switch (mode_) {
        case Mode::Firmware:
            return firmware_.get();
        case Mode::Loader:
            return &loader_;
        case Mode::Restarting:
        case Mode::Off:
            break;
    }
    return nullptr;  // nothing listens while the instrument restarts
}

// Whatever the firmware or the loader starts from here belongs to the instrument's group, so
// that a power failure can stop it.
void Instrument::OnByte(uint8_t byte) {
    EventLoop::GroupScope scope(link_.Loop(), group_);
    if (Device* d = Active()) d->OnByte(byte);
}

void Instrument::OnDtr(bool on) {
    EventLoop::GroupScope scope(link_.Loop(), group_);
    if (Device* d = Active()) d->OnDtr(on);
}

void Instrument::OnHostOpen() {
    EventLoop::GroupScope scope(link_.Loop(), group_);
    if (Device* d = Active()) d->OnHostOpen();
}

void Instrument::OnHostClose() {
    EventLoop::GroupScope scope(link_.Loop(), group_);
    if (Device* d = Active()) d->OnHostClose();
}

void Instrument::PowerOff() {
    if (mode_ == Mode::Off) return;
    link_.Loop().DropGroup(group_);
    restartEvent_ = 0;
    mode_ = Mode::Off;
}

void Instrument::PowerOn() {
    if (mode_ != Mode::Off) return;
    Boot();
}

void Instrument::EnterLoader() {
    // The firmware's reply is already on the wire at 9600; from here the loader listens.
    RunLoader(BslLoader::State::Waiting);
}

void Instrument::Restart() {
    ++updates_;
    mode_ = Mode::Restarting;
    restartEvent_ = link_.Loop().After(restart_, [this] {
        restartEvent_ = 0;
        Boot();
    });
}

void Instrument::Boot() {
    if (hasFactory_ && flash_.ProgramFingerprint() == factoryProgram_) {
        StartFirmware(factory_);
        return;
    }
    BootImage image = bootCheck_ ? bootCheck_(flash_) : BootImage{};
    image.program = flash_.ProgramFingerprint();
    if (image.runnable) {
        StartFirmware(image);
    } else {
        booted_ = image;
        RunLoader(BslLoader::State::Waiting);
    }
}

}  // namespace korrsim
