#pragma once
// MIDI on JACK (also PipeWire's JACK library): one client for the whole program, one port
// per Keyset and direction. Its process callback only moves whole messages between the
// ports' queues and JACK's buffers: what an output's queue holds goes out as far as each
// period's buffer allows and the rest in the next periods; what an input hears is queued
// for the service thread. Port registrations wake the service thread, which connects the
// ports whose devices have appeared (never from inside a JACK callback).
#include <jack/jack.h>

#include <memory>
#include <string>
#include <vector>

#include "os/linux/own_midi_ports.h"

namespace orvo {

class JackMidi : public OwnMidiPorts {
 public:
  // nullptr when no JACK server answers; `problem` then says why.
  static std::unique_ptr<JackMidi> Open(const std::string& clientName, std::shared_ptr<MidiDrops> drops,
                                        std::size_t queueBytes, RealTimeProbe probe);
  ~JackMidi() override;

  // The client's name as the server granted it.
  const std::string& ClientName() const { return clientName_; }

  std::vector<std::string> ListOutputs() override;
  std::vector<std::string> ListInputs() override;

 protected:
  MidiResult MakePort(OwnMidiPort& port, const std::string& wanted) override;
  void DropPort(OwnMidiPort& port) override;
  void ConnectPorts(const std::vector<OwnMidiPort*>& ports) override;

 private:
  JackMidi(jack_client_t* client, const std::string& baseName, std::shared_ptr<MidiDrops> drops,
           std::size_t queueBytes, RealTimeProbe probe);
  // JACK's process thread.
  static int OnProcess(jack_nframes_t frames, void* self);
  // JACK's notification thread: only wakes the service thread.
  static void OnPortRegistration(jack_port_id_t port, int registered, void* self);
  void Process(jack_nframes_t frames);
  static std::size_t CostOf(std::size_t size);
  // Other clients' MIDI ports with any of `flags`, ours left out.
  std::vector<std::string> OthersPorts(unsigned long flags);

  jack_client_t* const client_;
  const std::string baseName_;  // what we asked for: the base of our own clients' names
  std::string clientName_;
  std::size_t budget_ = 0;  // what one port writes into one period, at most
};

}  // namespace orvo
