// The steps of one update, in the order UpdateInstrument runs them; the settings steps are in
// SettingsSteps.cpp.
#include <cerrno>
#include <string>

#include "app/ImageTexts.h"
#include "app/LoaderTroubleText.h"
#include "app/UpdateSession.h"
#include "device/DeviceIdentification.h"
#include "serial/Clock.h"
#include "serial/PortLink.h"

namespace korr {

namespace {

constexpr uint32_t kLoaderRetries = 3;
constexpr int kReconnectAttempts = 3;
constexpr uint32_t kReconnectPauseMs = 1500;
constexpr int kMinimumBattery = 10;
constexpr const char* kCalibratedAdc = "50.98";
constexpr int32_t kNoAnswer = -21;

bool LoaderListening(int32_t r) {
    return r == -80 || r == -81;
}

// Opens and closes the port before the device is spoken to, so that a failure to open it is
// told apart from the device's own codes, whose numbers overlap errno values.
int32_t TryPort(const std::string& name) {
    std::unique_ptr<PortLink> link;
    const int32_t r = OpenPortLink(name.c_str(), link);
    if (r < 0) return r;
    if (link) link->Close();
    return 0;
}

Box PortFailureBox(int32_t error) {
    switch (-error) {
        case EBUSY:
        case EWOULDBLOCK:
            return Box::PortInUse;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:
            return Box::PortNotAvailable;
        case EACCES:
        case EPERM:
            return Box::PortNoPermission;
        default:
            return Box::LoginFailure;
    }
}

}  // namespace

int32_t UpdateSession::UpdateInstrument() {
    int32_t r = LockSettingsFile();
    if (r < 0) return r;
    r = Connect();
    if (r < 0 && !LoaderListening(r)) return r;
    StepProgress(2);
    if (LoaderListening(r)) {
        // An earlier update stopped inside the loader: its settings are in the file it left.
        stage_ = UpdateStage::LoaderStarting;
        FillDeviceInfo(host_.image.type, kLoaderVersionUnknown, 0, &deviceInfo_);
        if ((r = CheckImageFits()) < 0) return r;
        dryRun_.loaderListening = true;
        if (!state_.dryRun) ChooseFileForLoader();
    } else {
        if ((r = CheckDeviceType()) < 0) return r;
        if ((r = CheckImageFits()) < 0) return r;
        if ((r = CheckFirmwareSupported()) < 0) return r;
        if ((r = AskAboutNewerFirmware()) < 0) return r;
        if ((r = CheckBattery()) < 0) return r;
        StepProgress(2);
        if ((r = SaveSettings()) < 0) return r;
        if (!state_.continueFlag) return StopBeforeLoader();
    }
    // Nothing has changed on the instrument so far; from the loader's start on, only a
    // programmed image brings it back.
    if (state_.dryRun) return EndDryRun();
    if ((r = StartLoader()) < 0) return r;
    if ((r = ProgramFlash()) < 0) return r;
    if ((r = Reconnect()) < 0) return r;
    if ((r = CheckNewFirmware()) < 0) return r;
    RestoreSettings();
    stage_ = UpdateStage::Restored;
    if (deviceInfo_.setClock) protocol_.KDSetTime();
    if ((r = EraseOldData()) < 0) return r;
    CheckCalibration();
    protocol_.KDDisconnect(true);
    return 1;
}

int32_t UpdateSession::Connect() {
    if (!state_.portName.empty()) {
        const int32_t p = TryPort(state_.portName);
        if (p < 0) {
            log_->Print(LOG_ERROR, kHostTag, "UpdateInstrument could not open port %s (%d)",
                        state_.portName.c_str(), p);
            ShowError(PortFailureBox(p), p);
            return kUpdateNoConnection;
        }
    }
    const int32_t r =
        protocol_.KDConnect(state_.portName.c_str(), kUpdateBaudIndex, kConnectTries, &deviceInfo_);
    // 0 is no connection either: nothing was identified to go on with.
    if (r > 0 || LoaderListening(r)) return r;
    if (!state_.portName.empty()) {
        const int32_t probe = ProbeForLoader(r);
        if (LoaderListening(probe)) return probe;
    }
    return ReportConnectFailure(r);
}

// A loader in session answers the firmware's commands with '?', which reads as an unknown
// device; ask it the way the loader connection does before giving up on the instrument.
int32_t UpdateSession::ProbeForLoader(int32_t connectResult) {
    protocol_.KDDisconnect(false);
    const int32_t r =
        host_.BSLCheck(state_.portName.c_str(), DeviceTypeInfo(host_.image.type).loaderBaud);
    host_.BSLDisconnect();
    if (LoaderListening(r)) {
        log_->Print(
            LOG_INFO, kHostTag,
            "UpdateInstrument found the KorrBSL listening after the connect failed (%d, %d)",
            connectResult, r);
    }
    return r;
}

int32_t UpdateSession::ReportConnectFailure(int32_t result) {
    if (result == -20) {
        Show(Box::NoAnswer);
    } else if (result == -120 && deviceInfo_.version != 0 && deviceInfo_.type != 0) {
        Show(Box::UnsupportedKnown);
    } else if (result == -120) {
        Show(Box::UnsupportedUnknown);
    } else {
        Show(Box::LoginFailure);
    }
    return kUpdateNoConnection;
}

int32_t UpdateSession::CheckDeviceType() {
    if (deviceInfo_.type == host_.image.type) return 1;
    if (!state_.factoryMode) {
        Show(Box::WrongDevice);
        return kUpdateWrongDevice;
    }
    return Ask(Box::WrongDevice, kFactoryOverride) ? 1 : kUpdateWrongDevice;
}

// The image must fit the memory the loader will be asked to erase before anything is erased:
// one that does not fit would stop half-way and leave an instrument that cannot start.
int32_t UpdateSession::CheckImageFits() {
    const TargetMemory memory{.flashStart = deviceInfo_.flashStart,
                              .flashEnd = deviceInfo_.flashEnd,
                              .infoStart = deviceInfo_.infoStart,
                              .infoSegments = deviceInfo_.infoSegments,
                              .infoSegmentSize = deviceInfo_.infoSegmentSize,
                              .fiveDigit = deviceInfo_.twentyBitAddresses != 0};
    ImageFitProblem problem;
    const int32_t r = CheckImageFit(host_.image, memory, &problem);
    if (r == 1) return 1;
    TextArgs a = Args();
    a.file = host_.image.name;
    a.detail = r == kImageDoesNotFit ? ImageFitText(problem, memory, deviceInfo_.displayName)
                                     : "out of memory";
    log_->Print(LOG_ERROR, kHostTag, "UpdateInstrument: the image %s does not fit: %s",
                host_.image.name, a.detail.c_str());
    Show(Box::ImageDoesNotFit, a);
    return r;
}

int32_t UpdateSession::CheckFirmwareSupported() {
    if (deviceInfo_.updatable) return 1;
    Show(Box::TooOld);
    return kUpdateTooOld;
}

int32_t UpdateSession::AskAboutNewerFirmware() {
    const bool newer = static_cast<uint32_t>(deviceInfo_.version) > state_.updaterFirmwareVersion;
    if (!newer || state_.factoryMode) return 1;
    return Ask(Box::NewerFirmware) ? 1 : kUpdateCancelled;
}

int32_t UpdateSession::CheckBattery() {
    if (!deviceInfo_.checkBattery) return 1;
    SetStatus("Checking battery power...");
    int32_t percent = 0;
    // A failed query lets the update go on: old firmware may not know the command.
    if (protocol_.KDCheckBattery(&percent) > 0 && percent < kMinimumBattery) {
        Show(Box::BatteryLow);
        return kUpdateBatteryLow;
    }
    return 1;
}

int32_t UpdateSession::StopBeforeLoader() {
    log_->Print(LOG_ERROR, kHostTag, "The update stopped before the loader started");
    Show(Box::UpdateStopped);
    return kUpdateCancelled;
}

int32_t UpdateSession::StartLoader() {
    protocol_.KDDisconnect(false);
    stage_ = UpdateStage::LoaderStarting;
    SetProgress(6);
    SetStatus("Starting the firmware loader...");
    const int32_t r =
        host_.BSLConnect(state_.portName.c_str(), deviceInfo_.loaderBaud, true, kLoaderRetries);
    if (r == kNoLoader) {
        Show(Box::LoaderMissing);
        return r;
    }
    if (r < 0) {
        Show(Box::LoaderSilent);
        return kUpdateLoaderSilent;
    }
    return r;
}

int32_t UpdateSession::ProgramFlash() {
    const bool five = deviceInfo_.twentyBitAddresses != 0;
    StepProgress(2);
    SetStatus("Erasing firmware memory...");
    stage_ = UpdateStage::Erasing;
    int32_t r = host_.BSLEraseINFO(deviceInfo_.infoStart, deviceInfo_.infoSegments,
                                   deviceInfo_.infoSegmentSize, five);
    if (r < 0) return LoaderStepFailed(Box::InfoEraseError, r);
    r = host_.BSLEraseFlash(deviceInfo_.flashStart, deviceInfo_.flashEnd, five);
    if (r < 0) return LoaderStepFailed(Box::FlashEraseError, r);

    state_.writeProgressPosition = 21.0f;
    SetProgress(21);
    SetStatus("Uploading new firmware code...");
    r = host_.BSLSendFirmware(five);
    if (r < 0) return LoaderStepFailed(Box::UploadError, r);

    SetStatus("Restarting the " + state_.productName + ", please wait...");
    r = host_.BSLSendVectors();
    if (r < 0) return LoaderStepFailed(Box::UploadError, r);
    stage_ = UpdateStage::Programmed;
    return 1;
}

// A loader step that failed, or that stopped because the update was asked to stop: a stop is
// no loader error. The loader answers a frame that reached it damaged as it answers one it
// cannot carry out; the box says which of the two most likely stopped the step, since one calls
// for the cable to be seen to and the other for the instrument.
int32_t UpdateSession::LoaderStepFailed(Box box, int32_t error) {
    if (error == kUpdateCancelled && !state_.continueFlag) {
        Show(Box::UpdateStopped);
        return error;
    }
    loaderTrouble_ = JudgeLoaderTrouble(host_.line);
    loaderRepeats_ = host_.line.repeatedThrough;
    TextArgs a = Args();
    a.error = error;
    ui_.Beep(kBeepHand);
    ui_.ShowMessageBox(BoxBody(box, a) + LoaderTroubleNote(loaderTrouble_, loaderRepeats_),
                       BoxTitle(box, a), FindBox(box).kind);
    return error;
}

int32_t UpdateSession::Reconnect() {
    host_.BSLDisconnect();
    DelayMs(deviceInfo_.restartDelayMs);
    SetProgress(92);
    int32_t r = 0;
    for (int attempt = 0; attempt < kReconnectAttempts; ++attempt) {
        r = protocol_.KDConnect(state_.portName.c_str(), kUpdateBaudIndex, kConnectTries,
                                &deviceInfo_);
        if (r > 0) break;
        DelayMs(static_cast<uint32_t>(attempt) * kReconnectPauseMs);
    }
    // A connect that connected nothing (0) must not pass for the new firmware answering.
    if (r <= 0) return Failed(Box::ReconnectError, r < 0 ? r : kNoAnswer);
    return 1;
}

int32_t UpdateSession::CheckNewFirmware() {
    StepProgress(2);
    SetStatus("Checking new firmware...");
    const int32_t r = protocol_.KDCheckFirmware(deviceInfo_.checkWithInit != 0);
    if (r < 0) Show(Box::FirmwareCorrupt);
    return r < 0 ? r : 1;
}

int32_t UpdateSession::EraseOldData() {
    StepProgress(2);
    if (!deviceInfo_.eraseData || state_.dontEraseData) return 1;
    SetStatus("Erasing old data...");
    const int32_t r = protocol_.KDEraseData();
    if (r >= 0) return 1;
    ShowError(r == -65 ? Box::DataEraseChip : Box::DataEraseFailed, r);
    return r;
}

void UpdateSession::CheckCalibration() {
    if (std::string(protocol_.instrument.adc) != kCalibratedAdc) deviceInfo_.calibrationNotice = 1;
}

}  // namespace korr
