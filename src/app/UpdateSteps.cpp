// The steps of one update, in the order UpdateInstrument runs them.
#include <cerrno>
#include <filesystem>
#include <string>

#include "app/SettingsFiles.h"
#include "app/UpdateSession.h"
#include "device/DeviceIdentification.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/WholeFile.h"
#include "serial/Clock.h"
#include "serial/PortLink.h"

namespace korr {

namespace {

constexpr uint8_t kUpdateBaudIndex = 2;  // 9600 baud
constexpr uint32_t kConnectTries = 3;
constexpr uint32_t kLoaderRetries = 3;
constexpr int kReconnectAttempts = 3;
constexpr uint32_t kReconnectPauseMs = 1500;
constexpr int kMinimumBattery = 10;
constexpr const char* kCalibratedAdc = "50.98";
constexpr int kSettingsReadings = 3;
constexpr int32_t kSettingsUnconfirmed = -30;  // the instrument's replies did not agree

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
    int32_t r = Connect();
    if (r < 0 && !LoaderListening(r)) return r;
    StepProgress(2);
    if (LoaderListening(r)) {
        // An earlier update stopped inside the loader: its settings are in the file it left.
        FillDeviceInfo(host_.image.type, kLoaderVersionUnknown, 0, &deviceInfo_);
    } else {
        if ((r = CheckDeviceType()) < 0) return r;
        if ((r = CheckFirmwareSupported()) < 0) return r;
        if ((r = AskAboutNewerFirmware()) < 0) return r;
        if ((r = CheckBattery()) < 0) return r;
        StepProgress(2);
        if ((r = SaveSettings()) < 0) return r;
    }
    if ((r = StartLoader()) < 0) return r;
    if ((r = ProgramFlash()) < 0) return r;
    if ((r = Reconnect()) < 0) return r;
    if ((r = CheckNewFirmware()) < 0) return r;
    RestoreSettings();
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
    if (r >= 0 || LoaderListening(r)) return r;
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

int32_t UpdateSession::SaveSettings() {
    if (!deviceInfo_.saveRestore) return 1;
    SetStatus("Saving settings for this " + state_.productName + "...");
    if (FileExists(state_.settingsFilePath) && LeftFileIsThisInstruments()) {
        log_->Print(LOG_ERROR, kHostTag,
                    "The settings file of an unfinished update belongs to this instrument; its "
                    "settings come back from it");
        return 1;
    }
    int32_t r = MoveLeftSettingsAside();
    if (r < 0) return r;
    r = SaveAndConfirm();
    if (r >= 0) return r;
    if (!state_.repMode && !state_.factoryMode) {
        Show(Box::SettingsSave);
        return r;
    }
    if (!Ask(Box::SettingsRetrieve)) return kUpdateCancelled;
    settingsNotRetrieved_ = true;
    return 1;
}

// A settings file at this point was left by an update that did not finish; the instrument
// may now hold factory settings, and the file the only copy of its own.
int32_t UpdateSession::MoveLeftSettingsAside() {
    const std::string& path = state_.settingsFilePath;
    std::string moved;
    const int32_t r = MoveAside(path, WallTime() + LocalUtcOffset(), &moved);
    if (r == 0) return 1;
    TextArgs a = Args();
    if (r < 0) {
        log_->Print(LOG_ERROR, kHostTag, "Could not move the settings file %s aside (%d)",
                    path.c_str(), r);
        a.error = r;
        Show(Box::SettingsMoveFailed, a);
        return r;
    }
    log_->Print(LOG_ERROR, kHostTag, "Moved the settings file of an unfinished update to %s",
                moved.c_str());
    ui_.PointToFile(FileRole::SettingsMovedAside, moved);
    a.path = moved;
    Show(Box::SettingsMovedAside, a);
    return 1;
}

// The settings file is the only copy of the instrument's settings once the flash is erased, and
// a line can change a character of a reply without anyone noticing: the settings are read
// twice and kept only when both readings agree.
int32_t UpdateSession::SaveAndConfirm() {
    int32_t r = kSettingsUnconfirmed;
    for (int attempt = 0; attempt < kSettingsReadings && r < 0; ++attempt) {
        r = protocol_.KDSaveInfo(state_.settingsFilePath.c_str());
        if (r < 0) break;
        if (InstrumentHoldsTheFile()) return r;
        log_->Print(LOG_ERROR, kHostTag, "Two readings of the settings differ; reading again");
        r = kSettingsUnconfirmed;
    }
    // An unconfirmed reading must not pass later for the settings of an unfinished update; the
    // instrument still holds its own.
    std::error_code ec;
    std::filesystem::remove(state_.settingsFilePath, ec);
    return r;
}

// A file left by an update that got past the erase holds the instrument's own settings, while
// the instrument, on its new firmware, may hold only the values that firmware starts with;
// saving over the file would lose them. The file is this instrument's when the serial numbers
// agree, or when the instrument runs this updater's firmware with the blank serial number of
// new firmware (or keeps none at all).
bool UpdateSession::LeftFileIsThisInstruments() {
    std::string left, now;
    const bool read = ReadSettingsBesideFile(&left, &now);
    protocol_.settingsHeld = false;  // what comes back is the file, not this reading
    if (!read) return false;
    auto serial = [](const std::string& text) {
        return std::string(FindFileValue(text, "sn").value_or(""));
    };
    const std::string leftSerial = serial(left), nowSerial = serial(now);
    if (!leftSerial.empty() && nowSerial == leftSerial) return true;
    // Without a serial number to go by, an instrument on this updater's firmware is taken to be
    // the one the unfinished update was working on.
    const bool blank = nowSerial.find_first_not_of('0') == std::string::npos;
    return blank && static_cast<uint32_t>(deviceInfo_.version) == state_.updaterFirmwareVersion;
}

// Reads the instrument's settings again and compares them with the settings file.
// The second reading runs on a new connection: an answer cut short by noise leaves its rest on
// the line, and every answer after it in the same connection is the one before, so that two
// readings there would agree on the same wrong values.
bool UpdateSession::InstrumentHoldsTheFile() {
    protocol_.KDDisconnect(false);
    DeviceInfo again = deviceInfo_;
    const int32_t r =
        protocol_.KDConnect(state_.portName.c_str(), kUpdateBaudIndex, kConnectTries, &again);
    std::string saved, now;
    return r > 0 && ReadSettingsBesideFile(&saved, &now) && saved == now;
}

// Reads the instrument's settings as they are now into a scratch file beside the settings file
// and gives back both texts; the scratch file is removed again.
bool UpdateSession::ReadSettingsBesideFile(std::string* saved, std::string* now) {
    const std::string scratch = state_.settingsFilePath + ".check";
    const bool read = protocol_.KDSaveInfo(scratch.c_str()) >= 0 &&
                      ReadWholeFile(state_.settingsFilePath.c_str(), saved) >= 0 &&
                      ReadWholeFile(scratch.c_str(), now) >= 0;
    std::error_code ec;
    std::filesystem::remove(scratch, ec);
    return read;
}

// What the line changed on the way in is put right by writing the settings again.
int32_t UpdateSession::RestoreAndConfirm(const char* newNumber) {
    int32_t r = 0;
    for (int attempt = 0; attempt < kSettingsReadings; ++attempt) {
        r = protocol_.KDRestoreInfo(state_.settingsFilePath.c_str(), newNumber);
        // A new serial number makes the instrument differ from the file on purpose.
        if (r < 0 || newNumber != nullptr || InstrumentHoldsTheFile()) return r;
        log_->Print(LOG_ERROR, kHostTag,
                    "The instrument does not hold the restored settings; "
                    "restoring again");
        protocol_.settingsHeld = false;  // from the file, not from the reading just taken
        r = kSettingsUnconfirmed;
    }
    return r;
}

int32_t UpdateSession::StartLoader() {
    protocol_.KDDisconnect(false);
    SetProgress(6);
    SetStatus("Starting the firmware loader...");
    const int32_t r =
        host_.BSLConnect(state_.portName.c_str(), deviceInfo_.loaderBaud, true, kLoaderRetries);
    if (r == -112) {
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
    int32_t r = host_.BSLEraseINFO(deviceInfo_.infoStart, deviceInfo_.infoSegments,
                                   deviceInfo_.infoSegmentSize, five);
    if (r < 0) return Failed(Box::InfoEraseError, r);
    r = host_.BSLEraseFlash(deviceInfo_.flashStart, deviceInfo_.flashEnd, five);
    if (r < 0) return Failed(Box::FlashEraseError, r);

    state_.writeProgressPosition = 21.0f;
    SetProgress(21);
    SetStatus("Uploading new firmware code...");
    r = host_.BSLSendFirmware(five);
    if (r < 0) return Failed(Box::UploadError, r);

    SetStatus("Restarting the " + state_.productName + ", please wait...");
    r = host_.BSLSendVectors();
    if (r < 0) return Failed(Box::UploadError, r);
    return 1;
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
    if (r < 0) return Failed(Box::ReconnectError, r);
    return 1;
}

int32_t UpdateSession::CheckNewFirmware() {
    StepProgress(2);
    SetStatus("Checking new firmware...");
    const int32_t r = protocol_.KDCheckFirmware(deviceInfo_.checkWithInit != 0);
    if (r < 0) Show(Box::FirmwareCorrupt);
    return r < 0 ? r : 1;
}

void UpdateSession::HoldNewSerialNumberOnly() {
    settingsNotRetrieved_ = false;
    protocol_.settingsHeld = true;
    protocol_.instrumentFlags = kInstSerialNumber;
    protocol_.instrumentType = 0;
    protocol_.loggerSettings.validMask = kSetSerialNumber;
}

void UpdateSession::RestoreSettings() {
    StepProgress(2);
    SetStatus("Restoring settings...");
    const bool newNumber = state_.replaceSerialNumber && !state_.newSerialNumber.empty();
    if (settingsNotRetrieved_ && newNumber) HoldNewSerialNumberOnly();
    if (!deviceInfo_.saveRestore || settingsNotRetrieved_) return;

    const int32_t r = RestoreAndConfirm(newNumber ? state_.newSerialNumber.c_str() : nullptr);
    restoreSucceeded_ = r >= 0;
    if (restoreSucceeded_) return;
    TextArgs a = Args();
    a.error = r;
    Box box = Box::RestoreFailed;
    if (r == -102) box = Box::RestoreNoFile;
    if (r == -105 || r == -106) box = Box::RestoreUnreadable;
    if (r == -35) box = Box::RestorePartial;
    std::string text = BoxBody(box, a);
    // What did not go back is still in the file: say where it is.
    if (FileExists(state_.settingsFilePath)) text += ExpandText(kSettingsKeptNote, a);
    const BoxText& b = FindBox(box);
    ui_.Beep(kBeepHand);
    ui_.ShowMessageBox(text, BoxTitle(box, a), b.kind);
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
