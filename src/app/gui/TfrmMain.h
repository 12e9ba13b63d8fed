#pragma once
// TfrmMain: the updater's one window. It shows what the application core decides (through
// UserInterface) and hands the person's clicks back to it; the update itself runs inside the
// Start timer on this thread, and every long pause pumps this window's events.

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/UpdateSession.h"
#include "app/UserInterface.h"
#include "serial/CommPortEnum.h"
#include "serial/KorrSerial.h"
#include "serial/PortSource.h"

class QAction;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace korrgui {

class PortComboBox;
class HotPlugMonitor;

// What the window is started with besides its command line. Production leaves everything at
// its default; --simulate adds its port entry, tests also supply the ports and may look at
// the session as soon as it exists.
struct WindowSetup {
    QStringList arguments;                                  // without the program name
    std::shared_ptr<korr::PortSource> ports;                // null: the system's (udev)
    std::vector<korr::CommPortInfo> extraPorts;             // listed after the system's ports
    std::function<void(korr::UpdateSession&)> sessionMade;  // right after the objects exist
    bool watchHotPlug = true;
};

class TfrmMain final : public QMainWindow, public korr::UserInterface {
  public:
    explicit TfrmMain(WindowSetup setup);
    ~TfrmMain() override;

    // UserInterface
    void SetText(korr::Control control, const std::string& text) override;
    void SetEnabled(korr::Control control, bool enabled) override;
    void SetVisible(korr::Control control, bool visible) override;
    void SetChecked(korr::Control control, bool checked) override;
    void SetDefaultButton(korr::Control control) override;
    void SetProgress(int position) override;
    void SetBusyCursor(bool busy) override;
    void Beep(uint32_t sound) override;
    void ShowMessageBox(const std::string& text, const std::string& title,
                        korr::MessageKind kind) override;
    int PlatformMessageBox(const std::string& text, const std::string& title,
                           uint32_t flags) override;
    void ProcessPendingEvents() override;
    void CloseWindow() override;

    // The session exists from the first showing of the window on.
    korr::UpdateSession* Session() { return session_.get(); }
    // Refills the port list as opening it does (also on hot-plug while idle).
    void RefreshPortList();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Building the window (TfrmMainLayout.cpp).
    void CreateControls();
    void CreateMenus();
    void CreateTimers();
    void FixWindowFrame();
    void IndexControls();

    // Start-up, in its order, and the stored settings (TfrmMain.cpp).
    void FormShow();
    void FormClose();
    korr::AppSetup ReadStartupSetup();
    void FillPortList();
    int32_t EnumeratePorts();
    void ChoosePort(const std::string& storedPort);

    // Handlers.
    void cbCommPortChange(int index);
    void btnStartClick();
    void UpdateFirmware1Click();
    void btnCloseClick();
    void Exit1Click();
    void OpenFirmwareFile1Click();
    void DumpFirmwareImage1Click();
    void Help2Click();
    void About1Click();
    void PressDefaultButton();
    void timerStartTimer();
    void timerEraseWarnTimer();
    void timerConstructorErrorsTimer();
    void PortsChanged();

    WindowSetup setup_;
    std::unique_ptr<korr::UpdateSession> session_;
    std::unique_ptr<korr::KorrSerial> enumerator_;
    std::unique_ptr<korr::PortSource> systemPorts_;
    std::unique_ptr<HotPlugMonitor> hotPlug_;
    bool shown_ = false;
    bool closeApproved_ = false;  // ConfirmQuit (or Close) said the window may go
    bool inCloseEvent_ = false;
    bool busyCursor_ = false;
    bool fillingList_ = false;  // the list's own changes are not the person's choice

    QLabel* Image1 = nullptr;
    QLabel* userText1 = nullptr;
    QLabel* userText2 = nullptr;
    QLabel* lblConnect = nullptr;
    QLabel* commLabel = nullptr;
    PortComboBox* cbCommPort = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* statusText = nullptr;
    QProgressBar* statusBar = nullptr;
    QLabel* newSN = nullptr;
    QLineEdit* newSNstr = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* defaultButton_ = nullptr;

    QAction* OpenFirmwareFile1 = nullptr;
    QAction* UpdateFirmware1 = nullptr;
    QAction* DumpFirmwareImage1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* VerboseErrorFile1 = nullptr;
    QAction* ForceFindAllCommPorts1 = nullptr;
    QAction* DontEraseData1 = nullptr;
    QAction* PromptforSerialNumber1 = nullptr;
    QAction* Help2 = nullptr;
    QAction* About1 = nullptr;

    std::map<korr::Control, QWidget*> widgets_;
    std::map<korr::Control, QAction*> actions_;

    QTimer timerStart;
    QTimer timerEraseWarn;
    QTimer timerConstructorErrors;
};

// The names the window's objects carry (objectName), so tests and accessibility tools find
// them by the names the code uses.
inline constexpr const char* kNoPortsText = "No Comm Ports Found";

}  // namespace korrgui
