#include "midi/port_presence.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "mapping/keyset.h"
#include "platform/midi_system.h"

namespace orvo {
namespace {

std::vector<std::string> Listed(MidiSystem& midi, bool inputs) {
  std::vector<std::string> names;
  const uint32_t count = inputs ? midi.InDeviceCount() : midi.OutDeviceCount();
  for (uint32_t device = 0; device < count; ++device) {
    std::string name;
    if ((inputs ? midi.InDeviceName(device, name) : midi.OutDeviceName(device, name)) == kMidiNoError)
      names.push_back(std::move(name));
  }
  return names;
}

bool IsListed(const std::vector<std::string>& listed, const std::string& stored) {
  return std::any_of(listed.begin(), listed.end(), [&](const std::string& name) { return SameDeviceName(name, stored); });
}

}  // namespace

std::vector<AbsentPort> AbsentPorts(const Mapper& mapper, MidiSystem& midi) {
  const std::vector<std::string> outputs = Listed(midi, false);
  const std::vector<std::string> inputs = Listed(midi, true);
  std::vector<AbsentPort> absent;
  mapper.ForEachKeyset([&](const std::string&, const Keyset& keyset) {
    // The application receives on MidiInPort, which we open as an output; and back.
    if (const std::string port = keyset.MidiInPort.Get(); !port.empty() && !IsListed(outputs, port))
      absent.push_back({keyset.Name, port});
    if (const std::string port = keyset.MidiOutPort.Get(); !port.empty() && !IsListed(inputs, port))
      absent.push_back({keyset.Name, port});
  });
  std::sort(absent.begin(), absent.end(),
            [](const AbsentPort& a, const AbsentPort& b) { return a.keyset != b.keyset ? a.keyset < b.keyset : a.port < b.port; });
  return absent;
}

std::string AbsentPortsText(const std::vector<AbsentPort>& absent) {
  std::string text;
  for (const AbsentPort& port : absent) {
    if (!text.empty()) text += "; ";
    text += "port of " + port.keyset + " not connected (" + port.port + ")";
  }
  return text;
}

std::string NoMidiSystemLine(const std::string& problem) {
  static constexpr std::string_view kPrefix = "No MIDI system is available: ";
  const bool prefixed = problem.size() >= kPrefix.size() &&
                        std::equal(kPrefix.begin(), kPrefix.end(), problem.begin(), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                        });
  return "no MIDI system: " + (prefixed ? problem.substr(kPrefix.size()) : problem);
}

}  // namespace orvo
