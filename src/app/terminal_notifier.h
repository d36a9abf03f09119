#pragma once
// Headless, the terminal takes the editor's place: every notification is printed as the
// monitor's line on standard output, and a change of the focused application's Keyset
// as a line of its own. Any thread; lines never interleave.
#include <cstdio>
#include <mutex>

#include "protocol/editor_notifier.h"

namespace orvo {

class TerminalNotifier : public EditorNotifier {
 public:
  explicit TerminalNotifier(std::FILE* out = stdout) : out_(out) {}

  bool IsRunning() override { return true; }
  void SendControlEvent(const ControlDescriptor* row, uint32_t message) override;
  void PostControlEvent(const ControlDescriptor* row, uint32_t message) override;
  void PostInputMessage(const Keyset* keyset, uint32_t message) override;
  void PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) override;
  void ShowKeyset(const Keyset* keyset) override;
  // A line of the program's own (connection changes and the like).
  void Say(const std::string& line);

 private:
  void Print(const std::string& line);
  std::FILE* out_;
  std::mutex mutex_;
};

}  // namespace orvo
