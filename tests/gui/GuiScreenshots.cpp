// Pictures of the window for the README: idle, part way through an update against the
// simulated instrument (virtual time), and with the "Don't Quit Now!" box up. Run under a
// real X server (scripts/screenshots.sh starts Xvfb): gui_screenshots <folder>.
#include <QApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/gui/EventPump.h"
#include "app/gui/TfrmMain.h"
#include "common/FixedText.h"
#include "host/SimUpdateTarget.h"
#include "serial/TablePortSource.h"

namespace {

// The screen around the window and whatever box is up over it.
bool Shoot(QWidget& window, QWidget* box, const QString& file) {
    QRect area = window.frameGeometry();
    if (box != nullptr) area = area.united(box->frameGeometry());
    area.adjust(-8, -8, 8, 8);
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(),
                                                                area.height());
    const bool ok = shot.save(file);
    std::printf("%s %s\n", ok ? "saved" : "could not save", qPrintable(file));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    korrgui::QtEventPump pump;

    korrsim::SimOptions options;
    options.firmwareVersion = "3.55";
    korrsim::SimUpdateTarget sim(options, *korrsim::FindInstrumentType("QS7"), false);
    korr::CommPortInfo entry{};
    korr::CopyText(entry.name, sim.Port());
    korr::CopyText(entry.description, "Simulated Quorra Series 7");

    auto ports = std::make_shared<korr::TablePortSource>();
    korrgui::WindowSetup setup;
    setup.ports = ports;
    setup.extraPorts = {entry};
    setup.watchHotPlug = false;
    korrgui::TfrmMain window(std::move(setup));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QTest::qWait(300);
    bool ok = Shoot(window, nullptr, folder + QStringLiteral("/window-idle.png"));

    // Part way through the upload: a picture; a little later the close box, and its box.
    auto* bar = window.findChild<QProgressBar*>(QStringLiteral("statusBar"));
    bool updateShot = false, boxShot = false;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) {
        if (!updateShot && v >= 45) {
            updateShot = true;
            QTest::qWait(50);
            ok = Shoot(window, nullptr, folder + QStringLiteral("/window-update.png")) && ok;
        } else if (!boxShot && v >= 60) {
            boxShot = true;
            QTimer::singleShot(0, &window, [&] { window.windowHandle()->close(); });
        }
    });
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        boxWatch.stop();
        QTest::qWait(300);
        ok = Shoot(window, box, folder + QStringLiteral("/window-box.png")) && ok;
        box->button(QMessageBox::Ok)->click();
    });
    boxWatch.start(20);
    window.findChild<QPushButton*>(QStringLiteral("btnStart"))->click();
    ok = QTest::qWaitFor([&] { return window.findChild<QPushButton*>("btnClose")->isEnabled(); },
                         60000) &&
         ok;
    window.close();
    return ok && updateShot && boxShot ? 0 : 1;
}
