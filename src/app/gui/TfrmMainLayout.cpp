// TfrmMain's controls, menus and timers: what the window shows before start-up fills it in.
#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "app/gui/AppIcon.h"
#include "app/gui/PortComboBox.h"
#include "app/gui/TfrmMain.h"

namespace korrgui {

using korr::Control;

namespace {

constexpr int kClientWidth = 313;
constexpr int kClientHeight = 262;
constexpr double kFontPoints = 8.5;

// The controls' places in the client area, as the form was laid out.
struct Place {
    int x, y, width, height;
};
constexpr Place kImage1{8, 8, 48, 48};
// Texts that carry the product's name wrap onto a second line when the name is long.
constexpr Place kUserText1{64, 6, 241, 30};
constexpr Place kUserText2{64, 38, 224, 34};
constexpr Place kLblConnect{8, 74, 297, 30};
constexpr Place kCommLabel{8, 106, 297, 17};
constexpr Place kCbCommPort{8, 124, 297, 24};
constexpr Place kLabel1{8, 158, 48, 17};
constexpr Place kStatusText{58, 158, 247, 17};
constexpr Place kStatusBar{8, 178, 297, 18};
constexpr Place kNewSN{8, 205, 112, 17};
constexpr Place kNewSNstr{124, 202, 181, 22};
constexpr Place kBtnStart{144, 230, 75, 25};
constexpr Place kBtnClose{230, 230, 75, 25};

template <typename W>
W* Put(QWidget* parent, const char* name, Place p) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(p.x, p.y, p.width, p.height);
    return w;
}

void MakeBold(QWidget* w) {
    QFont f = w->font();
    f.setBold(true);
    w->setFont(f);
}

QLabel* PutLabel(QWidget* parent, const char* name, Place p, const char* text, bool bold) {
    auto* label = Put<QLabel>(parent, name, p);
    label->setText(QString::fromLatin1(text));
    label->setTextFormat(Qt::PlainText);
    if (bold) MakeBold(label);
    return label;
}

}  // namespace

void TfrmMain::CreateControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    // The form was laid out for a small dialog font; the desktop's larger default would cut
    // the product's texts at the fixed sizes.
    QFont font = client->font();
    font.setPointSizeF(kFontPoints);
    client->setFont(font);
    setCentralWidget(client);

    Image1 = Put<QLabel>(client, "Image1", kImage1);
    Image1->setPixmap(AppIconPixmap(kImage1.width));
    userText1 = PutLabel(client, "userText1", kUserText1,
                         "This utility updates instrument firmware to", false);
    userText2 = PutLabel(client, "userText2", kUserText2, "Instrument x.yy", true);
    lblConnect = PutLabel(client, "lblConnect", kLblConnect,
                          "Connect instrument to computer comm port.", true);
    for (QLabel* wrapped : {userText1, userText2, lblConnect}) {
        wrapped->setWordWrap(true);
        wrapped->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    commLabel = PutLabel(client, "commLabel", kCommLabel, "Use computer comm port:", false);
    cbCommPort = Put<PortComboBox>(client, "cbCommPort", kCbCommPort);
    cbCommPort->setEditable(false);
    cbCommPort->setToolTip(QStringLiteral("Pick your comm port from this list."));
    MakeBold(cbCommPort);
    Label1 = PutLabel(client, "Label1", kLabel1, "Status:", true);
    statusText = PutLabel(client, "statusText", kStatusText, "", false);
    statusText->hide();
    statusBar = Put<QProgressBar>(client, "statusBar", kStatusBar);
    statusBar->setRange(0, 100);
    statusBar->setValue(0);
    statusBar->setTextVisible(false);
    newSN = PutLabel(client, "newSN", kNewSN, "New Serial Number", false);
    newSN->hide();
    newSNstr = Put<QLineEdit>(client, "newSNstr", kNewSNstr);
    newSNstr->setMaxLength(static_cast<int>(korr::kNewSerialNumberMax));
    newSNstr->hide();
    btnStart = Put<QPushButton>(client, "btnStart", kBtnStart);
    btnStart->setText(QStringLiteral("Start"));
    btnClose = Put<QPushButton>(client, "btnClose", kBtnClose);
    btnClose->setText(QStringLiteral("Close"));
    SetDefaultButton(Control::btnStart);

    // A main window has no dialog keys of its own: Enter presses the default button, Escape
    // presses Close.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        connect(enter, &QShortcut::activated, this, [this] { PressDefaultButton(); });
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, btnClose, [this] {
        if (btnClose->isEnabled()) btnClose->click();
    });

    connect(btnStart, &QPushButton::clicked, this, [this] { btnStartClick(); });
    connect(btnClose, &QPushButton::clicked, this, [this] { btnCloseClick(); });
    connect(cbCommPort, &QComboBox::activated, this, [this](int i) { cbCommPortChange(i); });
    cbCommPort->onDropDown = [this] { RefreshPortList(); };
    connect(newSNstr, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (session_) session_->SetNewSerialNumber(text.toStdString());
    });
}

