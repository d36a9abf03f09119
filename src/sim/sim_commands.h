#pragma once
// The simulated surface's line language: one command per line.
//   press NAME | release NAME    a button, NAME from the control table ("PLAY", "Mute Chan 3")
//   fader N VALUE                fader 1-32, value 0-127
//   pot P1..P6 cw|ccw            one step of a pot
//   wheel cw|ccw                 one step of the jog wheel
//   foot                         footswitch down and up
//   raw HEX...                   any bytes, e.g. raw BF 03 40
//   sysex F0 ... F7              a system-exclusive message
//   unplug | replug | help | quit
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "protocol/control_table.h"

namespace orvo::sim {

struct Command {
  enum class Kind { kSend, kUnplug, kReplug, kHelp, kQuit, kNothing };
  Kind kind = Kind::kNothing;
  std::vector<uint8_t> bytes;  // what kSend sends
};

// The command of one line, or the reason it is not one. Blank lines and '#' comments
// are kNothing.
std::variant<Command, std::string> ParseCommand(std::string_view line);

// The row a button name stands for: the row's name without regard to case, spaces and
// the word "button" ("PLAY" is "PLAY button"), or nullptr.
const ControlDescriptor* FindControlByName(std::string_view name);

const char* CommandHelp();

}  // namespace orvo::sim
