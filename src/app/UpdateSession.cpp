#include "app/UpdateSession.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/LoaderTroubleText.h"
#include "app/SettingsFiles.h"
#include "serial/Clock.h"

namespace korr {

namespace {

uint32_t BeepFor(MessageKind kind) {
    switch (kind) {
        case MessageKind::Error:
            return kBeepHand;
        case MessageKind::Information:
            return kBeepAsterisk;
        case MessageKind::Confirmation:
            return kBeepQuestion;
        case MessageKind::Warning:
        case MessageKind::Custom:
            break;
    }
    return kBeepExclamation;
}

}  // namespace

const char* SettingsOutcomeName(SettingsOutcome outcome) {
    switch (outcome) {
        case SettingsOutcome::NotKept:
            return "none kept";
        case SettingsOutcome::Restored:
            return "restored";
        case SettingsOutcome::PartlyRestored:
            return "partly restored";
        case SettingsOutcome::NotRestored:
            break;
    }
    return "not restored";
}

uint32_t ElapsedSeconds(uint32_t startMs, uint32_t nowMs) {
    return (nowMs - startMs) / 1000;
}

UpdateSession::UpdateSession(UserInterface& ui, const AppSetup& setup, KorrLog* lentLog)
    : ui_(ui),
      state_(InitialState(setup)),
      ownLog_(lentLog != nullptr
                  ? nullptr
                  : std::make_unique<KorrLog>(state_.errorLogPath.c_str(),
                                              setup.verboseLog ? LOG_VERBOSE : LOG_ERROR)),
      log_(lentLog != nullptr ? lentLog : ownLog_.get()),
      protocol_(log_),
      host_(log_),
      productType_(setup.productType) {
    state_.errorLogPath = log_->Path();
    host_.SetProgressHook([this](uint32_t total, uint32_t done, int phase, char letter) {
        return LoaderProgress(total, done, phase, letter);
    });
}

TextArgs UpdateSession::Args() const {
    TextArgs a;
    a.caption = state_.caption;
    a.product = state_.productName;
    a.port = PortText(state_);
    a.device = deviceInfo_.displayName;
    a.version = std::to_string(static_cast<uint32_t>(deviceInfo_.version));
    a.path = state_.settingsFilePath;
    return a;
}

void UpdateSession::Show(Box box, const TextArgs& args) {
    const BoxText& b = FindBox(box);
    ui_.Beep(BeepFor(b.kind));
    ui_.ShowMessageBox(BoxBody(box, args), BoxTitle(box, args), b.kind);
}

void UpdateSession::ShowError(Box box, int32_t error) {
    TextArgs a = Args();
    a.error = error;
    Show(box, a);
}

bool UpdateSession::Ask(Box box, const std::string& suffix) {
    const TextArgs a = Args();
    return ui_.PlatformMessageBox(BoxBody(box, a) + suffix, BoxTitle(box, a), kBoxOkCancel) ==
           kAnswerOk;
}

void UpdateSession::SetStatus(const std::string& text) {
    ui_.SetText(Control::statusText, text);
    ui_.ProcessPendingEvents();
}

void UpdateSession::SetProgress(int position) {
    // A progress bar keeps its position within its range.
    state_.progressPosition = position < 0 ? 0 : position > 100 ? 100 : position;
    ui_.SetProgress(state_.progressPosition);
}

// ---- Start-up and menus -------------------------------------------------------------------

void UpdateSession::ShowStartupState() {
    const std::string& product = state_.productName;
    ui_.SetText(Control::userText2, host_.image.name);
    ui_.SetText(Control::userText1, "This utility updates " + product + " firmware to");
    ui_.SetText(Control::commLabel, "Connect to " + product + " with Comm Port");
    ui_.SetText(Control::lblConnect, "Connect " + product + " to computer comm port.");
    ui_.SetEnabled(Control::OpenFirmwareFile1, state_.repMode);
    ui_.SetVisible(Control::PromptforSerialNumber1, state_.factoryMode);
    ui_.SetVisible(Control::DontEraseData1, state_.factoryMode);
    ui_.SetChecked(Control::VerboseErrorFile1, state_.verboseLog);
    ui_.SetChecked(Control::ForceFindAllCommPorts1, state_.findAllPorts);
    ui_.SetEnabled(Control::btnStart, !state_.portName.empty());
}

bool UpdateSession::EraseWarningDue() const {
    return DeviceTypeInfo(productType_).eraseWarning && !state_.repMode && !state_.factoryMode;
}

void UpdateSession::SetVerboseLog(bool on) {
    state_.verboseLog = on;
    ui_.SetChecked(Control::VerboseErrorFile1, on);
    log_->SetLevel(on ? LOG_VERBOSE : LOG_ERROR);
}

void UpdateSession::SetFindAllPorts(bool on) {
    state_.findAllPorts = on;
    ui_.SetChecked(Control::ForceFindAllCommPorts1, on);
}

void UpdateSession::SetDontEraseData(bool on) {
    state_.dontEraseData = on;
    ui_.SetChecked(Control::DontEraseData1, on);
}

void UpdateSession::SetReplaceSerialNumber(bool on) {
    state_.replaceSerialNumber = on;
    ui_.SetChecked(Control::PromptforSerialNumber1, on);
    ui_.SetVisible(Control::newSN, on);
    ui_.SetVisible(Control::newSNstr, on);
}

void UpdateSession::SetNewSerialNumber(const std::string& text) {
    state_.newSerialNumber = text;  // checked whole at Start
}

bool UpdateSession::ConfirmQuit() {
    if (state_.updateRunning) {
        const TextArgs a = Args();
        const int answer =
            ui_.PlatformMessageBox(BoxBody(Box::DontQuit, a), BoxTitle(Box::DontQuit, a), kBoxOk);
        if (answer == kAnswerOk) return false;
    }
    state_.continueFlag = false;
    ui_.CloseWindow();
    return true;
}

void UpdateSession::AbandonUpdate() {
    state_.continueFlag = false;
    if (stage_ >= UpdateStage::Programmed && state_.updateRunning) {
        log_->Print(LOG_ERROR, kHostTag,
                    "A stop was asked after the new firmware was programmed; the update finishes");
        return;
    }
    log_->Print(LOG_ERROR, kHostTag, "The user stopped the update");
}

void UpdateSession::WarnAgainstStopping() {
    Show(Box::DontQuitTerminal);
}

// ---- User guidance ------------------------------------------------------------------------

void UpdateSession::ShowHelp() {
    const TextArgs a = Args();
    ui_.Beep(BeepFor(MessageKind::Custom));
    ui_.ShowMessageBox(HelpText(a, DeviceTypeInfo(productType_).eraseWarning), "Help",
                       MessageKind::Custom);
}

void UpdateSession::ShowAbout(const std::string& engineVersion) {
    TextArgs a = Args();
    a.version = engineVersion;
    Show(Box::About, a);
}

void UpdateSession::ShowEraseWarning() {
    Show(Box::EraseWarning);
}

void UpdateSession::ShowConstructorError() {
    const int32_t status = host_.image.status;
    ShowError(LaunchErrorBox(status), status);
    log_->Print(LOG_ERROR, "KorrBSL frmMain", "HostBSL class got an constructor error (%d)",
                status);
    ui_.CloseWindow();
}

void UpdateSession::ShowCalibrationNotice(int deviceType) {
    Box box{};
    if (CalibrationBox(deviceType, &box)) Show(box);
}

// ---- The frame ----------------------------------------------------------------------------

bool UpdateSession::StartRequested() {
    // A serial number goes into a command line: one that would break it is refused before
    // anything starts.
    if (SerialNumberRefused()) return false;
    ui_.SetEnabled(Control::btnStart, false);
    ui_.SetEnabled(Control::btnClose, false);
    ui_.SetEnabled(Control::UpdateFirmware1, false);
    return true;
}

int32_t UpdateSession::timerStartTimer() {
    EnterUpdating();
    state_.settingsFilePath = SettingsFilePath(state_);
    ui_.PointToFile(FileRole::ErrorLog, state_.errorLogPath);
    ui_.PointToFile(FileRole::SettingsFile, state_.settingsFilePath);
    ClearLastUpdate();
    ui_.SetVisible(Control::statusText, true);
    SetStatus("Connecting to " + state_.productName + "...");

    startTime_ = TickMs();
    result_ = UpdateInstrument();
    if (result_ < 0) {
        SettleAfterFailure();
        outcome_ = DecideOutcome();
        FinishFailure();
    } else if (state_.dryRun) {
        FinishDryRun();
    } else {
        FinishSuccess();
        outcome_ = DecideOutcome();
    }
    LeaveUpdating();
    return result_;
}

void UpdateSession::EnterUpdating() {
    ui_.SetEnabled(Control::cbCommPort, false);
    // The image must not change under the loader, nor be read while it is being replaced.
    ui_.SetEnabled(Control::OpenFirmwareFile1, false);
    ui_.SetEnabled(Control::DumpFirmwareImage1, false);
    state_.updateRunning = true;
    state_.continueFlag = true;
    SetProgress(0);
    ui_.SetBusyCursor(true);
    ui_.SetText(Control::lblConnect,
                "Do NOT disconnect " + state_.productName + " until finished.");
}

void UpdateSession::ClearLastUpdate() {
    protocol_.ClearSettings();
    deviceInfo_ = DeviceInfo{};
    settingsNotRetrieved_ = false;
    restoreSucceeded_ = false;
    noFileOfItsOwn_ = false;
    keptSettings_.clear();
    settingsOutcome_ = SettingsOutcome::NotRestored;
    missingSettings_.clear();
    savedThisRun_ = false;
    loaderTrouble_ = LoaderTrouble::None;
    loaderRepeats_ = 0;
    dryRun_ = DryRunFindings{};
    stage_ = UpdateStage::Checking;
    outcome_ = UpdateOutcome{};
}

void UpdateSession::FinishFailure() {
    ui_.SetVisible(Control::statusText, false);
    SetProgress(0);
    host_.BSLDisconnect();
    // A dry run leaves the instrument as it found it, logged out.
    protocol_.KDDisconnect(state_.dryRun);
    ui_.SetText(Control::lblConnect,
                outcome_.holds == InstrumentHolds::Untouched
                    ? "Connect " + state_.productName + " to computer comm port."
                    : OutcomeText(outcome_, state_.productName));
}

std::string UpdateSession::LoaderFailureMeaning() const {
    return LoaderTroubleMeaning(loaderTrouble_, loaderRepeats_);
}

void UpdateSession::FinishSuccess() {
    const uint32_t elapsed = ElapsedSeconds(startTime_, TickMs());
    if (deviceInfo_.calibrationNotice) ShowCalibrationNotice(deviceInfo_.type);
    SetProgress(100);
    ui_.SetText(Control::statusText,
                "Successfully updated firmware in " + std::to_string(elapsed) + " seconds.");
    ui_.Beep(kBeepAsterisk);
    ui_.ProcessPendingEvents();
    log_->Print(LOG_ERROR, kHostTag, "Finished updating device in %d seconds",
                static_cast<int>(elapsed));
    SettleSettingsFile();
    ui_.SetText(Control::lblConnect, "You may disconnect your " + state_.productName + " now.");
}

// The file goes once its settings are back in the instrument; otherwise it is all that is left
// of them.
void UpdateSession::SettleSettingsFile() {
    const std::string& path = state_.settingsFilePath;
    if (restoreSucceeded_) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return;
    }
    if (!FileExists(path)) return;
    keptSettings_ = path;
    log_->Print(LOG_ERROR, kHostTag,
                "The settings did not all go back; the settings file is kept: %s", path.c_str());
    ui_.PointToFile(FileRole::SettingsKept, path);
}

