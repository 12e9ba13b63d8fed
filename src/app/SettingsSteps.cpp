// The update's settings steps: keeping the instrument's settings in a file before anything is
// erased, and putting them back afterwards, each confirmed by reading the instrument again.
#include <filesystem>
#include <string>

#include "app/SettingsFiles.h"
#include "app/UpdateSession.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/WholeFile.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int kSettingsReadings = 3;
constexpr int32_t kSettingsUnconfirmed = -30;  // the instrument's replies did not agree
constexpr const char* kDryRunSuffix = ".dry-run";

// Names the value that kept the settings out of the file, for the save's box.
std::string UnsavableNote(const Korr_protocol& protocol) {
    if (protocol.unsavableSetting.empty()) return {};
    return "\n\nThe value of the setting \"" + protocol.unsavableSetting +
           "\" holds a line break, which the settings file cannot keep.";
}

}  // namespace

int32_t UpdateSession::SaveSettings() {
    if (!deviceInfo_.saveRestore) return 1;
    SetStatus("Saving settings for this " + state_.productName + "...");
    const bool leftFile = FileExists(state_.settingsFilePath);
    if (leftFile && LeftFileIsThisInstruments()) {
        log_->Print(LOG_ERROR, kHostTag,
                    "The settings file of an unfinished update belongs to this instrument; its "
                    "settings come back from it");
        dryRun_.leftFileUsed = true;
        return 1;
    }
    // A dry run leaves a left file where it is and proves the save on a file of its own.
    const std::string path =
        state_.dryRun ? state_.settingsFilePath + kDryRunSuffix : state_.settingsFilePath;
    int32_t r = 1;
    if (state_.dryRun) {
        dryRun_.leftFileAside = leftFile;
    } else if ((r = MoveLeftSettingsAside()) < 0) {
        return r;
    }
    r = SaveAndConfirm(path);
    if (state_.dryRun) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    if (r >= 0) {
        savedThisRun_ = !state_.dryRun;
        dryRun_.settingsChecked = true;
        return r;
    }
    const std::string note = UnsavableNote(protocol_);
    if (!state_.repMode && !state_.factoryMode) {
        const TextArgs a = Args();
        ui_.Beep(kBeepHand);
        ui_.ShowMessageBox(BoxBody(Box::SettingsSave, a) + note, BoxTitle(Box::SettingsSave, a),
                           FindBox(Box::SettingsSave).kind);
        return r;
    }
    if (!Ask(Box::SettingsRetrieve, note)) return kUpdateCancelled;
    settingsNotRetrieved_ = true;
    dryRun_.withoutSettings = true;
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
int32_t UpdateSession::SaveAndConfirm(const std::string& path) {
    int32_t r = kSettingsUnconfirmed;
    for (int attempt = 0; attempt < kSettingsReadings && r < 0; ++attempt) {
        r = protocol_.KDSaveInfo(path.c_str());
        if (r < 0) break;
        if (InstrumentHoldsTheFile(path, true)) return r;
        log_->Print(LOG_ERROR, kHostTag, "Two readings of the settings differ; reading again");
        r = kSettingsUnconfirmed;
    }
    // An unconfirmed reading must not pass later for the settings of an unfinished update; the
    // instrument still holds its own.
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return r;
}

// A file left by an update that got past the erase holds the instrument's own settings, while
// the instrument, on its new firmware, may hold only the values that firmware starts with;
// saving over the file would lose them. The file is this instrument's when the serial numbers
// agree, or when the instrument runs this updater's firmware with the blank serial number of
// new firmware (or keeps none at all), or when it holds just what the file says.
bool UpdateSession::LeftFileIsThisInstruments() {
    std::string left, now;
    const bool read = ReadSettingsBesideFile(state_.settingsFilePath, &left, &now);
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
    if (blank && static_cast<uint32_t>(deviceInfo_.version) == state_.updaterFirmwareVersion)
        return true;
    return InstrumentHoldsLeftFile(left, now);
}

// A file that says just what the instrument holds now lost nothing when its update stopped
// (before the erase, or on an instrument whose settings are these same values): moving it
// aside would only pile up copies of the same settings. A reading the line changed differs,
// so the instrument is read again on new connections before the file is called another's.
bool UpdateSession::InstrumentHoldsLeftFile(const std::string& left, const std::string& now) {
    bool holds = HoldsAllOf(left, now);
    for (int attempt = 1; attempt < kSettingsReadings && !holds; ++attempt) {
        holds = InstrumentHoldsTheFile(state_.settingsFilePath, true);
    }
    protocol_.settingsHeld = false;
    if (holds) {
        log_->Print(LOG_INFO, kHostTag,
                    "The instrument holds the settings of the left settings file");
    }
    return holds;
}

// Reads the instrument's settings again and compares them with the settings file, setting by
// setting as far as a restore writes them back.
// The second reading runs on a new connection: an answer cut short by noise leaves its rest on
// the line, and every answer after it in the same connection is the one before, so that two
// readings there would agree on the same wrong values.
bool UpdateSession::InstrumentHoldsTheFile(const std::string& path, bool wholeFile) {
    protocol_.KDDisconnect(false);
    DeviceInfo again = deviceInfo_;
    const int32_t r =
        protocol_.KDConnect(state_.portName.c_str(), kUpdateBaudIndex, kConnectTries, &again);
    std::string saved, now;
    if (r <= 0 || !ReadSettingsBesideFile(path, &saved, &now)) return false;
    return wholeFile ? HoldsAllOf(saved, now)
                     : SameRestoredSettings(protocol_.deviceType, saved, now);
}

// Compared both ways: a file that lacks settings the instrument has is not what it holds.
bool UpdateSession::HoldsAllOf(const std::string& file, const std::string& now) const {
    return SameRestoredSettings(protocol_.deviceType, file, now) &&
           SameRestoredSettings(protocol_.deviceType, now, file);
}

// Reads the instrument's settings as they are now into a scratch file beside the settings file
// and gives back both texts; the scratch file is removed again.
bool UpdateSession::ReadSettingsBesideFile(const std::string& path, std::string* saved,
                                           std::string* now) {
    const std::string scratch = path + ".check";
    const bool read = protocol_.KDSaveInfo(scratch.c_str()) >= 0 &&
                      ReadWholeFile(path.c_str(), saved) >= 0 &&
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
        if (r < 0 || newNumber != nullptr || InstrumentHoldsTheFile(state_.settingsFilePath))
            return r;
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
    if (!protocol_.settingsNotInFile.empty()) {
        text += "\n\nThe settings file did not hold: " + protocol_.settingsNotInFile + ".";
    }
    // What did not go back is still in the file: say where it is.
    if (FileExists(state_.settingsFilePath)) text += ExpandText(kSettingsKeptNote, a);
    const BoxText& b = FindBox(box);
    ui_.Beep(kBeepHand);
    ui_.ShowMessageBox(text, BoxTitle(box, a), b.kind);
}

}  // namespace korr
