#include "editor/status_line.h"

#include "midi/port_presence.h"
#include "protocol/device_modes.h"

namespace orvo {

namespace {

// The MIDI side's trouble, as a sentence of its own; empty when there is none.
QString MidiTrouble(const SurfaceStatus& status) {
  if (!status.midiProblem.empty()) {
    QString text = NoMidiSystemText(status.midiProblem);
    text[0] = text[0].toUpper();
    return "   " + text + (text.endsWith('.') ? "" : ".");
  }
  if (status.absentPorts.empty()) return {};
  QString ports = QString::fromLocal8Bit(status.absentPorts.c_str());
  ports[0] = ports[0].toUpper();
  return QString("   %1.").arg(ports);
}

}  // namespace

QString NoMidiSystemText(const std::string& problem) {
  return QString::fromLocal8Bit(NoMidiSystemLine(problem).c_str());
}

QString StatusLineText(const SurfaceStatus& status) {
  if (!status.connected) return "Surface not connected." + MidiTrouble(status);
  QString text = QString("Surface connected, %1 mode.").arg(ModeDisplayName(status.deviceMode)) + MidiTrouble(status);
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
