// TfrmMain as the application core's user interface: texts, states, progress, boxes, events;
// and the firmware file dialogs that feed the core's file commands.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

#include "app/gui/PortComboBox.h"
#include "app/gui/TfrmMain.h"

namespace korrgui {

using korr::Control;

namespace {

// The icon each kind of box carries; Custom (Help) has none.
struct KindIcon {
    korr::MessageKind kind;
    QMessageBox::Icon icon;
};
constexpr KindIcon kKindIcons[] = {
    {korr::MessageKind::Warning, QMessageBox::Warning},
    {korr::MessageKind::Error, QMessageBox::Critical},
    {korr::MessageKind::Information, QMessageBox::Information},
    {korr::MessageKind::Confirmation, QMessageBox::Question},
    {korr::MessageKind::Custom, QMessageBox::NoIcon},
};

QMessageBox::Icon IconFor(korr::MessageKind kind) {
    for (const KindIcon& k : kKindIcons) {
        if (k.kind == kind) return k.icon;
    }
    return QMessageBox::Warning;
}

// A modal box on top of everything, centred on the window (its parent).
int RunBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text,
           const std::string& title, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, QString::fromStdString(title), QString::fromStdString(text), buttons,
                    parent);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec();
}

}  // namespace

void TfrmMain::SetText(Control control, const std::string& text) {
    const QString t = QString::fromStdString(text);
    if (auto* label = qobject_cast<QLabel*>(widgets_[control])) {
        label->setText(t);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widgets_[control])) {
        edit->setText(t);
    } else if (auto* button = qobject_cast<QPushButton*>(widgets_[control])) {
        button->setText(t);
    } else if (QAction* action = actions_[control]) {
        action->setText(t);
    }
}

void TfrmMain::SetEnabled(Control control, bool enabled) {
    if (QWidget* w = widgets_[control]) w->setEnabled(enabled);
    if (QAction* a = actions_[control]) a->setEnabled(enabled);
}

void TfrmMain::SetVisible(Control control, bool visible) {
    if (QWidget* w = widgets_[control]) {
        w->setVisible(visible);
        if (visible && w == newSNstr) newSNstr->setFocus(Qt::OtherFocusReason);
    }
    // The dump command has no menu entry to show; hiding its action would also stop its
    // shortcut.
    if (QAction* a = actions_[control]; a != nullptr && a != DumpFirmwareImage1) {
        a->setVisible(visible);
    }
}

void TfrmMain::SetChecked(Control control, bool checked) {
    if (QAction* a = actions_[control]) a->setChecked(checked);
}

void TfrmMain::SetDefaultButton(Control control) {
    auto* button = qobject_cast<QPushButton*>(widgets_[control]);
    if (button == nullptr) button = control == Control::btnClose ? btnClose : btnStart;
    for (QPushButton* b : {btnStart, btnClose}) b->setDefault(b == button);
    defaultButton_ = button;
}

void TfrmMain::SetProgress(int position) {
    statusBar->setValue(position);
}

void TfrmMain::SetBusyCursor(bool busy) {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

// The toolkit has one beep; every system sound maps to it.
void TfrmMain::Beep(uint32_t /*sound*/) {
    QApplication::beep();
}

void TfrmMain::ShowMessageBox(const std::string& text, const std::string& title,
                              korr::MessageKind kind) {
    RunBox(this, IconFor(kind), text, title, QMessageBox::Ok);
}

int TfrmMain::PlatformMessageBox(const std::string& text, const std::string& title,
                                 uint32_t flags) {
    QApplication::beep();  // the platform box sounds its exclamation itself
    const QMessageBox::StandardButtons buttons =
        flags == korr::kBoxOkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    const int answer = RunBox(this, QMessageBox::Warning, text, title, buttons);
    if (answer == QMessageBox::Ok) return korr::kAnswerOk;
    if (answer == QMessageBox::Cancel) return korr::kAnswerCancel;
    return 0;
}

void TfrmMain::ProcessPendingEvents() {
    statusText->repaint();
    QApplication::processEvents();
}

// ---- Firmware files -----------------------------------------------------------------------

void TfrmMain::OpenFirmwareFile1Click() {
    if (!session_) return;
    QFileDialog dialog(this, QStringLiteral("Please select a firmware file"), QDir::currentPath(),
                       QStringLiteral("Firmware File (*.txt);;Any File (*)"));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    session_->OpenFirmwareFile(dialog.selectedFiles().constFirst().toStdString());
}

void TfrmMain::DumpFirmwareImage1Click() {
    if (!session_) return;
    QFileDialog dialog(this, QStringLiteral("Save Firmware Image"), QDir::currentPath());
    dialog.setObjectName(QStringLiteral("SaveDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    session_->DumpFirmwareImage(dialog.selectedFiles().constFirst().toStdString());
}

}  // namespace korrgui
