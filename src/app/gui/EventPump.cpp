#include "app/gui/EventPump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "serial/Clock.h"

namespace korrgui {

void PumpQtEvents(uint32_t maxMs) {
    if (maxMs == 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(maxMs), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

QtEventPump::QtEventPump() {
    korr::SetEventPump(PumpQtEvents);
}

QtEventPump::~QtEventPump() {
    korr::SetEventPump(nullptr);
}

}  // namespace korrgui
