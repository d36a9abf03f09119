#include "mapping/dispatch.h"

#include <algorithm>
#include <span>

#include "protocol/protocol_state.h"
#include "protocol/short_message.h"
#include "protocol/sysex_pool.h"

namespace orvo {
namespace {

constexpr uint32_t kLow24 = 0x00FFFFFF;

constexpr uint32_t Tagged(uint32_t message, uint8_t tag) { return (message & kLow24) | (uint32_t{tag} << 24); }

struct Modifier {
  uint32_t bit;
  uint16_t virtualKey;
};
// Nearest the key first: Shift, then Alt, then Ctrl outermost.
constexpr Modifier kModifiers[] = {{kModShift, 0x10}, {kModAlt, 0x12}, {kModCtrl, 0x11}};

// Longest long message copied for the editor; pool buffers hold far less.
constexpr std::size_t kMaxEditorCopy = 256;

}  // namespace

uint32_t RewriteMessage(uint32_t message, MapType mapType, uint8_t dataA, uint8_t dataB) {
  const uint8_t s = StatusOf(message);
  const uint8_t d1 = Data1Of(message);
  const uint8_t d2 = Data2Of(message);
  const uint32_t flags = message & ~kLow24;
  switch (mapType) {
    case MapType::kCustom1StatusData: return flags | PackShortMessage(dataA, dataB, d2);
    case MapType::kCustom1Status: return flags | PackShortMessage(dataA, d1, d2);
    case MapType::kCustom1Data: return flags | PackShortMessage(s, dataB, d2);
    case MapType::kCustom2StatusData: return flags | PackShortMessage(dataA, d2, dataB);
    case MapType::kCustom2Status: return flags | PackShortMessage(dataA, d2, d1);
    case MapType::kCustom2Data: return flags | PackShortMessage(s, d2, dataB);
    default: return message;
  }
}

Dispatch::Dispatch(FocusStateHolder& focus, KeyInjector& keys, MidiSystem& midi, EditorNotifier& editor)
    : focus_(focus), keys_(keys), midi_(midi), editor_(editor) {}

DispatchResult Dispatch::DispatchShortMessage(const ControlDescriptor* row, uint32_t message) {
  DispatchReport report;
  const DispatchResult result = Handle(row, message, report);
  if (result != DispatchResult::kTaken) return result;
  if (DispatchObserver* observer = observer_.load(std::memory_order_acquire)) {
    report.row = row;
    report.message = message;
    observer->OnDispatched(report);
  }
  return result;
}

DispatchResult Dispatch::Handle(const ControlDescriptor* row, uint32_t message, DispatchReport& report) {
  FocusSnapshot now;
  {
    const auto record = focus_.Current();
    if (!record) return DispatchResult::kTaken;  // disconnected: nobody to deliver to
    if (!record->TryRead(now)) return DispatchResult::kBusy;
  }
  report.processId = now.ProcessId;

  if (now.ProcessId == focus_.OwnProcessId()) {
    // Our own windows: only the editor gets events, and it handles them before we go on.
    report.outcome = DispatchOutcome::kOwnWindow;
    if (now.ThreadId == kOwnerEditor && editor_.IsRunning()) {
      editor_.SendControlEvent(row, Tagged(message, kTagEditorFocus));
      report.outcome = DispatchOutcome::kToEditor;
    }
    return DispatchResult::kTaken;
  }
  Keyset* keyset = now.ActiveKeyset;
  report.keyset = keyset;
  if (!keyset) return DispatchResult::kTaken;

  const MidiOutHandle out = keyset->MidiOutHandle.load(std::memory_order_acquire);
  report.sent = message;
  switch (keyset->DeviceMode.load(std::memory_order_relaxed)) {
    case kModeStandard:
    case kModeKelo:
      report.outcome = DispatchOutcome::kPassedOn;
      report.midiSent = out != kNoMidiHandle && midi_.OutShortMessage(out, message) == kMidiNoError;
      return DispatchResult::kTaken;
    case kModeHost:
      break;
    default:
      report.outcome = DispatchOutcome::kModeOff;
      return DispatchResult::kTaken;
  }

  report.outcome = DispatchOutcome::kUnmapped;
  if (!row) return DispatchResult::kTaken;
  const ControlId id = row->id;
  // The surface's layer buttons are handled by the reader; they do nothing else.
  if (id == kBankButton || id == kShiftButton) {
    report.outcome = DispatchOutcome::kLayer;
    return DispatchResult::kTaken;
  }

  const Keyset::MappingReader mappings(*keyset);  // the table stays while this pass uses it
  const ControlMapping* mapping = mappings.Find(id);
  uint32_t sent = message;
  if (mapping) {
    report.outcome = DispatchOutcome::kMapped;
    const uint32_t keyFlags = mapping->KeyFlags.load(std::memory_order_relaxed);
    report.keyFlags = keyFlags;
    report.keyCode = mapping->KeyCode.load(std::memory_order_relaxed);
    // Buttons type once per press; faders, pots and the wheel on every movement.
    if (HasKeystroke(keyFlags) && (IsContinuousControl(id) || Data2Of(message) == 0x7F)) {
      InjectKeystroke(report.keyCode, keyFlags);
      report.typed = true;
    }
    sent = RewriteMessage(message, mapping->MapType.load(std::memory_order_relaxed),
                          mapping->DataA.load(std::memory_order_relaxed),
                          mapping->DataB.load(std::memory_order_relaxed));
  }
  report.sent = sent;
  if (out != kNoMidiHandle) report.midiSent = midi_.OutShortMessage(out, sent) == kMidiNoError;
  if (mapping && editor_.IsRunning())
    editor_.PostControlEvent(row, Tagged(out != kNoMidiHandle ? sent : message, kTagHostMode));
  return DispatchResult::kTaken;
}

bool Dispatch::LongMessageOutput(Keyset*& keyset, MidiOutHandle& out) {
  FocusSnapshot now;
  {
    const auto record = focus_.Current();
    if (record && !record->TryRead(now)) return false;
    if (!record) now.ProcessId = focus_.OwnProcessId();  // disconnected: nobody to deliver to
  }
  // Our own windows, the editor's among them, take no long messages.
  keyset = now.ProcessId == focus_.OwnProcessId() ? nullptr : now.ActiveKeyset;
  out = keyset ? keyset->MidiOutHandle.load(std::memory_order_acquire) : kNoMidiHandle;
  return true;
}

bool Dispatch::LongMessageGoesNowhere() {
  Keyset* keyset = nullptr;
  MidiOutHandle out = kNoMidiHandle;
  return LongMessageOutput(keyset, out) && out == kNoMidiHandle;
}

DispatchResult Dispatch::DispatchLongMessage(MidiHeader* buffer) {
  Keyset* keyset = nullptr;
  MidiOutHandle out = kNoMidiHandle;
  if (!LongMessageOutput(keyset, out)) return DispatchResult::kBusy;
  if (out == kNoMidiHandle) {
    SysExPool::GiveBackToOwner(buffer);
    return DispatchResult::kTaken;
  }

  // Once sent, the buffer belongs to the output, which may give it back to the pool at
  // any moment: the editor gets a copy taken before.
  const bool tellEditor = editor_.IsRunning();
  std::array<uint8_t, kMaxEditorCopy> copy;
  const std::size_t length = tellEditor ? std::min<std::size_t>(buffer->bytesRecorded, copy.size()) : 0;
  const uint32_t headerFlags = buffer->flags;
  if (length) std::copy_n(buffer->data, length, copy.begin());

  if (midi_.OutPrepareHeader(out, buffer) != kMidiNoError || midi_.OutLongMessage(out, buffer) != kMidiNoError) {
    midi_.OutUnprepareHeader(out, buffer);
    return DispatchResult::kRefused;
  }
  if (tellEditor) editor_.PostLongMessage(keyset, std::span<const uint8_t>(copy.data(), length), headerFlags);
  return DispatchResult::kTaken;
}

void Dispatch::InjectKeystroke(int32_t keyCode, uint32_t keyFlags) {
  const auto virtualKey = static_cast<uint16_t>(keyCode);
  const uint16_t scanCode = ScanCodeOf(keyFlags);
  KeystrokeInputs[3] = {virtualKey, scanCode, (keyFlags & kKeyFlagsExtended) ? kKeyEventExtendedKey : 0};
  KeystrokeInputs[4] = {virtualKey, scanCode, kKeyEventKeyUp};
  uint32_t n = 0;
  for (const Modifier& modifier : kModifiers) {
    if (!(keyFlags & modifier.bit)) continue;
    ++n;
    KeystrokeInputs[3 - n] = {modifier.virtualKey, 0, 0};
    KeystrokeInputs[4 + n] = {modifier.virtualKey, 0, kKeyEventKeyUp};
  }
  keys_.SendInput(&KeystrokeInputs[3 - n], 2 * (n + 1));
}

}  // namespace orvo
