#pragma once
// Opens and closes each Keyset's two MIDI ports, by device number or by device name, and
// reports every failure as one line: the Keyset's name, the operation and the reason.
// Ports are opened and closed on the main thread (start-up, the settings dialog, exit);
// the handles are atomics that dispatch and the handlers read on their own threads, and
// a handle is withdrawn before its port is closed, so nobody starts on a closing port.
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "midi/midi_forwarding.h"

namespace orvo {

// Appends the text for a MIDI system result code to `text`.
void AppendMidiErrorText(MidiResult code, std::string& text);

class MidiPorts {
 public:
  explicit MidiPorts(MidiServices services);
  // Every port must have been closed before (CloseAllMidiPorts).
  ~MidiPorts();
  MidiPorts(const MidiPorts&) = delete;
  MidiPorts& operator=(const MidiPorts&) = delete;

  // Keyset's output port (the application's MidiInPort), by device number or name.
  bool OpenMidiOut(Keyset& keyset, uint32_t device);
  bool OpenMidiOutByName(Keyset& keyset, const std::string& name);
  bool CloseMidiOut(Keyset& keyset);
  // Keyset's input port (the application's MidiOutPort): queues up to
  // kInputBuffersPerPort pool buffers and starts it.
  bool OpenMidiIn(Keyset& keyset, uint32_t device);
  bool OpenMidiInByName(Keyset& keyset, const std::string& name);
  bool CloseMidiIn(Keyset& keyset);

  // Start-up: every Keyset's input, then output, by its stored names. Failures show their
  // messages and the rest go on. Returns true.
  bool OpenAllMidiPorts(const Mapper& mapper);
  // Exit: every Keyset's input, then output. When it returns, every buffer the ports held
  // is back in the pool. Returns true.
  bool CloseAllMidiPorts(const Mapper& mapper);

  // Finished input buffers not yet re-queued by the main thread.
  InputCompletions& Completions() { return completions_; }

 private:
  enum class Operation { kOpenOut, kOpenIn, kCloseOut, kCloseIn };
  // Opens a port with the handler given; a result code.
  using OpenCall = std::function<MidiResult(std::uintptr_t& handle, MidiHandler* handler)>;
  // An open by name whose device is not there: no message.
  static constexpr MidiResult kNotThere = ~MidiResult{0};
  bool OpenOut(Keyset& keyset, const OpenCall& open);
  // Queues the input buffers and starts the port once it is open.
  bool OpenIn(Keyset& keyset, const OpenCall& open);
  void Report(const Keyset& keyset, Operation operation, const std::string& reason);
  void ReportCode(const Keyset& keyset, Operation operation, MidiResult code);
  // The handlers' instance data for `keyset`, made on first use; nullptr without memory.
  KeysetPortContext* ContextOf(Keyset& keyset);

  MidiServices services_;
  InputCompletions completions_;
  std::mutex contextsMutex_;
  std::map<const Keyset*, std::unique_ptr<KeysetPortContext>> contexts_;
};

}  // namespace orvo
