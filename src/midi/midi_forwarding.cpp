#include "midi/midi_forwarding.h"

#include <span>

namespace orvo {
namespace {

MidiHeader* HeaderOf(std::uintptr_t param) { return reinterpret_cast<MidiHeader*>(param); }

}  // namespace

void InputCompletions::Queue(Keyset& keyset, MidiInHandle from, MidiHeader* buffer) {
  {
    std::lock_guard lock(mutex_);
    items_.push_back(Item{&keyset, from, buffer});
  }
  std::weak_ptr<InputCompletions*> weak = self_;
  services_.MainThread.Post([weak] {
    if (auto self = weak.lock()) (*self)->RunPending();
  });
}

void InputCompletions::RunPending() {
  for (;;) {
    Item item;
    {
      std::lock_guard lock(mutex_);
      if (items_.empty()) return;
      item = items_.front();
      items_.pop_front();
    }
    EditorLongMessageDone(services_.Midi, *item.keyset, item.from, item.buffer);
  }
}

std::size_t InputCompletions::Pending() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

template <>
void KeysetPortHandler<PortSide::kOutput>::OnMidiMessage(std::uintptr_t handle, uint32_t message, std::uintptr_t param1) {
  if (message != kMomDone || !param1) return;
  KeysetPortContext& context = context_;
  MidiHeader* buffer = HeaderOf(param1);
  // The handle of the port that finished the buffer: valid for the whole callback, even
  // while the Keyset is closing that port.
  context.services.Midi.OutUnprepareHeader(handle, buffer);
  SysExPool::GiveBackToOwner(buffer);
}

template <>
void KeysetPortHandler<PortSide::kInput>::OnMidiMessage(std::uintptr_t handle, uint32_t message, std::uintptr_t param1) {
  KeysetPortContext& context = context_;
  MidiServices& services = context.services;
  if (message == kMimData) {
    const auto shortMessage = static_cast<uint32_t>(param1);
    if (services.Editor.IsRunning())
      services.Editor.PostInputMessage(&context.keyset,
                                       (shortMessage & 0xFFFFFF) | (uint32_t{kTagFromInput} << 24));
    // Always three bytes; those beyond a shorter message go as they stand.
    const uint8_t bytes[3] = {static_cast<uint8_t>(shortMessage), static_cast<uint8_t>(shortMessage >> 8),
                              static_cast<uint8_t>(shortMessage >> 16)};
    context.keyset.Lamps.Remember(bytes[0], bytes[1], bytes[2]);
    services.Surface.QueueFeedback(bytes, 3);
    return;
  }
  if (message != kMimLongData || !param1) return;
  MidiHeader* buffer = HeaderOf(param1);
  if (!(buffer->flags & kMidiHeaderDone)) return;
  const uint32_t recorded = buffer->bytesRecorded;
  if (recorded) {
    // Buffers handed back empty by a reset carry nothing for the monitor or the surface.
    if (services.Editor.IsRunning())
      services.Editor.PostLongMessage(&context.keyset, std::span<const uint8_t>(buffer->data, recorded),
                                      buffer->flags);
    context.toSurface.Take(buffer->data, recorded, services.Surface);
  }
  context.completions.Queue(context.keyset, handle, buffer);
}

bool AddInputBuffer(MidiSystem& midi, Keyset& keyset, SysExPool* pool) {
  if (!pool) return false;
  const MidiInHandle port = keyset.MidiInHandle.load(std::memory_order_acquire);
  if (port == kNoMidiHandle) return false;
  MidiHeader* buffer = pool->TakeLeavingReserve();
  if (!buffer) return false;
  if (midi.InPrepareHeader(port, buffer) == kMidiNoError && midi.InAddBuffer(port, buffer) == kMidiNoError)
    return true;
  // Not queued. Unless the port still holds it, it goes back, whether or not the port
  // (maybe closed meanwhile) could unprepare it.
  if (midi.InUnprepareHeader(port, buffer) != kMidiStillPlaying) pool->GiveBack(buffer);
  return false;
}

bool RecycleInputBuffer(MidiSystem& midi, Keyset& keyset, MidiHeader* buffer) {
  const MidiInHandle port = keyset.MidiInHandle.load(std::memory_order_acquire);
  const MidiResult result = port == kNoMidiHandle ? kMidiInvalidHandle : midi.InUnprepareHeader(port, buffer);
  // A port closed meanwhile no longer holds the buffer: it goes back all the same.
  if (result == kMidiStillPlaying) return false;
  SysExPool::GiveBackToOwner(buffer);
  return true;
}

void EditorLongMessageDone(MidiSystem& midi, Keyset& keyset, MidiInHandle from, MidiHeader* buffer) {
  SysExPool* pool = buffer->owner;
  if (keyset.MidiInHandle.load(std::memory_order_acquire) != from) {
    SysExPool::GiveBackToOwner(buffer);  // its port is gone; the current one has its own buffers
    return;
  }
  RecycleInputBuffer(midi, keyset, buffer);
  AddInputBuffer(midi, keyset, pool);
}

}  // namespace orvo
