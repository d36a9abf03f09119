#pragma once
// How a mapping rewrites the short message of its control before it goes to the MIDI
// output. A is the mapping's status byte, B its data byte; S, D1, D2 are the message's
// own. Stored in Keyset files as its number; a number outside the rules is kept as it
// is and sends the message unchanged.
#include <cstdint>

namespace orvo {

enum class MapType : uint8_t {
  kNative = 0,              // as it is
  kCustom1 = 1,             // the first custom row with no byte given: as it is
  kCustom2 = 2,             // the second custom row with no byte given: as it is
  kCustom1StatusData = 3,   // (A, B, D2)
  kCustom1Status = 4,       // (A, D1, D2)
  kCustom1Data = 5,         // (S, B, D2)
  kCustom2StatusData = 6,   // (A, D2, B)
  kCustom2Status = 7,       // (A, D2, D1)
  kCustom2Data = 8,         // (S, D2, B)
};

}  // namespace orvo
