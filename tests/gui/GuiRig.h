#pragma once
// What the window tests share: the window started on a table of ports with chosen stored
// settings, a watcher that answers every modal box and file dialog as a person would, and
// recorders of the status texts and the progress bar.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/StoredSettings.h"
#include "app/gui/TfrmMain.h"
#include "serial/TablePortSource.h"
#include "support/TempDir.h"

namespace korrtest {

struct SeenBox {
    std::string title;
    std::string text;
    QMessageBox::Icon icon;
    bool offersCancel;
};

// Answers modal boxes (OK unless told otherwise) and file dialogs (the next file, or Cancel
// for an empty name), recording each.
class BoxWatcher {
  public:
    BoxWatcher() {
        timer_.setInterval(2);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    std::vector<SeenBox> boxes;
    std::deque<QMessageBox::StandardButton> answers;
    std::deque<QString> files;
    int fileDialogs = 0;
    std::function<void(const SeenBox&)> onBox;  // runs while the box is up

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box != nullptr && box->isVisible()) {
            Answer(box);
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal);
                   dialog != nullptr && dialog->isVisible()) {
            ++fileDialogs;
            const QString file = files.empty() ? QString() : files.front();
            if (!files.empty()) files.pop_front();
            if (file.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(file);
                static_cast<QDialog*>(dialog)->accept();
            }
        }
    }
    void Answer(QMessageBox* box) {
        boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString(), box->icon(),
                         box->button(QMessageBox::Cancel) != nullptr});
        if (onBox) onBox(boxes.back());
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        box->button(answer)->click();
    }

    QTimer timer_;
};

// Every text the status line showed, in order (it is repainted at each change).
class StatusRecorder : public QObject {
  public:
    explicit StatusRecorder(QLabel* label) : label_(label) { label->installEventFilter(this); }
    std::vector<std::string> texts;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const std::string t = label_->text().toStdString();
            if (texts.empty() || texts.back() != t) texts.push_back(t);
        }
        return false;
    }

  private:
    QLabel* label_;
};

inline korr::PortDevice UsbPort(const std::string& name) {
    korr::PortDevice d;
    d.name = name;
    d.hasParent = true;
    d.isUsb = true;
    d.vendorId = 0x0403;
    d.productId = 0x6001;
    d.manufacturer = "FTDI";
    d.product = "FT232R USB UART";
    d.driver = "ftdi_sio";
    return d;
}

struct WindowOptions {
    QStringList arguments = {};
    std::vector<std::string> ports = {"ttyUSB0"};
    std::vector<korr::CommPortInfo> extraPorts = {};
    std::function<void(korr::UpdateSession&)> sessionMade = {};
};

inline void ClearStoredSettings() {
    QSettings(QStringLiteral("Korrin Devices, Inc"), QStringLiteral("KorrBSL")).clear();
}

class GuiRig {
  public:
    explicit GuiRig(WindowOptions o = {}) : source_(std::make_shared<korr::TablePortSource>()) {
        // The error log and the settings files of this window alone.
        setenv("XDG_DATA_HOME", data_.Path().c_str(), 1);
        for (const std::string& p : o.ports) {
            source_->devices.push_back(UsbPort(p));
            source_->answers.push_back({p, 0});
        }
        korrgui::WindowSetup setup;
        setup.arguments = o.arguments;
        setup.ports = source_;
        setup.extraPorts = o.extraPorts;
        setup.sessionMade = o.sessionMade;
        setup.watchHotPlug = false;
        window_ = std::make_unique<korrgui::TfrmMain>(std::move(setup));
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get(), 2000));
        status_ = std::make_unique<StatusRecorder>(Label("statusText"));
        QObject::connect(Get<QProgressBar>("statusBar"), &QProgressBar::valueChanged,
                         [this](int v) { progress.push_back(v); });
    }
    ~GuiRig() {
        status_.reset();
        window_.reset();
    }

    korrgui::TfrmMain& Window() { return *window_; }
    korr::UpdateSession& Session() { return *window_->Session(); }
    korr::TablePortSource& Ports() { return *source_; }
    template <typename T>
    T* Get(const char* name) {
        T* w = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLabel* Label(const char* name) { return Get<QLabel>(name); }
    std::string Text(const char* name) { return Label(name)->text().toStdString(); }
    QAction* Action(const char* name) { return Get<QAction>(name); }
    QPushButton* Button(const char* name) { return Get<QPushButton>(name); }
    const std::vector<std::string>& Statuses() const { return status_->texts; }

    // The close box, as the window system sends it.
    void PressCloseBox() { window_->windowHandle()->close(); }
    bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
        return QTest::qWaitFor(done, ms);
    }

    BoxWatcher boxes;
    std::vector<int> progress;

  private:
    TempDir data_;
    std::shared_ptr<korr::TablePortSource> source_;
    std::unique_ptr<korrgui::TfrmMain> window_;
    std::unique_ptr<StatusRecorder> status_;
};

}  // namespace korrtest
