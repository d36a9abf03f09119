#pragma once
// MIDI on the ALSA sequencer: one sequencer client for the whole program, one port per
// Keyset and direction, subscribed to the device by its stable name ("client:port", without
// the numbers that change from run to run). The input thread only reads events and queues
// whole messages for the service thread; announcements of new ports wake the service
// thread, which subscribes the ports whose devices have appeared. Output is written to the
// sequencer at once from the sending thread; a full sequencer queue drops and counts.
#include <alsa/asoundlib.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "os/linux/own_midi_ports.h"

namespace orvo {

class AlsaMidi : public OwnMidiPorts {
 public:
  // nullptr when the sequencer cannot be opened; `why` then says why.
  static std::unique_ptr<AlsaMidi> Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                        std::size_t queueBytes, RealTimeProbe probe, std::string& why);
  ~AlsaMidi() override;

  const std::string& ClientName() const { return clientName_; }

  std::vector<std::string> ListOutputs() override;
  std::vector<std::string> ListInputs() override;

 protected:
  MidiResult MakePort(OwnMidiPort& port, const std::string& wanted) override;
  void DropPort(OwnMidiPort& port) override;
  void ConnectPorts(const std::vector<OwnMidiPort*>& ports) override;
  MidiResult SendOut(OwnMidiPort& port, const uint8_t* bytes, std::size_t count) override;
  int Maintain() override;  // tells input overruns

 private:
  struct Device {
    std::string name;  // "client:port"
    int client, port;
  };
  AlsaMidi(snd_seq_t* seq, std::string clientName, std::shared_ptr<MidiDrops> drops, std::size_t queueBytes,
           RealTimeProbe probe);
  // Other clients' ports that we can write to (output) or read from; seqMutex_ held.
  std::vector<Device> Devices(bool writable);
  void RunInput();  // the input thread's entry
  // Input thread: one event from the sequencer.
  void OnEvent(const snd_seq_event_t& event);
  // Input thread: a piece of a system-exclusive message for `to`.
  void OnSysExPiece(OwnMidiPort& to, const uint8_t* data, std::size_t length);
  // Input thread: the message being gathered is lost (counted on its port).
  void LoseSysEx();
  OwnMidiPort* InputPort(int alsaPort);

  snd_seq_t* const seq_;
  const std::string clientName_;
  const int clientId_;
  std::mutex seqMutex_;  // the handle, for everything but the input thread's reads
  snd_midi_event_t* encoder_ = nullptr;  // seqMutex_
  snd_midi_event_t* decoder_ = nullptr;  // input thread
  // Input thread: a system-exclusive message in pieces, the port it comes in on, and
  // whether its pieces are gathered or, its start lost or the message too long, skipped
  // up to its end.
  enum class SysEx { kNone, kGathering, kSkipping };
  std::vector<uint8_t> sysex_;
  int sysexPort_ = -1;
  SysEx sysexState_ = SysEx::kNone;
  std::atomic<uint64_t> overruns_{0};  // the sequencer's input queue overflowed, so often
  uint64_t overrunsTold_ = 0;          // service thread
  int stopFd_ = -1;
  std::thread input_;
};

}  // namespace orvo
