#pragma once
// Turns what the host sends to the surface into readable lines: mode messages by name,
// lamps on and off by control name, everything else in hexadecimal. The burst that
// darkens every lamp on entering Host mode reads as one line, "all lamps off".
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/control_table.h"
#include "sim/host_message_splitter.h"

namespace orvo::sim {

class HostOutputDecoder {
 public:
  // Takes the next bytes in any split; returns the lines of the messages they complete.
  std::vector<std::string> Feed(const uint8_t* bytes, std::size_t count);

 private:
  std::string Describe(const std::vector<uint8_t>& message) const;
  // Holds back the lines of a dark-lamp burst until it is whole, or lets them out when
  // the run breaks off.
  void Emit(const std::vector<uint8_t>& message, std::vector<std::string>& lines);
  std::string LampNames(uint32_t wireCode) const;

  HostMessageSplitter splitter_;
  std::size_t darkRun_ = 0;  // messages of the dark-lamp burst seen in a row
  std::vector<std::string> heldBack_;
};

std::string HexBytes(const uint8_t* bytes, std::size_t count);

}  // namespace orvo::sim
