#pragma once
// One updater session: the application state and the objects of an update (its log, the
// instrument protocol, the loader engine), and the commands a person gives it. The window
// owns one; the command line makes one per run; a station could run several side by side on
// several ports, since nothing here is shared between sessions.

#include <cstdint>
#include <memory>
#include <string>

#include "app/AppState.h"
#include "app/DryRun.h"
#include "app/UpdateOutcome.h"
#include "app/FileLock.h"
#include "app/UserInterface.h"
#include "app/UserTexts.h"
#include "bsl/KorrBSLHost.h"
#include "device/DeviceRecords.h"
#include "instrument/Korr_protocol.h"
#include "log/KorrLog.h"

namespace korr {

inline constexpr const char* kHostTag = "KorrBSL Host";
inline constexpr int32_t kLoaderVersionUnknown = 999;  // the version assumed for a listening loader

// Results of UpdateInstrument beyond the lower layers' codes.
inline constexpr int32_t kUpdateNoConnection = -20;
inline constexpr int32_t kUpdateCancelled = -40;
inline constexpr int32_t kUpdateLoaderSilent = -110;
inline constexpr int32_t kUpdateTooOld = -120;
inline constexpr int32_t kUpdateWrongDevice = -121;
inline constexpr int32_t kUpdateBatteryLow = -130;
inline constexpr int32_t kNoLoader = -112;  // the firmware says it has no loader
inline constexpr int32_t kUpdateSettingsFileBusy = -140;  // another update uses the settings file

// What became of the instrument's settings in the last update.
enum class SettingsOutcome {
    NotKept,         // the device type keeps no settings across an update
    Restored,        // all saved and all back
    PartlyRestored,  // some did not go back, or some could not be saved
    NotRestored,     // none went back
};
// "restored", "partly restored", "not restored", "none kept".
const char* SettingsOutcomeName(SettingsOutcome outcome);

class UpdateSession {
  public:
    // The session keeps its own log in the data folder unless it is lent one (a command line's
    // one log for the whole command).
    UpdateSession(UserInterface& ui, const AppSetup& setup, KorrLog* lentLog = nullptr);
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    // The start-up texts and menu states of the window (after the port list is filled).
    void ShowStartupState();
    // Whether the erase warning is due after start-up.
    bool EraseWarningDue() const;

    // Start and Update Firmware: the controls that must not be used until the frame ends.
    // False, with a box and nothing started, when the new serial number can not be sent.
    bool StartRequested();
    // The update frame (what the Start timer runs): window state, timing, final messages.
    int32_t timerStartTimer();
    // The steps of one update; 1 or a negative code.
    int32_t UpdateInstrument();
    // The loader engine's progress hook.
    bool LoaderProgress(uint32_t total, uint32_t done, int phase, char letter);

    // File menu. Both refuse while an update runs.
    int32_t OpenFirmwareFile(const std::string& path);
    int32_t DumpFirmwareImage(const std::string& path);
    // The close box and Exit: true when the window may close.
    bool ConfirmQuit();
    // Stops the update at the next point where stopping is safe (the person insisted on
    // quitting, or a signal asked): before the loader starts, or at the loader's next step.
    // Once the new firmware is programmed the update finishes instead.
    void AbandonUpdate();
    // The first warning of a terminal's interrupt: the Don't Quit box worded for a terminal.
    void WarnAgainstStopping();

    // Settings menu toggles.
    void SetVerboseLog(bool on);
    void SetFindAllPorts(bool on);
    void SetDontEraseData(bool on);
    void SetReplaceSerialNumber(bool on);
    void SetNewSerialNumber(const std::string& text);
    // Runs every check of an update up to the loader's start, then stops; nothing is erased.
    void SetDryRun(bool on) { state_.dryRun = on; }

    // User guidance.
    void ShowHelp();
    void ShowAbout(const std::string& engineVersion);
    void ShowEraseWarning();
    // The start-up error of a damaged loader engine; closes the window.
    void ShowConstructorError();
    void ShowCalibrationNotice(int deviceType);

    AppState& State() { return state_; }
    const AppState& State() const { return state_; }
    KorrLog& Log() { return *log_; }
    Korr_protocol& Protocol() { return protocol_; }
    KorrBSLHost& Host() { return host_; }
    const DeviceInfo& Device() const { return deviceInfo_; }
    // Where the settings ended up when they are not (all) in the instrument; empty otherwise.
    const std::string& KeptSettingsFile() const { return keptSettings_; }
    SettingsOutcome SettingsResult() const { return settingsOutcome_; }
    // The settings that could not be read before the erase, joined; empty when none.
    const std::string& MissingSettings() const { return missingSettings_; }
    // What stopped a failed loader step (None when no loader step failed), and its words.
    LoaderTrouble LoaderFailure() const { return loaderTrouble_; }
    std::string LoaderFailureMeaning() const;
    // What a dry run found that a real update would do.
    const DryRunFindings& DryRun() const { return dryRun_; }
    // How far the running (or last) update got with the instrument.
    UpdateStage Stage() const { return stage_; }
    // What the last update left behind; set when it ends.
    const UpdateOutcome& Outcome() const { return outcome_; }

