// The update's settings steps: keeping the instrument's settings in a file before anything is
// erased, and putting them back afterwards, each confirmed by reading the instrument again.
#include <filesystem>
#include <string>

#include "app/SettingsFiles.h"
#include "app/UpdateSession.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/WholeFile.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int kSettingsReadings = 3;
constexpr int32_t kSettingsUnconfirmed = -30;  // the instrument's replies did not agree

}  // namespace

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
    savedThisRun_ = r >= 0;
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

}  // namespace korr
