#include "protocol/monitor_lines.h"

#include <cstdio>

namespace orvo {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendHex(std::string& out, uint8_t byte) {
  out += kHex[byte >> 4];
  out += kHex[byte & 0xF];
}

constexpr const char* kNoApp = "<No App?>";

}  // namespace

std::string MessageBytes(uint32_t message) {
  std::string out;
  out.reserve(64);
  for (int shift = 0; shift <= 16; shift += 8) AppendHex(out, static_cast<uint8_t>(message >> shift));
  return out;
}

std::string FormatControlLine(uint32_t message, const char* name) {
  return MessageBytes(message) + ": " + (name ? name : "");
}

std::string FormatInputLine(uint32_t message, const char* keyset) {
  return MessageBytes(message) + ": <-" + (keyset ? keyset : kNoApp);
}

std::string FormatLongMessageLine(const uint8_t* bytes, uint32_t count, uint32_t flags, const char* keyset) {
  std::string out;
  out.reserve(count * 3 + 32);
  for (uint32_t i = 0; i < count; ++i) {
    AppendHex(out, bytes[i]);
    out += ' ';
  }
  out += ": ";
  char flagText[12];
  std::snprintf(flagText, sizeof flagText, "%.2X", static_cast<unsigned>(flags));
  out += flagText;
  out += " <- ";
  out += keyset ? keyset : kNoApp;
  return out;
}

}  // namespace orvo
