#include "app/terminal_notifier.h"

#include "mapping/keyset.h"
#include "protocol/device_modes.h"
#include "protocol/monitor_lines.h"

namespace orvo {

void TerminalNotifier::Print(const std::string& line) {
  std::lock_guard lock(mutex_);
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void TerminalNotifier::Say(const std::string& line) { Print(line); }

void TerminalNotifier::SendControlEvent(const ControlDescriptor* row, uint32_t message) {
  PostControlEvent(row, message);
}

void TerminalNotifier::PostControlEvent(const ControlDescriptor* row, uint32_t message) {
  Print(FormatControlLine(message, row ? row->name : nullptr));
}

void TerminalNotifier::PostInputMessage(const Keyset* keyset, uint32_t message) {
  Print(FormatInputLine(message, keyset ? keyset->Name.c_str() : nullptr));
}

void TerminalNotifier::PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) {
  Print(FormatLongMessageLine(bytes.data(), static_cast<uint32_t>(bytes.size()), flags,
                              keyset ? keyset->Name.c_str() : nullptr));
}

void TerminalNotifier::ShowKeyset(const Keyset* keyset) {
  if (!keyset) return;
  Print("Keyset " + keyset->Name + " (" + ModeDisplayName(keyset->DeviceMode.load()) + " mode)");
}

}  // namespace orvo
