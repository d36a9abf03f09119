#pragma once
// How the engine tells the editor what happens: control events (sent and waited for when
// the editor has the focus, else posted), MIDI from applications, long messages, and the
// Keyset to show. The application implements it with queued calls onto the GUI thread;
// it is never called from the GUI thread, and never while holding a lock the GUI thread
// may take. Headless, the terminal stands in for the editor.
#include <cstdint>
#include <span>

#include "protocol/control_table.h"

namespace orvo {

class Keyset;

// Flags in bits 24-31 of a notification's message.
inline constexpr uint32_t kNotifyMonitor = 0x80;
inline constexpr uint32_t kNotifyLamp = 0x40;
inline constexpr uint32_t kNotifyCreate = 0x20;
inline constexpr uint32_t kNotifySelect = 0x10;
inline constexpr uint32_t kNotifyFromInput = 0x01;
inline constexpr uint8_t kTagHostMode = 0x90;    // handled for another application
inline constexpr uint8_t kTagEditorFocus = 0xF0; // received while the editor had the focus
inline constexpr uint8_t kTagFromInput = 0x81;   // MIDI from an application's port

class EditorNotifier {
 public:
  virtual ~EditorNotifier() = default;
  // True while an editor runs. Any thread.
  virtual bool IsRunning() = 0;
  // A control event; `message` holds the three bytes and the tag in bits 24-31.
  // Send: returns after the editor has handled it (read thread, editor focused).
  virtual void SendControlEvent(const ControlDescriptor* row, uint32_t message) = 0;
  // Post: returns at once.
  virtual void PostControlEvent(const ControlDescriptor* row, uint32_t message) = 0;
  // A short message from `keyset`'s input port, tag kTagFromInput. MIDI threads.
  virtual void PostInputMessage(const Keyset* keyset, uint32_t message) = 0;
  // A long message; the bytes are copied before this returns. `flags`: the header's.
  virtual void PostLongMessage(const Keyset* keyset, std::span<const uint8_t> bytes, uint32_t flags) = 0;
  // The focused application's Keyset changed (focus finder thread). Null when the focus
  // moved within this program: refresh the title and menu for the Keyset already shown.
  virtual void ShowKeyset(const Keyset* keyset) = 0;
};

}  // namespace orvo
