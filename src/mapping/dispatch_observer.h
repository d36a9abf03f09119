#pragma once
// What dispatch did with one control event, for a program that says so to its user (the
// terminal of a simulated or headless run). Told on the read thread once the event was
// taken: an observer copies the report and returns; it never blocks and never allocates.
#include <cstdint>

#include "protocol/control_table.h"

namespace orvo {

class Keyset;

enum class DispatchOutcome : uint8_t {
  kToEditor,   // our editor had the focus and handled the event
  kOwnWindow,  // another window of this program had the focus: nothing done
  kNoKeyset,   // no Keyset serves the focused application
  kModeOff,    // the Keyset's mode passes nothing on
  kPassedOn,   // Standard or Kelo mode: the message as it is to the Keyset's port
  kLayer,      // Bank or Shift: the surface's layer was switched, nothing else
  kMapped,     // the Keyset maps the control
  kUnmapped,   // Host mode, no mapping for the control: the message as it is
};

struct DispatchReport {
  DispatchOutcome outcome = DispatchOutcome::kNoKeyset;
  const ControlDescriptor* row = nullptr;  // null outside Host mode or for no control
  uint32_t message = 0;                    // as received
  uint32_t sent = 0;                       // as given to the MIDI port
  bool midiSent = false;                   // the Keyset's port took it
  bool typed = false;                      // the mapping's keystroke was typed
  int32_t keyCode = 0;
  uint32_t keyFlags = 0;                   // the mapping's, whether typed or not
  const Keyset* keyset = nullptr;
  uint32_t processId = 0;                  // of the focused application
};

class DispatchObserver {
 public:
  virtual ~DispatchObserver() = default;
  // Read thread.
  virtual void OnDispatched(const DispatchReport& report) = 0;
};

}  // namespace orvo
