// The update's settings steps: keeping the instrument's settings in a file before anything is
// erased, and putting them back afterwards, each confirmed by reading the instrument again.
#include <filesystem>
#include <string>

#include "app/SettingsFiles.h"
#include "app/SettingsOrigin.h"
#include "app/UpdateSession.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/InstrumentMissing.h"
#include "instrument/WholeFile.h"
#include "serial/Clock.h"

namespace korr {

namespace {

constexpr int kSettingsReadings = 3;
constexpr int32_t kSettingsUnconfirmed = -30;  // the instrument's replies did not agree
constexpr const char* kDryRunSuffix = ".dry-run";

bool Collected(int32_t r) {
    return r >= 0 || r == -35;  // -35: some settings could not be read, the rest are saved
}

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
    // Files of updaters before the per-port files are looked at too.
    std::string left = state_.settingsFilePath;
    if (!FileExists(left)) left = SharedSettingsPath();
    const bool leftFile = FileExists(left);
    if (state_.dryRun && leftFile) {
        // A dry run leaves a left file where it is and proves the save on a file of its own.
        std::string leftText;
        const bool readable = ReadWholeFile(left.c_str(), &leftText) >= 0 &&
                              InfoFileDeviceType(leftText.c_str()) == deviceInfo_.type;
        if (readable && LeftFileIsThisInstruments(left, leftText)) {
            dryRun_.leftFileUsed = true;
            return 1;
        }
        dryRun_.leftFileAside = true;
    } else if (leftFile) {
        const int32_t settled = SettleLeftFile(left);
        if (settled < 0) return settled;
        if (settled > 0) {
            dryRun_.leftFileUsed = true;
            return 1;
        }
    }
    const std::string path =
        state_.dryRun ? state_.settingsFilePath + kDryRunSuffix : state_.settingsFilePath;
    int32_t r = SaveAndConfirm(path);
    if (state_.dryRun) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    if (r >= 0 || r == -35) {
        savedThisRun_ = !state_.dryRun;
        dryRun_.settingsChecked = true;
        return r == -35 ? AskAboutMissingSettings() : r;
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

// What could not be read is lost with the erase: the person decides before it happens.
int32_t UpdateSession::AskAboutMissingSettings() {
    missingSettings_ = JoinNames(SettingsNotCollected(protocol_));
    log_->Print(LOG_ERROR, kHostTag, "These settings could not be read and are not saved: %s",
                missingSettings_.c_str());
    TextArgs a = Args();
    a.detail = missingSettings_;
    if (ui_.PlatformMessageBox(BoxBody(Box::SettingsIncomplete, a),
                               BoxTitle(Box::SettingsIncomplete, a), kBoxOkCancel) == kAnswerOk) {
        log_->Print(LOG_ERROR, kHostTag, "Going on without the settings that could not be read");
        return 1;
    }
    // Nothing was erased: the instrument still holds everything, the file must not pass for
    // the settings of an unfinished update.
    std::error_code ec;
    std::filesystem::remove(state_.settingsFilePath, ec);
    missingSettings_.clear();
    return kUpdateCancelled;
}

// The settings file is the only copy of the instrument's settings once the flash is erased, and
// a line can change a character of a reply without anyone noticing: the settings are read
// twice and kept only when both readings agree.
int32_t UpdateSession::SaveAndConfirm(const std::string& path) {
    int32_t r = kSettingsUnconfirmed;
    for (int attempt = 0; attempt < kSettingsReadings && !Collected(r); ++attempt) {
        r = protocol_.KDSaveInfo(path.c_str());
        if (!Collected(r)) break;
        if (InstrumentHoldsTheFile(path, true)) {
            if (path == state_.settingsFilePath) RecordOrigin();
            return r;
        }
        log_->Print(LOG_ERROR, kHostTag, "Two readings of the settings differ; reading again");
        r = kSettingsUnconfirmed;
    }
    // An unconfirmed reading must not pass later for the settings of an unfinished update; the
    // instrument still holds its own.
    std::error_code ec;
    std::filesystem::remove(path, ec);
    return r;
}

// The file says where its settings came from, so that a later update can tell whether they
// are the instrument's own.
void UpdateSession::RecordOrigin() {
    std::string text;
    if (ReadWholeFile(state_.settingsFilePath.c_str(), &text) < 0) return;
    SettingsOrigin origin;
    origin.type = DeviceTypeInfo(deviceInfo_.type).code;
    origin.version = deviceInfo_.versionText;
    origin.serial = FindFileValue(text, "sn").value_or("");
    origin.port = state_.portName;
    origin.time = LocalTimeText(WallTime() + LocalUtcOffset());
    const int32_t r = WriteWholeFile(state_.settingsFilePath.c_str(), text + OriginLines(origin));
    if (r < 0) {
        log_->Print(LOG_ERROR, kHostTag, "Could not add the origin to the settings file (%d)", r);
    }
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
    const bool read = Collected(protocol_.KDSaveInfo(scratch.c_str())) &&
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
    if (!deviceInfo_.saveRestore) {
        settingsOutcome_ = SettingsOutcome::NotKept;
        return;
    }
    // Settings that were never saved can not come back, whatever is written now.
    const bool nothingSaved = settingsNotRetrieved_ || noFileOfItsOwn_;
    const bool newNumber = state_.replaceSerialNumber && !state_.newSerialNumber.empty();
    if (settingsNotRetrieved_ && newNumber) HoldNewSerialNumberOnly();
    if (settingsNotRetrieved_ || noFileOfItsOwn_) {
        settingsOutcome_ = SettingsOutcome::NotRestored;
        return;
    }

    const int32_t r = RestoreAndConfirm(newNumber ? state_.newSerialNumber.c_str() : nullptr);
    restoreSucceeded_ = r >= 0;
    if (nothingSaved) {
        settingsOutcome_ = SettingsOutcome::NotRestored;
    } else if (r >= 0) {
        settingsOutcome_ =
            missingSettings_.empty() ? SettingsOutcome::Restored : SettingsOutcome::PartlyRestored;
    } else {
        settingsOutcome_ =
            r == -35 ? SettingsOutcome::PartlyRestored : SettingsOutcome::NotRestored;
    }
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
