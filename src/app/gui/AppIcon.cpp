#include "app/gui/AppIcon.h"

#include <QPainter>
#include <QSvgRenderer>

// The resources live in a static library: they must be registered by hand, at global scope.
static void RegisterResources() {
    Q_INIT_RESOURCE(korrbsl_gui);
}

namespace korrgui {

QPixmap AppIconPixmap(int size) {
    static const bool registered = (RegisterResources(), true);
    (void)registered;
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/korrbsl/korrbsl.svg"));
    QPainter painter(&pixmap);
    svg.render(&painter);
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(AppIconPixmap(size));
    return icon;
}

}  // namespace korrgui
