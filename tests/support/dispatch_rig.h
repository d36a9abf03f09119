#pragma once
// A dispatch wired to recording sinks, an engine context whose focus record names another
// application with the Keyset SEQUENCER (Host mode, MIDI output handle kOutHandle), and a
// pool of long-message buffers.
#include <memory>
#include <string>

#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_key_injector.h"
#include "os/fake/recording_midi_out.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

inline constexpr uint32_t kOwnProcess = 4242;
inline constexpr uint32_t kOtherProcess = 777;
inline constexpr MidiOutHandle kOutHandle = 7;

struct DispatchRig {
  DispatchRig() : context(kOwnProcess), pool(SysExPool::Create(8)), dispatch(context.FocusState, keys, midi, editor) {
    keyset = context.Mapper.FindOrCreate("sequencer", true);
    keyset->MidiOutHandle = kOutHandle;
    context.FocusState.CreateFocusState();
    FocusOn(keyset);
  }

  void FocusOn(Keyset* active, uint32_t processId = kOtherProcess, uint32_t owner = kOwnerOther) {
    context.FocusState.Current()->Write(processId, owner, active);
  }
  void FocusOwnWindow(uint32_t owner) { FocusOn(nullptr, kOwnProcess, owner); }

  // A mapping for `id` in the active Keyset with the given key (kNoKey: none) and rule.
  ControlMapping* Map(ControlId id, int32_t keyCode, uint32_t keyFlags, MapType mapType = MapType::kNative, uint8_t dataA = 0,
                      uint8_t dataB = 0) {
    auto mapping = std::make_unique<ControlMapping>(*Row(id));
    mapping->KeyCode = keyCode;
    mapping->KeyFlags = keyFlags;
    mapping->MapType = mapType;
    mapping->DataA = dataA;
    mapping->DataB = dataB;
    return keyset->SetMapping(std::move(mapping));
  }
  const ControlDescriptor* Row(ControlId id) const { return LookupControlById(id); }

  // A pool buffer holding `bytes`, as the reader hands it over.
  MidiHeader* LongMessage(std::initializer_list<uint8_t> bytes) {
    MidiHeader* buffer = pool->Take();
    std::copy(bytes.begin(), bytes.end(), buffer->data);
    buffer->bufferLength = buffer->bytesRecorded = static_cast<uint32_t>(bytes.size());
    return buffer;
  }

  EngineContext context;
  std::unique_ptr<SysExPool> pool;
  RecordingKeyInjector keys;
  RecordingMidiOut midi;
  RecordingEditor editor;
  Dispatch dispatch;
  Keyset* keyset = nullptr;
};

}  // namespace orvo::test