// A failed update's file: the settings this update saved go when the instrument still holds
// them unchanged; any other file may be the only copy of its settings and is kept.
void UpdateSession::SettleAfterFailure() {
    const std::string& path = state_.settingsFilePath;
    if (!FileExists(path)) return;
    std::error_code ec;
    if (restoreSucceeded_) {
        std::filesystem::remove(path, ec);  // what failed after the restore needs no file
        return;
    }
    // Once the boot command went out the file stays, even when no loader seemed to answer: a
    // reply the line garbled looks the same, and the loader may be waiting with the memory
    // about to be erased by the next run, which would then have nothing to restore from.
    const bool untouched = stage_ == UpdateStage::Checking;
    if (untouched && savedThisRun_) {
        std::filesystem::remove(path, ec);
        log_->Print(LOG_INFO, kHostTag,
                    "Nothing was changed on the instrument; its settings file is removed");
        return;
    }
    keptSettings_ = path;
    log_->Print(LOG_ERROR, kHostTag, "The update did not finish; the settings file is kept: %s",
                path.c_str());
    ui_.PointToFile(FileRole::SettingsKept, path);
}

UpdateOutcome UpdateSession::DecideOutcome() const {
    UpdateOutcome o;
    o.settingsFile = keptSettings_;
    const bool kept = !keptSettings_.empty();
    if (result_ >= 0) {
        o.holds = InstrumentHolds::Updated;
        o.next = kept ? NextStep::RestoreSettings : NextStep::None;
        return o;
    }
    switch (stage_) {
        case UpdateStage::Checking:
            o.holds = InstrumentHolds::Untouched;
            // An instrument of another type or with too old firmware is refused every time.
            o.next = result_ == kUpdateWrongDevice || result_ == kUpdateTooOld
                         ? NextStep::None
                         : NextStep::UpdateAgain;
            break;
        case UpdateStage::LoaderStarting:
            o.holds = result_ == kNoLoader ? InstrumentHolds::Untouched
                                           : InstrumentHolds::LoaderWaiting;
            o.next = result_ == kNoLoader ? NextStep::None : NextStep::UpdateAgain;
            break;
        case UpdateStage::Erasing:
            o.holds = InstrumentHolds::HalfProgrammed;
            o.next = NextStep::UpdateAgain;
            break;
        case UpdateStage::Programmed:
            o.holds = InstrumentHolds::Unchecked;
            o.next = NextStep::UpdateAgain;
            break;
        case UpdateStage::Restored:
            o.holds = InstrumentHolds::Updated;
            o.next = kept ? NextStep::RestoreSettings : NextStep::None;
            break;
    }
    return o;
}