void TfrmMain::CreateMenus() {
    auto add = [this](QMenu* menu, const char* name, const char* text, QKeySequence keys,
                      auto handler) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto toggle = [this](QMenu* menu, const char* name, const char* text, auto apply) {
        QAction* a = menu->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, apply](bool on) {
            if (session_) (session_.get()->*apply)(on);
        });
        return a;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    OpenFirmwareFile1 =
        add(file, "OpenFirmwareFile1", "&Open Firmware File...", QKeySequence(Qt::CTRL | Qt::Key_O),
            [this] { OpenFirmwareFile1Click(); });
    OpenFirmwareFile1->setEnabled(false);
    UpdateFirmware1 = add(file, "UpdateFirmware1", "&Update Firmware",
                          QKeySequence(Qt::CTRL | Qt::Key_F), [this] { UpdateFirmware1Click(); });
    // No menu entry: only its shortcut runs it, so the action belongs to the window alone (a
    // hidden action's shortcut would not work).
    DumpFirmwareImage1 = new QAction(QStringLiteral("&Dump Firmware Image..."), this);
    DumpFirmwareImage1->setObjectName(QStringLiteral("DumpFirmwareImage1"));
    DumpFirmwareImage1->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    DumpFirmwareImage1->setShortcutContext(Qt::WindowShortcut);
    connect(DumpFirmwareImage1, &QAction::triggered, this, [this] { DumpFirmwareImage1Click(); });
    addAction(DumpFirmwareImage1);
    file->addSeparator();
    Exit1 =
        add(file, "Exit1", "&Exit", QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { Exit1Click(); });

    QMenu* settings = menuBar()->addMenu(QStringLiteral("&Settings"));
    VerboseErrorFile1 = toggle(settings, "VerboseErrorFile1", "&Verbose Error File",
                               &korr::UpdateSession::SetVerboseLog);
    ForceFindAllCommPorts1 =
        toggle(settings, "ForceFindAllCommPorts1", "Force Find All &Comm Ports",
               &korr::UpdateSession::SetFindAllPorts);
    DontEraseData1 = toggle(settings, "DontEraseData1", "&Don't Erase Data",
                            &korr::UpdateSession::SetDontEraseData);
    DontEraseData1->setVisible(false);
    PromptforSerialNumber1 = toggle(settings, "PromptforSerialNumber1", "&Replace Serial Number",
                                    &korr::UpdateSession::SetReplaceSerialNumber);
    PromptforSerialNumber1->setVisible(false);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    Help2 = add(help, "Help2", "&Help", QKeySequence(Qt::Key_F1), [this] { Help2Click(); });
    help->addSeparator();
    About1 = add(help, "About1", "&About...", QKeySequence(), [this] { About1Click(); });
}

void TfrmMain::CreateTimers() {
    struct OneShot {
        QTimer* timer;
        const char* name;
        int ms;
        void (TfrmMain::*handler)();
    };
    const OneShot timers[] = {
        {&timerStart, "timerStart", 100, &TfrmMain::timerStartTimer},
        {&timerEraseWarn, "timerEraseWarn", 500, &TfrmMain::timerEraseWarnTimer},
        {&timerConstructorErrors, "timerConstructorErrors", 100,
         &TfrmMain::timerConstructorErrorsTimer},
    };
    for (const OneShot& t : timers) {
        t.timer->setObjectName(QString::fromLatin1(t.name));
        t.timer->setSingleShot(true);
        t.timer->setInterval(t.ms);
        connect(t.timer, &QTimer::timeout, this, t.handler);
    }
}

// A fixed single-line border with only the system menu and the close box, centred.
void TfrmMain::FixWindowFrame() {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    adjustSize();
    setFixedSize(sizeHint());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TfrmMain::IndexControls() {
    widgets_ = {
        {Control::userText1, userText1},   {Control::userText2, userText2},
        {Control::lblConnect, lblConnect}, {Control::commLabel, commLabel},
        {Control::cbCommPort, cbCommPort}, {Control::statusText, statusText},
        {Control::newSN, newSN},           {Control::newSNstr, newSNstr},
        {Control::btnStart, btnStart},     {Control::btnClose, btnClose},
    };
    actions_ = {
        {Control::OpenFirmwareFile1, OpenFirmwareFile1},
        {Control::UpdateFirmware1, UpdateFirmware1},
        {Control::DumpFirmwareImage1, DumpFirmwareImage1},
        {Control::VerboseErrorFile1, VerboseErrorFile1},
        {Control::ForceFindAllCommPorts1, ForceFindAllCommPorts1},
        {Control::DontEraseData1, DontEraseData1},
        {Control::PromptforSerialNumber1, PromptforSerialNumber1},
    };
}

}  // namespace korrgui
