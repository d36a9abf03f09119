#pragma once
// The monitor's lines, built to any length: "BE4C7F: PLAY button" for a control event,
// "903C7F: <-SYNTH" for MIDI from an application, "F0 15 29 01 F7 : 00 <- SYNTH" for a
// long message. Without the line end.
#include <cstdint>
#include <string>

namespace orvo {

// The three bytes of a short message in hexadecimal, status first: "BE4C7F".
std::string MessageBytes(uint32_t message);
// `name` may be null: the empty text.
std::string FormatControlLine(uint32_t message, const char* name);
// `keyset` may be null: "<No App?>".
std::string FormatInputLine(uint32_t message, const char* keyset);
std::string FormatLongMessageLine(const uint8_t* bytes, uint32_t count, uint32_t flags, const char* keyset);

}  // namespace orvo
