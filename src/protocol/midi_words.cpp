#include "protocol/midi_words.h"

#include <algorithm>
#include <cstdio>

namespace orvo {
namespace {

std::string ValueOr(DataByte byte, const char* word) { return byte ? std::to_string(*byte) : std::string(word); }

std::string NoteText(DataByte note) {
  if (!note) return "(value)";
  return NoteName(*note) + " (" + std::to_string(*note) + ")";
}

}  // namespace

const char* MidiKindName(MidiKind kind) {
  switch (kind) {
    case MidiKind::kAsItIs: return "As it is";
    case MidiKind::kNoteOff: return "Note off";
    case MidiKind::kNoteOn: return "Note on";
    case MidiKind::kAftertouch: return "Aftertouch";
    case MidiKind::kControlChange: return "Control change";
    case MidiKind::kProgramChange: return "Program change";
    case MidiKind::kChannelPressure: return "Channel pressure";
    case MidiKind::kPitchBend: return "Pitch bend";
  }
  return "";
}

std::optional<KindAndChannel> SplitStatus(uint8_t status) {
  if (status < 0x80 || status >= 0xF0) return std::nullopt;
  return KindAndChannel{static_cast<MidiKind>(status & 0xF0), (status & 0x0F) + 1};
}

uint8_t StatusOf(MidiKind kind, int channel) {
  if (kind == MidiKind::kAsItIs) return 0;
  return static_cast<uint8_t>(static_cast<uint8_t>(kind) | (std::clamp(channel, 1, 16) - 1));
}

std::string NoteName(int note) {
  static constexpr const char* kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  note = std::clamp(note, 0, 127);
  return std::string(kNames[note % 12]) + std::to_string(note / 12 - 2);
}

bool TakesNote(MidiKind kind) {
  return kind == MidiKind::kNoteOn || kind == MidiKind::kNoteOff || kind == MidiKind::kAftertouch;
}

std::string DescribeMidi(uint8_t status, DataByte data1, DataByte data2) {
  const std::optional<KindAndChannel> split = SplitStatus(status);
  if (!split) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", status);
    return (status >= 0xF0 ? "System " : "data ") + std::string(hex);
  }
  const std::string channel = ", ch " + std::to_string(split->channel);
  std::string words = MidiKindName(split->kind);
  switch (split->kind) {
    case MidiKind::kNoteOn:
    case MidiKind::kNoteOff:
      words += " " + NoteText(data1);
      if (data2) words += " vel " + std::to_string(*data2);
      break;
    case MidiKind::kAftertouch:
      words += " " + NoteText(data1);
      if (data2) words += " = " + std::to_string(*data2);
      break;
    case MidiKind::kControlChange:
      words = "CC " + ValueOr(data1, "(value)");
      if (data2) words += " = " + std::to_string(*data2);
      break;
    case MidiKind::kProgramChange: words += " " + ValueOr(data1, "(value)"); break;
    case MidiKind::kChannelPressure: words += " " + ValueOr(data1, "(value)"); break;
    case MidiKind::kPitchBend:
      // 14 bits, least significant first; the centre is 8192.
      if (data1 && data2) words += " " + std::to_string(*data1 | *data2 << 7);
      else if (data1 && *data1 == 0) words += " (value \u00d7 128)";
      else words += " (value)";
      break;
    case MidiKind::kAsItIs: break;
  }
  return words + channel;
}

std::string DescribeShortMessage(uint32_t message) {
  return DescribeMidi(static_cast<uint8_t>(message), static_cast<uint8_t>((message >> 8) & 0x7F),
                      static_cast<uint8_t>((message >> 16) & 0x7F));
}

}  // namespace orvo
