#include "app/dispatch_report_line.h"

#include "mapping/keyset.h"
#include "platform/key_map.h"
#include "platform/utf8_path.h"
#include "protocol/device_modes.h"
#include "protocol/monitor_lines.h"
#include "protocol/short_message.h"

namespace orvo {
namespace {

std::string KeystrokeText(uint32_t keyFlags) {
  std::string text;
  if (keyFlags & kModCtrl) text += "Ctrl+";
  if (keyFlags & kModAlt) text += "Alt+";
  if (keyFlags & kModShift) text += "Shift+";
  return text + KeyNameFromFlags(keyFlags);
}

std::string KeyPart(const DispatchReport& report, const ReportContext& context) {
  if (!report.typed) return {};
  const std::string key = KeystrokeText(report.keyFlags);
  const std::string off = context.keysOff ? context.keysOff() : std::string();
  if (!off.empty()) return key + " not typed (" + off + ")";
  std::string program = context.programName ? context.programName(report.processId) : std::string();
  if (program.empty()) program = "the focused window";
  return "typed " + key + " into " + program;
}

std::string MidiPart(const DispatchReport& report, bool rewritten) {
  if (report.midiSent) {
    const std::string port = report.keyset->MidiInPort.Get();
    return "sent " + MessageBytes(report.sent) + (rewritten ? "" : " as it is") + " to " + port;
  }
  const std::string port = report.keyset->MidiInPort.Get();
  if (port.empty()) return "no MIDI sent: " + report.keyset->Name + " names no port to send to";
  return "no MIDI sent: " + port + " is not open";
}

std::string Joined(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + "; " + b;
}

std::string Outcome(const DispatchReport& report, const ReportContext& context) {
  switch (report.outcome) {
    case DispatchOutcome::kToEditor: return "shown in the editor";
    case DispatchOutcome::kOwnWindow:
      return "nothing done: a window of this program has the focus (click the application to play)";
    case DispatchOutcome::kNoKeyset: return "nothing done: no Keyset serves the focused application";
    case DispatchOutcome::kModeOff:
      return std::string("nothing done in ") + ModeDisplayName(report.keyset->DeviceMode.load()) + " mode";
    case DispatchOutcome::kPassedOn: return MidiPart(report, false);
    case DispatchOutcome::kLayer: return "switches the surface's layer; nothing else";
    case DispatchOutcome::kMapped: return Joined(KeyPart(report, context), MidiPart(report, true));
    case DispatchOutcome::kUnmapped: {
      std::string text = report.midiSent ? MidiPart(report, false) + "; not mapped" : "not mapped";
      // The hint once per press, not again on the release.
      if (Data2Of(report.message) != 0) {
        const auto file = context.settingsDirectory / Utf8Path(report.keyset->Name + ".orvo");
        text += "; map it in the editor, or add a line to " + Utf8Name(file);
      }
      return text;
    }
  }
  return {};
}

}  // namespace

std::string DescribeDispatch(const DispatchReport& report, const ReportContext& context) {
  std::string line = report.row ? report.row->name : "message";
  line += " " + MessageBytes(report.message);
  if (report.keyset) line += ", Keyset " + report.keyset->Name;
  return line + ": " + Outcome(report, context);
}

}  // namespace orvo
