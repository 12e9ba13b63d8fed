// Settings files that unfinished updates left: whose they are, and who decides when nothing
// ties one to the instrument now connected. A wrong guess either writes another instrument's
// calibration into this one or loses the only copy of an instrument's own settings, so a file
// goes back without asking only when it is tied to the instrument.
#include <filesystem>
#include <string>
#include <system_error>

#include "app/SerialNumberRule.h"
#include "app/SettingsFiles.h"
#include "app/SettingsOrigin.h"
#include "app/UpdateSession.h"
#include "instrument/InfoFile.h"
#include "instrument/InfoFileLookup.h"
#include "instrument/WholeFile.h"
#include "serial/Clock.h"

namespace korr {

namespace fs = std::filesystem;

namespace {

constexpr int kLeftFileReadings = 3;

// Where a file's settings came from, for a person: "ttyUSB0", or a plain word for files of
// updaters that did not record it.
std::string OriginPort(const SettingsOrigin& origin) {
    return origin.port.empty() ? "an unknown port" : origin.port;
}
std::string OriginTime(const SettingsOrigin& origin, const std::string& path) {
    if (!origin.time.empty()) return origin.time;
    std::error_code ec;
    const auto written = fs::last_write_time(path, ec);
    if (ec) return "an unknown time";
    const auto system = std::chrono::time_point_cast<std::chrono::seconds>(
        written - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    return LocalTimeText(std::chrono::system_clock::to_time_t(system) + LocalUtcOffset());
}

// Another running update holds the lock of a file it is using.
bool InUseElsewhere(const std::string& path) {
    return LockFile(path).lock == nullptr;
}

}  // namespace

std::string UpdateSession::SharedSettingsPath() const {
    return (fs::path(state_.dataFolder) / SharedSettingsFileName(state_.productName)).string();
}

bool UpdateSession::SerialNumberRefused() {
    if (!state_.replaceSerialNumber || state_.newSerialNumber.empty()) return false;
    const std::string problem = SerialNumberProblem(state_.newSerialNumber);
    if (problem.empty()) return false;
    log_->Print(LOG_ERROR, kHostTag, "The new serial number is refused: %s", problem.c_str());
    TextArgs a = Args();
    a.detail = problem;
    Show(Box::SerialNumberRefused, a);
    return true;
}

// One update at a time uses a settings file; the lock lasts until the frame ends.
int32_t UpdateSession::LockSettingsFile() {
    LockAttempt attempt = LockFile(state_.settingsFilePath);
    if (attempt.lock) {
        settingsLock_ = std::move(attempt.lock);
        return 1;
    }
    if (attempt.error < 0) {
        // A folder where no lock can be made takes no settings file either: the save step
        // reports that in its own words.
        log_->Print(LOG_ERROR, kHostTag, "Could not lock the settings file %s (%d)",
                    state_.settingsFilePath.c_str(), attempt.error);
        return 1;
    }
    log_->Print(LOG_ERROR, kHostTag, "The settings file %s is in use by %s",
                state_.settingsFilePath.c_str(), attempt.holder.c_str());
    TextArgs a = Args();
    a.detail = attempt.holder;
    Show(Box::SettingsFileBusy, a);
    return kUpdateSettingsFileBusy;
}

// 1: the left file's settings go back (the file is now this update's); 0: it was moved aside
// and this instrument's own are to be saved; or a failure.
int32_t UpdateSession::SettleLeftFile(const std::string& left) {
    std::string leftText;
    const bool readable = ReadWholeFile(left.c_str(), &leftText) >= 0 &&
                          InfoFileDeviceType(leftText.c_str()) == deviceInfo_.type;
    // A file this instrument's type can not read holds nothing to restore here.
    if (!readable || !LeftFileIsThisInstruments(left, leftText)) {
        if (readable && ChooseToRestore(Box::LeftSettingsQuestion, left, leftText)) {
            TakeOverFile(left);
            return 1;
        }
        return MoveAsideFile(left, leftText);
    }
    log_->Print(LOG_ERROR, kHostTag,
                "The settings file of an unfinished update belongs to this instrument; its "
                "settings come back from it");
    TakeOverFile(left);
    return 1;
}

// A left file is tied to the instrument when their serial numbers agree, or when it holds the
// very settings the instrument holds now (nothing is lost whichever is kept).
bool UpdateSession::LeftFileIsThisInstruments(const std::string& left,
                                              const std::string& leftText) {
    std::string saved, now;
    const bool read = ReadSettingsBesideFile(left, &saved, &now);
    protocol_.settingsHeld = false;  // what comes back is the file, not this reading
    if (!read) return false;
    const std::string leftSerial = ReadOrigin(leftText).serial;
    const std::string nowSerial(FindFileValue(now, "sn").value_or(""));
    if (TellsApart(leftSerial) && leftSerial == nowSerial) return true;
    return InstrumentHoldsLeftFile(left, leftText, now);
}

// A file that says just what the instrument holds now lost nothing when its update stopped
// (before the erase, or on an instrument whose settings are these same values): moving it
// aside would only pile up copies of the same settings. A reading the line changed differs,
// so the instrument is read again on new connections before the file is called another's.
bool UpdateSession::InstrumentHoldsLeftFile(const std::string& left, const std::string& leftText,
                                            const std::string& now) {
    bool holds = HoldsAllOf(leftText, now);
    for (int attempt = 1; attempt < kLeftFileReadings && !holds; ++attempt) {
        holds = InstrumentHoldsTheFile(left, true);
    }
    protocol_.settingsHeld = false;
    if (holds) {
        log_->Print(LOG_INFO, kHostTag,
                    "The instrument holds the settings of the left settings file");
    }
    return holds;
}

// Nothing ties the file to the instrument: the person decides, or the choice made beforehand.
bool UpdateSession::ChooseToRestore(Box question, const std::string& left,
                                    const std::string& leftText) {
    const SettingsOrigin origin = ReadOrigin(leftText);
    bool restore = state_.leftSettingsChoice == LeftSettingsChoice::Restore;
    if (state_.leftSettingsChoice == LeftSettingsChoice::Ask) {
        TextArgs a = Args();
        a.path = left;
        a.detail = OriginPort(origin);
        a.time = OriginTime(origin, left);
        restore = ui_.PlatformMessageBox(BoxBody(question, a), BoxTitle(question, a),
                                         kBoxOkCancel) == kAnswerOk;
    }
    if (restore) {
        log_->Print(LOG_ERROR, kHostTag,
                    "The settings file of an unfinished update belongs to this instrument, as "
                    "the person said; its settings come back from it: %s",
                    left.c_str());
    } else {
        log_->Print(LOG_ERROR, kHostTag,
                    "Nothing ties the settings file of an unfinished update (from %s, saved %s) "
                    "to this instrument; it is kept aside",
                    OriginPort(origin).c_str(), OriginTime(origin, left).c_str());
    }
    return restore;
}

// The left file becomes this update's own settings file.
void UpdateSession::TakeOverFile(const std::string& left) {
    if (left == state_.settingsFilePath) return;
    std::error_code ec;
    fs::rename(left, state_.settingsFilePath, ec);
    if (ec) {
        // It is read where it is; what remains of it afterwards stays there too.
        log_->Print(LOG_ERROR, kHostTag, "Could not take over the settings file %s (%d)",
                    left.c_str(), ec.value());
        state_.settingsFilePath = left;
    }
}

// A file at this point may be the only copy of another instrument's settings: it is moved
// aside, never overwritten.
int32_t UpdateSession::MoveAsideFile(const std::string& path, const std::string& text) {
    std::string moved;
    const int32_t r = MoveAside(path, WallTime() + LocalUtcOffset(), &moved);
    if (r == 0) return 0;
    TextArgs a = Args();
    if (r < 0) {
        log_->Print(LOG_ERROR, kHostTag, "Could not move the settings file %s aside (%d)",
                    path.c_str(), r);
        a.path = path;
        a.error = r;
        Show(Box::SettingsMoveFailed, a);
        return r;
    }
    log_->Print(LOG_ERROR, kHostTag, "Moved the settings file of an unfinished update to %s",
                moved.c_str());
    ui_.PointToFile(FileRole::SettingsMovedAside, moved);
    const SettingsOrigin origin = ReadOrigin(text);
    a.path = moved;
    a.detail = OriginPort(origin);
    a.time = OriginTime(origin, moved);
    Show(Box::SettingsMovedAside, a);
    return 0;
}

// The instrument waits in its loader: its flash was erased, so its settings can only be in a
// file an unfinished update left. The only such file of the product is its own; among several,
// nothing says which. Without one, a file that an update moved aside (while another instrument
// was on the port) may be its own: a person decides.
void UpdateSession::ChooseFileForLoader() {
    std::vector<std::string> files;
    for (const std::string& f : LeftSettingsFiles(state_.dataFolder, state_.productName)) {
        if (f == state_.settingsFilePath || !InUseElsewhere(f)) files.push_back(f);
    }
    bool asideOnly = false;
    if (files.empty()) {
        files = AsideSettingsFiles(state_.dataFolder, state_.productName);
        asideOnly = true;
    }
    if (files.empty()) return;  // the restore reports the missing file
    std::string candidate = files.front();
    for (const std::string& f : files) {
        if (f == state_.settingsFilePath) candidate = f;
    }
    std::string text;
    if (files.size() > 1 || asideOnly) {
        ReadWholeFile(candidate.c_str(), &text);
        if (!ChooseToRestore(Box::LeftSettingsLoaderQuestion, candidate, text)) {
            noFileOfItsOwn_ = true;
            keptSettings_ = candidate;
            TextArgs a = Args();
            a.path = candidate;
            Show(Box::LeftSettingsNotRestored, a);
            return;
        }
    } else {
        log_->Print(LOG_ERROR, kHostTag,
                    "The one settings file an unfinished update left is this instrument's: %s",
                    candidate.c_str());
    }
    TakeOverFile(candidate);
}

}  // namespace korr
