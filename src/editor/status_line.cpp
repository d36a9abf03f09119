#include "editor/status_line.h"

#include "protocol/device_modes.h"

namespace orvo {

QString StatusLineText(const SurfaceStatus& status) {
  if (!status.connected) return "Surface not connected.";
  QString text = QString("Surface connected, %1 mode.").arg(ModeDisplayName(status.deviceMode));
  if (!status.keyset.empty()) {
    text += QString("   Keyset in force: %1").arg(QString::fromStdString(status.keyset));
    if (!status.executable.empty()) text += QString(" (%1)").arg(QString::fromStdString(status.executable));
    text += '.';
  }
  text += status.bankLayer ? "   Bank on: Mute, Solo, Pan." : "   Bank off: Arm, Locate, Select.";
  text += status.shiftLayer ? "   Shift on: shifted F1-F9." : "   Shift off: F1-F9.";
  return text;
}

}  // namespace orvo
