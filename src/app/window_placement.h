#pragma once
// Where the program's windows open: wholly inside the screen's available area, frame and
// title bar included, so that every window can be moved; the simulated surface's window
// beside the editor where the width allows. GUI thread.
#include <QMargins>
#include <QRect>

class QWidget;

namespace orvo {

// The available geometry of the screen `window` is on (the primary one before it has one).
QRect AvailableArea(const QWidget& window);

// The frame the window manager draws round `window`: the real one once the window is on
// screen, before that a guess at an ordinary title bar and border.
QMargins FrameMargins(const QWidget& window);

// Resizes `window` so that it fits inside `area` with its frame, and moves it so that its
// frame's top left is at `frameTopLeft`, or as near as keeps the whole frame in `area`.
void PlaceInside(QWidget& window, const QRect& area, QPoint frameTopLeft);

// Once the window manager has framed a shown window, moves it back inside `area` if its
// frame is not wholly there (the guess of FrameMargins was short).
void KeepInsideOnceFramed(QWidget& window, const QRect& area);

// The editor at the top left of its screen's available area, and `companion` (may be
// null) to its right. Where the two do not fit side by side at a size they can be used
// at, the companion keeps to the bottom right corner, partly under the editor.
void PlaceEditorAndCompanion(QWidget& editor, QWidget* companion);

}  // namespace orvo
