#pragma once
// Where each control sits on the picture of the surface, in dialog units on a canvas of
// 621 x 447. One table serves painting, hit-testing and the tests, so what is drawn is
// what is clicked.
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <optional>
#include <span>

#include "protocol/control_table.h"

namespace orvo {

// How a control is drawn; the picture button caption decides it.
enum class SurfaceFamily {
  ChannelButton,  // MUTE, SOLO, ARM, LOCATE, PAN, SELECT
  FButton,        // FBTNS, SHIFTFBTNS
  Transport,      // RWND, PLAY, FFWD, STOP, REC
  Cursor,         // CRSRUP, CRSRDN, CRSRLT, CRSRRT
  WheelButton,    // JOG, SHUTTLE
  Fader,          // FADER, FADER16
  PotHalf,        // KNOBLT, KNOBRT
  WheelHalf,      // WHEELLT, WHEELRT
  Footswitch,     // FOOTSWITCH
  LayerButton,    // Bank and Shift: no picture button in the editor
};

struct ControlLayout {
  ControlId id;
  QRectF rect;          // dialog units
  SurfaceFamily family;
  const char* caption;  // the row's picture button caption; "BANK"/"SHIFT" for the layer buttons
  bool mappable;        // the row's hasPictureButton: false for Bank and Shift
};

inline constexpr QSizeF kSurfaceCanvasSize{621, 447};
inline constexpr QRectF kLeftPanelRect{0, 0, 369, 447};
inline constexpr QRectF kRightPanelRect{368, 189, 253, 258};
inline constexpr std::size_t kMappableControlCount = 268;

// Pixels per dialog unit when the picture is shown at its natural size (about 1180 px wide).
inline constexpr double kDefaultSurfaceScale = 1.9;

// The 268 mappable controls in ControlId order, then Bank and Shift.
std::span<const ControlLayout> SurfaceLayout();

// The layout of `id`, or nullptr for 1223 and numbers outside the table.
const ControlLayout* LayoutOf(ControlId id);

// The control under `point` (dialog units); Bank and Shift only when asked for.
std::optional<ControlId> ControlAt(QPointF point, bool includeBankShift);

// True when the control has a lamp on the surface: the channel buttons, RECORD, Bank and
// the wheel's two halves.
bool HasLamp(const ControlLayout& layout);

// A fader's travel: the cap's centre runs from near the slot's bottom (0x00) to near its
// top (0x7F). The cap at a value, and the value under a height (clamped to the travel).
inline constexpr int kFaderTop = 0x7F;
QRectF FaderCapRect(const ControlLayout& fader, int value);
int FaderValueAt(const ControlLayout& fader, double canvasY);

// The picture's size in pixels at `scale` pixels per dialog unit.
QSizeF SurfacePixelSize(double scale = kDefaultSurfaceScale);

}  // namespace orvo
