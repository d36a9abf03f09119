#include "app/window_placement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace orvo {
namespace {

// A title bar and border as common window managers draw them, in device-independent
// pixels; too much only leaves a gap.
constexpr QMargins kGuessedFrame{6, 32, 6, 6};
// How long a window manager takes to frame a new window, as far as placing it goes.
constexpr int kFramingDelayMs = 300;
// The smallest width at which the editor's panel is still usable beside the picture.
constexpr int kEditorMinimumWidth = 760;

// Narrowed to `width`, a window whose picture keeps its aspect is made only as tall as
// the picture then needs.
void ResizeToWidth(QWidget& window, int width) {
  window.resize(width, window.hasHeightForWidth() ? window.heightForWidth(width) : window.height());
}

}  // namespace

QRect AvailableArea(const QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}

QMargins FrameMargins(const QWidget& window) {
  if (!window.isVisible()) return kGuessedFrame;
  const QRect frame = window.frameGeometry();
  const QRect inner = window.geometry();
  const QMargins real(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                      frame.bottom() - inner.bottom());
  return real.isNull() ? kGuessedFrame : real;
}

void PlaceInside(QWidget& window, const QRect& area, QPoint frameTopLeft) {
  const QMargins frame = FrameMargins(window);
  const QSize room = area.marginsRemoved(frame).size();
  QSize size = window.size().boundedTo(room);
  // Held to the room's height, a picture that keeps its aspect needs less width too.
  if (window.hasHeightForWidth())
    while (size.width() > window.minimumWidth() && window.heightForWidth(size.width()) > room.height())
      size.rwidth() -= 8;
  size = size.expandedTo(window.minimumSize());
  const QSize outer = size.grownBy(frame);
  const int x = std::clamp(frameTopLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
  const int y = std::clamp(frameTopLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
  // The client's geometry: Qt cannot place a frame it does not know yet.
  window.setGeometry(QRect(QPoint(x + frame.left(), y + frame.top()), size));
}

void KeepInsideOnceFramed(QWidget& window, const QRect& area) {
  QTimer::singleShot(kFramingDelayMs, &window, [guarded = QPointer<QWidget>(&window), area] {
    if (!guarded || !guarded->isVisible()) return;
    const QRect frame = guarded->frameGeometry();
    if (!area.contains(frame)) PlaceInside(*guarded, area, frame.topLeft());
  });
}

void PlaceEditorAndCompanion(QWidget& editor, QWidget* companion) {
  const QRect area = AvailableArea(editor);
  editor.resize(editor.sizeHint());
  if (companion) {
    const QMargins frame = FrameMargins(*companion);
    const int companionWidth = companion->minimumSizeHint().width() + frame.left() + frame.right();
    const int editorRoom = area.width() - companionWidth;
    const QMargins editorFrame = FrameMargins(editor);
    const int editorWidth = std::min(editor.width() + editorFrame.left() + editorFrame.right(), editorRoom);
    if (editorWidth >= kEditorMinimumWidth) {
      // Side by side: the editor as wide as the room leaves, the companion in the rest.
      ResizeToWidth(editor, editorWidth - editorFrame.left() - editorFrame.right());
      PlaceInside(editor, area, area.topLeft());
      const int companionLeft = area.left() + editorWidth;
      ResizeToWidth(*companion, std::min(companion->sizeHint().width(),
                                         area.right() + 1 - companionLeft - frame.left() - frame.right()));
      PlaceInside(*companion, area, QPoint(companionLeft, area.top()));
    } else {
      PlaceInside(editor, area, area.topLeft());
      PlaceInside(*companion, area, area.bottomRight());
    }
    KeepInsideOnceFramed(*companion, area);
  } else {
    PlaceInside(editor, area, area.topLeft());
  }
  KeepInsideOnceFramed(editor, area);
}

}  // namespace orvo
