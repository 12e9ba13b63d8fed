#pragma once
// How the application core talks to the person: the window (Qt), the command line and the
// tests each implement this. The core decides what is shown and when; the front end only
// shows it.

#include <cstdint>
#include <string>

namespace korr {

// The controls the core changes, by the window's own names.
enum class Control {
    userText1,
    userText2,
    lblConnect,
    commLabel,
    cbCommPort,
    statusText,
    newSN,
    newSNstr,
    btnStart,
    btnClose,
    OpenFirmwareFile1,
    UpdateFirmware1,
    DumpFirmwareImage1,
    VerboseErrorFile1,
    ForceFindAllCommPorts1,
    DontEraseData1,
    PromptforSerialNumber1,
};

// Kinds of the one-button message box; each has its icon and its beep.
enum class MessageKind : int {
    Warning = 0,
    Error = 1,
    Information = 2,
    Confirmation = 3,
    Custom = 4,  // no icon (Help)
};

// The platform message box: its flags and what it returns.
inline constexpr uint32_t kBoxOk = 48;        // OK, exclamation icon
inline constexpr uint32_t kBoxOkCancel = 49;  // OK and Cancel, exclamation icon
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;

// System sounds.
inline constexpr uint32_t kBeepHand = 16;
inline constexpr uint32_t kBeepQuestion = 32;
inline constexpr uint32_t kBeepExclamation = 48;
inline constexpr uint32_t kBeepAsterisk = 64;

// Files the front end may want to point the person to.
enum class FileRole {
    ErrorLog,           // the error log of this session
    SettingsFile,       // where this update saves the instrument's settings
    SettingsKept,       // a settings file kept because its settings did not all go back
    SettingsMovedAside  // an unfinished update's settings file, moved aside before a new save
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;
    virtual void SetChecked(Control control, bool checked) = 0;
    // The button that Enter presses.
    virtual void SetDefaultButton(Control control) = 0;
    // The status bar, 0 to 100.
    virtual void SetProgress(int position) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    virtual void Beep(uint32_t sound) = 0;

    // The updater's own one-button box (the core beeps before it).
    virtual void ShowMessageBox(const std::string& text, const std::string& title,
                                MessageKind kind) = 0;
    // The platform box where the person must choose: kBoxOk or kBoxOkCancel; returns
    // kAnswerOk or kAnswerCancel (or another value when the box was closed otherwise).
    virtual int PlatformMessageBox(const std::string& text, const std::string& title,
                                   uint32_t flags) = 0;

    // Repaints and handles what the person did meanwhile (menu commands, the close box).
    virtual void ProcessPendingEvents() = 0;
    virtual void CloseWindow() = 0;

    // A file worth knowing about; the window has no place for it, a command line may print it.
    virtual void PointToFile(FileRole /*role*/, const std::string& /*path*/) {}
};

}  // namespace korr