  private:
    static constexpr uint8_t kUpdateBaudIndex = 2;  // 9600 baud
    static constexpr uint32_t kConnectTries = 3;

    // Steps of UpdateInstrument.
    int32_t Connect();
    int32_t ReportConnectFailure(int32_t result);
    int32_t ProbeForLoader(int32_t connectResult);
    int32_t CheckDeviceType();
    int32_t CheckImageFits();
    int32_t CheckFirmwareSupported();
    int32_t AskAboutNewerFirmware();
    int32_t CheckBattery();
    bool SerialNumberRefused();
    int32_t LockSettingsFile();
    int32_t SaveSettings();
    int32_t SaveAndConfirm(const std::string& path);
    int32_t AskAboutMissingSettings();
    void RecordOrigin();
    int32_t SettleLeftFile(const std::string& left);
    bool LeftFileIsThisInstruments(const std::string& left, const std::string& leftText);
    bool InstrumentHoldsLeftFile(const std::string& left, const std::string& leftText,
                                 const std::string& now);
    bool ChooseToRestore(Box question, const std::string& left, const std::string& leftText);
    int32_t MoveAsideFile(const std::string& path, const std::string& text);
    void TakeOverFile(const std::string& left);
    void ChooseFileForLoader();
    std::string SharedSettingsPath() const;
    bool InstrumentHoldsTheFile(const std::string& path, bool wholeFile = false);
    bool HoldsAllOf(const std::string& file, const std::string& now) const;
    bool ReadSettingsBesideFile(const std::string& path, std::string* saved, std::string* now);
    int32_t EndDryRun();
    int32_t StartLoader();
    int32_t ProgramFlash();
    int32_t LoaderStepFailed(Box box, int32_t error);
    int32_t Reconnect();
    int32_t CheckNewFirmware();
    void RestoreSettings();
    int32_t RestoreAndConfirm(const char* newNumber);
    void HoldNewSerialNumberOnly();
    int32_t EraseOldData();
    void CheckCalibration();

    // Frame parts.
    void EnterUpdating();
    void ClearLastUpdate();
    void FinishSuccess();
    void FinishFailure();
    void FinishDryRun();
    void LeaveUpdating();
    void SettleSettingsFile();
    void SettleAfterFailure();
    UpdateOutcome DecideOutcome() const;
    // A stop asked for before the loader starts: nothing on the instrument changes.
    int32_t StopBeforeLoader();

    // Shows a box: beep, then the box.
    void Show(Box box, const TextArgs& args);
    void Show(Box box) { Show(box, Args()); }
    void ShowError(Box box, int32_t error);
    // Shows the box with the error and returns it.
    int32_t Failed(Box box, int32_t error) {
        ShowError(box, error);
        return error;
    }
    bool Ask(Box box, const std::string& suffix = "");
    TextArgs Args() const;
    void SetStatus(const std::string& text);
    void SetProgress(int position);
    void StepProgress(int by) { SetProgress(state_.progressPosition + by); }
    bool RefuseWhileUpdating();

    UserInterface& ui_;
    AppState state_;
    std::unique_ptr<KorrLog> ownLog_;
    KorrLog* log_;
    Korr_protocol protocol_;
    KorrBSLHost host_;
    int productType_;
    DeviceInfo deviceInfo_;
    bool settingsNotRetrieved_ = false;
    bool restoreSucceeded_ = false;
    bool noFileOfItsOwn_ = false;  // the loader case found files, none of them tied to it
    LoaderTrouble loaderTrouble_ = LoaderTrouble::None;
    uint32_t loaderRepeats_ = 0;
    DryRunFindings dryRun_;
    std::string keptSettings_;
    bool savedThisRun_ = false;  // this update wrote the settings file
    UpdateStage stage_ = UpdateStage::Checking;
    UpdateOutcome outcome_;
    SettingsOutcome settingsOutcome_ = SettingsOutcome::NotRestored;
    std::string missingSettings_;
    std::unique_ptr<FileLock> settingsLock_;
    uint32_t startTime_ = 0;
    int32_t result_ = 0;
};

// The whole seconds between two ticks of the millisecond counter.
uint32_t ElapsedSeconds(uint32_t startMs, uint32_t nowMs);

}  // namespace korr
