#pragma once
// Which stored ports the MIDI system does not list just now: a Keyset whose application
// port is absent sends or receives nothing, and the tray and the editor say so. Read from
// the device lists alone, on the thread that lists them (the GUI thread).
#include <string>
#include <vector>

namespace orvo {

class Mapper;
class MidiSystem;

struct AbsentPort {
  std::string keyset;  // the Keyset's name
  std::string port;    // the stored name that is not listed
  bool operator==(const AbsentPort&) const = default;
};

// Every Keyset's stored ports (MidiInPort among the output devices, MidiOutPort among the
// input devices) that are not listed, compared as stored names are.
std::vector<AbsentPort> AbsentPorts(const Mapper& mapper, MidiSystem& midi);

// "port of SYNTH not connected" for one, the names joined for several.
std::string AbsentPortsText(const std::vector<AbsentPort>& absent);

// "no MIDI system: WHY", said once when the MIDI system's reason itself begins with it.
std::string NoMidiSystemLine(const std::string& problem);

}  // namespace orvo
