#pragma once
// What one control event of the surface does now: by the focus record and the active
// Keyset, the message goes to the Keyset's MIDI output (as it is, or rewritten by the
// control's mapping), the mapping's keystroke is typed into the focused application, and
// the editor is told. While our own editor has the focus, events go to the editor alone.
//
// Runs on the read thread only. One event costs a try of the focus lock, one mapping
// lookup, at most one keystroke call and one MIDI call, and allocates nothing.
#include <array>
#include <atomic>
#include <cstdint>

#include "mapping/dispatch_observer.h"
#include "mapping/focus_state.h"
#include "mapping/keyset.h"
#include "platform/key_injector.h"
#include "platform/midi_system.h"
#include "protocol/dispatch_target.h"
#include "protocol/editor_notifier.h"

namespace orvo {

// The message as the mapping's MapType sends it (bits 24-31 kept as they are).
uint32_t RewriteMessage(uint32_t message, MapType mapType, uint8_t dataA, uint8_t dataB);

class Dispatch : public DispatchTarget {
 public:
  Dispatch(FocusStateHolder& focus, KeyInjector& keys, MidiSystem& midi, EditorNotifier& editor);

  // Who hears what became of each control event; null: nobody. Any thread.
  void SetObserver(DispatchObserver* observer) { observer_.store(observer, std::memory_order_release); }

  // Read thread. Taken, or busy: the focus record was busy, nothing done.
  DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t message) override;
  // Read thread. Taken (sent, or given back to its pool), busy, or refused by the
  // output (unprepared again). Unless taken the buffer is still the caller's.
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override;
  // Read thread. True when the focus record is readable and names no output to send to.
  bool LongMessageGoesNowhere() override;

 private:
  // Where a long message goes now: the active Keyset and its output, none for either when
  // it goes nowhere. False when the focus record was busy.
  bool LongMessageOutput(Keyset*& keyset, MidiOutHandle& out);
  // Types the mapping's key with its modifiers: Ctrl, Alt, Shift down, key down, key up,
  // Shift, Alt, Ctrl up, as far as the modifiers are set.
  void InjectKeystroke(int32_t keyCode, uint32_t keyFlags);
  // Carries out a short message, filling `report` with what was done.
  DispatchResult Handle(const ControlDescriptor* row, uint32_t message, DispatchReport& report);

  FocusStateHolder& focus_;
  KeyInjector& keys_;
  MidiSystem& midi_;
  EditorNotifier& editor_;
  std::atomic<DispatchObserver*> observer_{nullptr};
  // Key-down at 3, key-up at 4, modifier downs at 2, 1, 0 and ups at 5, 6, 7.
  std::array<KeyboardInput, 8> KeystrokeInputs{};
};

}  // namespace orvo
