#pragma once
// A three-byte MIDI message packed into 32 bits: status in bits 0-7, first data byte
// in bits 8-15, second data byte (the value) in bits 16-23, flags in bits 24-31.
#include <cstdint>

namespace orvo {

constexpr uint32_t PackShortMessage(uint8_t status, uint8_t data1, uint8_t data2) {
  return uint32_t{status} | (uint32_t{data1} << 8) | (uint32_t{data2} << 16);
}
constexpr uint8_t StatusOf(uint32_t message) { return static_cast<uint8_t>(message & 0xFF); }
constexpr uint8_t Data1Of(uint32_t message) { return static_cast<uint8_t>((message >> 8) & 0xFF); }
constexpr uint8_t Data2Of(uint32_t message) { return static_cast<uint8_t>((message >> 16) & 0xFF); }
constexpr uint8_t FlagsOf(uint32_t message) { return static_cast<uint8_t>(message >> 24); }

}  // namespace orvo
