#pragma once
// The tray's two icons, drawn here: the surface with a green lamp when connected, greyed
// and struck through when not.
#include <QIcon>
#include <QPixmap>

namespace orvo {

QPixmap DrawTrayPixmap(bool connected, int size);
QIcon ConnectedIcon();
QIcon DisconnectedIcon();

}  // namespace orvo
