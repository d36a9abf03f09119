#include "sim/host_output_decoder.h"

#include <algorithm>
#include <cstdio>

#include "protocol/device_modes.h"

namespace orvo::sim {

std::string HexBytes(const uint8_t* bytes, std::size_t count) {
  std::string out;
  char hex[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
    if (i) out += ' ';
    out += hex;
  }
  return out;
}

std::vector<std::string> HostOutputDecoder::Feed(const uint8_t* bytes, std::size_t count) {
  std::vector<std::string> lines;
  for (const std::vector<uint8_t>& message : splitter_.Feed(bytes, count)) Emit(message, lines);
  return lines;
}

void HostOutputDecoder::Emit(const std::vector<uint8_t>& message, std::vector<std::string>& lines) {
  const auto& dark = DarkLampBuffer();
  auto isNextOfBurst = [&](std::size_t index) {
    return message.size() == 3 && std::equal(message.begin(), message.end(), dark.begin() + 3 * index);
  };
  if (!isNextOfBurst(darkRun_)) {
    lines.insert(lines.end(), heldBack_.begin(), heldBack_.end());  // the run broke off
    heldBack_.clear();
    darkRun_ = 0;
    if (!isNextOfBurst(0)) {
      lines.push_back(Describe(message));
      return;
    }
  }
  heldBack_.push_back(Describe(message));
  if (++darkRun_ == kLampMessageCount) {
    lines.push_back("all lamps off");
    heldBack_.clear();
    darkRun_ = 0;
  }
}

std::string HostOutputDecoder::LampNames(uint32_t wireCode) const {
  std::string names;
  for (const ControlDescriptor& row : kControls) {
    if (row.wireCode != wireCode) continue;
    if (!names.empty()) names += " / ";
    names += row.name;
  }
  return names;
}

std::string HostOutputDecoder::Describe(const std::vector<uint8_t>& message) const {
  if (message[0] == 0xF0) {
    if (const int32_t mode = ModeOfMessage(message); mode >= 0) return std::string("mode ") + ModeDisplayName(mode);
    return "sysex " + HexBytes(message.data(), message.size());
  }
  // A run of stray data bytes has no status byte and may have any length.
  if (!IsShortMessage(message)) return "bytes " + HexBytes(message.data(), message.size());
  const uint8_t status = message[0], number = message[1], value = message[2];
  if ((status == 0xBD || status == 0xBE || status == 0xBF) && (value == 0x7F || value == 0x00)) {
    const std::string names = LampNames(uint32_t{status} | (uint32_t{number} << 8));
    if (!names.empty()) return std::string(value ? "lamp on " : "lamp off ") + names;
  }
  return "bytes " + HexBytes(message.data(), message.size());
}

}  // namespace orvo::sim
