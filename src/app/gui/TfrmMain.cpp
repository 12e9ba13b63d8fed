#include "app/gui/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/gui/AppIcon.h"
#include "app/gui/HotPlugMonitor.h"
#include "app/gui/PortComboBox.h"
#include "app/gui/StoredSettings.h"
#include "serial/UdevPortSource.h"

namespace korrgui {

using korr::Control;

TfrmMain::TfrmMain(WindowSetup setup) : setup_(std::move(setup)) {
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowIcon(AppIcon());
    CreateControls();
    CreateMenus();
    CreateTimers();
    IndexControls();
    FixWindowFrame();
    if (!setup_.ports) systemPorts_ = std::make_unique<korr::UdevPortSource>();
}

TfrmMain::~TfrmMain() {
    if (busyCursor_) QApplication::restoreOverrideCursor();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

// Start-up: captions, switches, stored settings, data folder, the objects, the port list, the
// texts, then the timers that report after the window is up.
void TfrmMain::FormShow() {
    korr::AppSetup appSetup = ReadStartupSetup();
    const korr::DeviceTypeRow& product = korr::DeviceTypeInfo(appSetup.productType);
    const QString productName = QString::fromLatin1(product.displayName);
    setWindowTitle(productName + QStringLiteral(" Firmware Updater"));
    About1->setText(QStringLiteral("About ") + productName + QStringLiteral(" Firmware Updater"));

    const std::string storedPort = appSetup.portName;
    session_ = std::make_unique<korr::UpdateSession>(*this, appSetup);
    enumerator_ = std::make_unique<korr::KorrSerial>(&session_->Log());
    if (setup_.sessionMade) setup_.sessionMade(*session_);

    FillPortList();
    ChoosePort(storedPort);
    session_->ShowStartupState();
    if (session_->EraseWarningDue()) timerEraseWarn.start();
    if (session_->Host().image.status < 0) timerConstructorErrors.start();
    if (setup_.watchHotPlug) {
        hotPlug_ = std::make_unique<HotPlugMonitor>(this, [this] { PortsChanged(); });
    }
}

korr::AppSetup TfrmMain::ReadStartupSetup() {
    korr::AppSetup s;
    std::vector<std::string> arguments;
    for (const QString& a : setup_.arguments) arguments.push_back(a.toStdString());
    korr::ApplySwitches(arguments, &s);
    OpenFirmwareFile1->setEnabled(s.repMode);
    PromptforSerialNumber1->setVisible(s.factoryMode);
    DontEraseData1->setVisible(s.factoryMode);

    const StoredSettings stored = ReadStoredSettings();
    s.findAllPorts = stored.findAllPorts;
    s.verboseLog = stored.verboseLog;
    s.portName = stored.commPort;
    ForceFindAllCommPorts1->setChecked(s.findAllPorts);
    VerboseErrorFile1->setChecked(s.verboseLog);
    s.dataFolder = DataFolder(setup_.arguments.contains(QStringLiteral("--simulate")));
    return s;
}

// Stored at every close, however the close was asked for.
void TfrmMain::FormClose() {
    if (!session_) return;
    const korr::AppState& state = session_->State();
    WriteStoredSettings({.findAllPorts = state.findAllPorts,
                         .verboseLog = state.verboseLog,
                         .commPort = state.portName});
}

// ---- The port list ------------------------------------------------------------------------

int32_t TfrmMain::EnumeratePorts() {
    korr::AppState& state = session_->State();
    state.portList.assign(korr::kCommPortListSize, korr::CommPortInfo{});
    int32_t count = korr::kCommPortListSize;
    korr::PortSource& source = setup_.ports ? *setup_.ports : *systemPorts_;
    int32_t result =
        korr::CommPortEnum(*enumerator_, state.portList.data(), &count, state.findAllPorts, source);
    if (result < 0) count = 0;  // a failed enumeration counts as no port
    for (const korr::CommPortInfo& extra : setup_.extraPorts) {
        if (count >= korr::kCommPortListSize) break;
        state.portList[static_cast<size_t>(count++)] = extra;
    }
    state.portList.resize(static_cast<size_t>(count));
    return count;
}

// Start-up fill: the list, then the stored port when it is still there, else the first.
void TfrmMain::FillPortList() {
    fillingList_ = true;
    cbCommPort->clear();
    for (int32_t i = 0, n = EnumeratePorts(); i < n; ++i) {
        cbCommPort->addItem(QString::fromUtf8(session_->State().portList[size_t(i)].description));
    }
    fillingList_ = false;
}

void TfrmMain::ChoosePort(const std::string& storedPort) {
    korr::AppState& state = session_->State();
    state.selectedPort = 0;
    for (size_t i = 0; i < state.portList.size(); ++i) {
        if (!storedPort.empty() && storedPort == state.portList[i].name) {
            state.selectedPort = static_cast<int>(i);
            break;
        }
    }
    fillingList_ = true;
    if (state.portList.empty()) {
        cbCommPort->addItem(QString::fromLatin1(kNoPortsText));
        state.portName.clear();
    } else {
        cbCommPort->setCurrentIndex(state.selectedPort);
        state.portName = state.portList[static_cast<size_t>(state.selectedPort)].name;
    }
    fillingList_ = false;
}

// Each opening of the list (and a device coming or going while idle) lists the ports anew;
// the chosen port, its index and Start stay as they were.
void TfrmMain::RefreshPortList() {
    if (!session_) return;
    const int selected = session_->State().selectedPort;
    fillingList_ = true;
    cbCommPort->clear();
    const int32_t n = EnumeratePorts();
    for (int32_t i = 0; i < n; ++i) {
        cbCommPort->addItem(QString::fromUtf8(session_->State().portList[size_t(i)].description));
    }
    if (n > 0) {
        cbCommPort->setCurrentIndex(selected < n ? selected : 0);
    } else {
        cbCommPort->addItem(QString::fromLatin1(kNoPortsText));
    }
    fillingList_ = false;
}

void TfrmMain::cbCommPortChange(int index) {
    if (fillingList_ || !session_) return;
    korr::AppState& state = session_->State();
    if (index < 0 || static_cast<size_t>(index) >= state.portList.size()) return;
    state.selectedPort = index;
    state.portName = state.portList[static_cast<size_t>(index)].name;
    if (!state.portName.empty()) btnStart->setEnabled(true);
}

// A serial device came or went. While idle the list follows, keeping the person's choice
// when that port is still there; during an update the list is left alone.
void TfrmMain::PortsChanged() {
    if (!session_ || session_->State().updateRunning) return;
    korr::AppState& state = session_->State();
    const std::string chosen = state.portName;
    RefreshPortList();
    for (size_t i = 0; i < state.portList.size(); ++i) {
        if (!chosen.empty() && chosen == state.portList[i].name) {
            state.selectedPort = static_cast<int>(i);
            fillingList_ = true;
            cbCommPort->setCurrentIndex(state.selectedPort);
            fillingList_ = false;
            return;
        }
    }
}

// ---- Buttons and commands -----------------------------------------------------------------

void TfrmMain::btnStartClick() {
    if (!session_ || !session_->StartRequested()) return;
    timerStart.start();
}

void TfrmMain::UpdateFirmware1Click() {
    btnStartClick();
}

void TfrmMain::timerStartTimer() {
    timerStart.stop();
    if (session_) session_->timerStartTimer();
}

void TfrmMain::PressDefaultButton() {
    if (defaultButton_ != nullptr && defaultButton_->isEnabled()) defaultButton_->click();
}

void TfrmMain::btnCloseClick() {
    CloseWindow();
}

void TfrmMain::Exit1Click() {
    if (session_) {
        session_->ConfirmQuit();
    } else {
        CloseWindow();
    }
}

// The close box, Alt+F4 and the system menu's Close: the same guard as Exit.
void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!closeApproved_ && session_) {
        inCloseEvent_ = true;
        const bool mayClose = session_->ConfirmQuit();
        inCloseEvent_ = false;
        if (!mayClose) {
            event->ignore();
            return;
        }
    }
    closeApproved_ = false;
    FormClose();
    event->accept();
}

void TfrmMain::CloseWindow() {
    closeApproved_ = true;
    if (!inCloseEvent_) close();
}

// ---- User guidance ------------------------------------------------------------------------

void TfrmMain::Help2Click() {
    if (session_) session_->ShowHelp();
}

void TfrmMain::About1Click() {
    if (session_) session_->ShowAbout(EngineVersion());
}

void TfrmMain::timerEraseWarnTimer() {
    timerEraseWarn.stop();
    if (session_) session_->ShowEraseWarning();
}

void TfrmMain::timerConstructorErrorsTimer() {
    timerConstructorErrors.stop();
    if (session_) session_->ShowConstructorError();
}

}  // namespace korrgui
