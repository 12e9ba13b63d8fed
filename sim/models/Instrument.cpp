#include "models/Instrument.h"

#include "models/FirmwareIdentity.h"

namespace korrsim {

Instrument::Instrument(Link& link, const InstrumentType& type, int loaderVersion)
    : link_(link), type_(type), flash_(type.flash), loader_(link, flash_, loaderVersion) {
    loader_.OnVectorsWritten([this] { Restart(); });
    link_.AttachDevice(this);
    link_.SetDeviceBaud(kFirmwareBaud);
}

Instrument::~Instrument() {
    if (restartEvent_ != 0) link_.Loop().Cancel(restartEvent_);
    link_.AttachDevice(nullptr);
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

void Instrument::RunFirmware(const BootImage& image) {
    booted_ = image;
    mode_ = Mode::Firmware;
    link_.SetDeviceBaud(kFirmwareBaud);
    if (firmware_) firmware_->Start(image);
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
            break;
    }
    return nullptr;  // nothing listens while the instrument restarts
}

void Instrument::OnByte(uint8_t byte) {
    if (Device* d = Active()) d->OnByte(byte);
}

void Instrument::OnDtr(bool on) {
    if (Device* d = Active()) d->OnDtr(on);
}

void Instrument::OnHostOpen() {
    if (Device* d = Active()) d->OnHostOpen();
}

void Instrument::OnHostClose() {
    if (Device* d = Active()) d->OnHostClose();
}

void Instrument::EnterLoader() {
    // The firmware's reply is already on the wire at 9600; from here the loader listens.
    RunLoader(BslLoader::State::Waiting);
}

void Instrument::Restart() {
    ++updates_;
    mode_ = Mode::Restarting;
    restartEvent_ = link_.Loop().After(type_.restart, [this] {
        restartEvent_ = 0;
        Boot();
    });
}

void Instrument::Boot() {
    BootImage image = bootCheck_ ? bootCheck_(flash_) : BootImage{};
    if (image.runnable) {
        RunFirmware(image);
    } else {
        booted_ = image;
        RunLoader(BslLoader::State::Waiting);
    }
}

}  // namespace korrsim
