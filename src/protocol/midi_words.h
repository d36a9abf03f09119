#pragma once
// MIDI as a musician reads it: "CC 74, ch 1", "Note on C3 (60) vel 100, ch 1", "Program
// change 5, ch 1", "Pitch bend 8192, ch 16". Channels count from 1, numbers are decimal
// and notes are named with middle C (60) as C3. Shared by the editor's MIDI Map tab, its
// Keyset table and picture, and the monitor.
#include <cstdint>
#include <optional>
#include <string>

namespace orvo {

// The channel messages by their status nibble; kAsItIs keeps whatever status the message has.
enum class MidiKind : uint8_t {
  kAsItIs = 0,
  kNoteOff = 0x80,
  kNoteOn = 0x90,
  kAftertouch = 0xA0,  // per note
  kControlChange = 0xB0,
  kProgramChange = 0xC0,
  kChannelPressure = 0xD0,
  kPitchBend = 0xE0,
};

// The kinds in the order a list offers them, and each one's name ("Control change").
inline constexpr MidiKind kMidiKinds[] = {MidiKind::kAsItIs,        MidiKind::kNoteOn,          MidiKind::kNoteOff,
                                          MidiKind::kControlChange, MidiKind::kProgramChange,   MidiKind::kPitchBend,
                                          MidiKind::kAftertouch,    MidiKind::kChannelPressure};
const char* MidiKindName(MidiKind kind);

// A status byte split into kind and channel 1-16; nothing for a byte below 0x80 or a
// system message (0xF0 and up), which have no channel.
struct KindAndChannel {
  MidiKind kind;
  int channel;  // 1-16
  bool operator==(const KindAndChannel&) const = default;
};
std::optional<KindAndChannel> SplitStatus(uint8_t status);
// The status byte of `kind` on `channel` (1-16, held to that range); 0 for kAsItIs.
uint8_t StatusOf(MidiKind kind, int channel);

// "C3" for 60, "C#-2" for 0, "G8" for 127.
std::string NoteName(int note);
// Whether the kind's first data byte is a note.
bool TakesNote(MidiKind kind);

// One data byte of a message: a fixed number, or the control's value (nullopt).
using DataByte = std::optional<uint8_t>;

// What a message sends, in words: `status` and the two data bytes, each given or the
// control's value. "CC 74, ch 1" (value last), "Note on C3 (60) vel 127, ch 1", "CC 74 =
// 127, ch 1" (a fixed last byte), "Pitch bend 8192, ch 16"; "System F8" and "data 40"
// for what has no channel.
std::string DescribeMidi(uint8_t status, DataByte data1, DataByte data2);
// A whole short message as it arrived: status in bits 0-7, the data bytes above.
std::string DescribeShortMessage(uint32_t message);

}  // namespace orvo