void UpdateSession::LeaveUpdating() {
    ui_.SetEnabled(Control::btnStart, true);
    ui_.SetEnabled(Control::btnClose, true);
    ui_.SetDefaultButton(Control::btnClose);
    ui_.SetEnabled(Control::UpdateFirmware1, true);
    ui_.SetEnabled(Control::OpenFirmwareFile1, state_.repMode);
    ui_.SetEnabled(Control::DumpFirmwareImage1, true);
    state_.replaceSerialNumber = false;
    ui_.SetChecked(Control::PromptforSerialNumber1, false);
    ui_.SetVisible(Control::newSNstr, false);
    ui_.SetVisible(Control::newSN, false);
    state_.newSerialNumber.clear();
    ui_.SetText(Control::newSNstr, "");
    ui_.SetEnabled(Control::cbCommPort, true);
    ui_.SetBusyCursor(false);
    settingsLock_.reset();
    state_.updateRunning = false;
}

bool UpdateSession::LoaderProgress(uint32_t /*total*/, uint32_t /*done*/, int /*phase*/,
                                   char letter) {
    if (letter == 'X') {
        StepProgress(state_.eraseProgressStep);
    } else if (letter == 'W') {
        state_.writeProgressPosition += state_.writeProgressIncrement;
        SetProgress(static_cast<int>(state_.writeProgressPosition + 0.5f));
    }
    ui_.ProcessPendingEvents();
    return state_.continueFlag;
}

}  // namespace korr
