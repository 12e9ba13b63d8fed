#pragma once
// The program's own picture: Image1 and the window icon, drawn from the SVG in the resources.

#include <QIcon>
#include <QPixmap>

namespace korrgui {

QPixmap AppIconPixmap(int size);
QIcon AppIcon();

}  // namespace korrgui
