#pragma once
// Turns what the host sends to the surface into readable lines: mode messages by name,
// lamps on and off by control name, everything else in hexadecimal.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/control_table.h"

namespace orvo::sim {

class HostOutputDecoder {
 public:
  explicit HostOutputDecoder(const ControlTable& table) : table_(table) {}
  // Takes the next bytes in any split; returns the lines of the messages they complete.
  std::vector<std::string> Feed(const uint8_t* bytes, std::size_t count);

 private:
  std::string Describe(const std::vector<uint8_t>& message) const;
  std::string LampNames(uint32_t wireCode) const;

  const ControlTable& table_;
  std::vector<uint8_t> pending_;
};

std::string HexBytes(const uint8_t* bytes, std::size_t count);

}  // namespace orvo::sim
