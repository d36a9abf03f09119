#pragma once
// What the MIDI ports of a Keyset do while they are open: the output's handler gives
// finished long-message buffers back to their pool; the input's handler forwards whatever
// the application sends to the surface and to the editor's monitor, and hands every
// finished input buffer to the main thread, which re-queues one buffer for it.
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "mapping/keyset.h"
#include "midi/long_message_assembly.h"
#include "platform/main_thread_poster.h"
#include "platform/message_service.h"
#include "platform/midi_system.h"
#include "protocol/device_writer.h"
#include "protocol/editor_notifier.h"
#include "protocol/sysex_pool.h"

namespace orvo {

// Empty buffers each input port keeps queued for long messages from its application.
inline constexpr int kInputBuffersPerPort = 1000;

// What the MIDI ports work with; everything outlives the ports.
struct MidiServices {
  MidiSystem& Midi;
  MessageService& Messages;
  DeviceWriter& Surface;  // what applications send is queued on it, never waited for
  EditorNotifier& Editor;
  MainThreadPoster& MainThread;
  SysExPool* Pool = nullptr;  // absent when it could not be made
};

// Finished input buffers on their way from the MIDI thread to the main thread. A buffer
// waits here, not inside a posted task, so that closing a port can finish the job at once
// and no task ever holds a buffer of a pool that is gone.
class InputCompletions {
 public:
  explicit InputCompletions(MidiServices& services) : services_(services) {}
  // MIDI thread: `buffer` came back from the input port `from` of `keyset`.
  void Queue(Keyset& keyset, MidiInHandle from, MidiHeader* buffer);
  // Main thread: runs EditorLongMessageDone for every buffer queued so far.
  void RunPending();
  std::size_t Pending() const;

 private:
  struct Item {
    Keyset* keyset;
    MidiInHandle from;
    MidiHeader* buffer;
  };
  MidiServices& services_;
  mutable std::mutex mutex_;
  std::deque<Item> items_;
  // Posted tasks find the queue through this, and do nothing once it is gone.
  std::shared_ptr<InputCompletions*> self_ = std::make_shared<InputCompletions*>(this);
};

struct KeysetPortContext;

enum class PortSide { kOutput, kInput };

// A Keyset's port handler; runs on the MIDI system's thread.
//   output: on kMomDone the buffer goes back to the pool named in its header; nothing
//           else is looked at.
//   input:  short messages go to the surface as three bytes, and those that write a lamp
//           are remembered in the Keyset's LampMemory; finished buffers go to the
//           surface (a system-exclusive message whole, once its last buffer is in), then
//           to the main thread.
template <PortSide side>
class KeysetPortHandler : public MidiHandler {
 public:
  explicit KeysetPortHandler(KeysetPortContext& context) : context_(context) {}
  void OnMidiMessage(std::uintptr_t handle, uint32_t message, std::uintptr_t param1) override;

 private:
  KeysetPortContext& context_;
};
template <>
void KeysetPortHandler<PortSide::kOutput>::OnMidiMessage(std::uintptr_t, uint32_t, std::uintptr_t);
template <>
void KeysetPortHandler<PortSide::kInput>::OnMidiMessage(std::uintptr_t, uint32_t, std::uintptr_t);

// Both port handlers of one Keyset and what they work with; lives as long as the port
// manager.
struct KeysetPortContext {
  KeysetPortContext(MidiServices& portServices, InputCompletions& portCompletions, Keyset& portKeyset)
      : services(portServices), completions(portCompletions), keyset(portKeyset) {}
  MidiServices& services;
  InputCompletions& completions;
  Keyset& keyset;
  KeysetPortHandler<PortSide::kOutput> output{*this};
  KeysetPortHandler<PortSide::kInput> input{*this};
  LongMessageAssembly toSurface;  // the input handler's
};

// Takes one buffer from `pool`, never from its reserve, and queues it on the Keyset's
// input port. False when only the reserve is left, there is no input port, or the port
// refused it (the buffer goes back).
bool AddInputBuffer(MidiSystem& midi, Keyset& keyset, SysExPool* pool);
// Unprepares a finished buffer on the Keyset's input port and gives it back to its pool.
// False when the port still holds it (it is then not given back).
bool RecycleInputBuffer(MidiSystem& midi, Keyset& keyset, MidiHeader* buffer);
// Main thread: a buffer that the input port `from` finished. While that port is still the
// Keyset's input, the buffer is recycled and another queued in its place; when the port
// was closed (or closed and reopened) meanwhile, the buffer goes straight back to its
// pool and no handle is used.
void EditorLongMessageDone(MidiSystem& midi, Keyset& keyset, MidiInHandle from, MidiHeader* buffer);

}  // namespace orvo
