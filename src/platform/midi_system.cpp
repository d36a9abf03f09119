#include "platform/midi_system.h"

#include <cctype>

namespace orvo {
bool SameDeviceName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

MidiResult MidiSystem::OutOpenByName(MidiOutHandle& handle, const std::string& device, const std::string&,
                                     MidiHandler* handler) {
  handle = kNoMidiHandle;
  const uint32_t count = OutDeviceCount();
  for (uint32_t number = 0; number < count; ++number) {
    std::string name;
    if (OutDeviceName(number, name) == kMidiNoError && SameDeviceName(name, device))
      return OutOpen(handle, number, handler);
  }
  return kMidiBadDeviceId;
}

MidiResult MidiSystem::InOpenByName(MidiInHandle& handle, const std::string& device, const std::string&,
                                    MidiHandler* handler) {
  handle = kNoMidiHandle;
  const uint32_t count = InDeviceCount();
  for (uint32_t number = 0; number < count; ++number) {
    std::string name;
    if (InDeviceName(number, name) == kMidiNoError && SameDeviceName(name, device))
      return InOpen(handle, number, handler, true);
  }
  return kMidiBadDeviceId;
}

}  // namespace orvo
