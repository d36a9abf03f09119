#include "sim/sim_commands.h"

#include <cctype>
#include <charconv>
#include <optional>
#include <sstream>

#include "sim/surface_events.h"

namespace orvo::sim {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return out;
}

// "Mute button Chan 3" and "mute chan 3" both become "mutechan3".
std::string NameKey(std::string_view name) {
  std::string key = Lower(name);
  for (std::size_t at; (at = key.find("button")) != std::string::npos;) key.erase(at, 6);
  std::string compact;
  for (char ch : key)
    if (!std::isspace(static_cast<unsigned char>(ch))) compact += ch;
  return compact;
}

bool ParseNumber(const std::string& word, int base, int low, int high, int& value) {
  const char* end = word.data() + word.size();
  const auto result = std::from_chars(word.data(), end, value, base);
  return result.ec == std::errc() && result.ptr == end && value >= low && value <= high;
}

std::variant<Command, std::string> Send(std::vector<uint8_t> bytes) {
  return Command{Command::Kind::kSend, std::move(bytes)};
}

std::variant<Command, std::string> ParseHexBytes(std::istringstream& words, std::vector<uint8_t>& bytes) {
  for (std::string word; words >> word;) {
    int value = 0;
    if (!ParseNumber(word, 16, 0, 0xFF, value)) return "\"" + word + "\" is not a hexadecimal byte";
    bytes.push_back(static_cast<uint8_t>(value));
  }
  if (bytes.empty()) return std::string("no bytes given");
  return Command{Command::Kind::kSend, bytes};
}

// "cw" or "ccw", or nothing.
std::optional<bool> ParseClockwise(const std::string& word) {
  const std::string dir = Lower(word);
  if (dir == "cw") return true;
  if (dir == "ccw") return false;
  return std::nullopt;
}

}  // namespace

const ControlDescriptor* FindControlByName(std::string_view name) {
  const std::string key = NameKey(name);
  if (key.empty()) return nullptr;
  for (const ControlDescriptor& row : kControls)
    if (NameKey(row.name) == key) return &row;
  return nullptr;
}

std::variant<Command, std::string> ParseCommand(std::string_view line) {
  line = line.substr(0, line.find('#'));
  std::istringstream words{std::string(line)};
  std::string verb;
  if (!(words >> verb)) return Command{};
  verb = Lower(verb);

  if (verb == "press" || verb == "release") {
    std::string rest;
    std::getline(words, rest);
    const auto first = rest.find_first_not_of(" \t");
    rest = first == std::string::npos ? std::string() : rest.substr(first);
    const ControlDescriptor* row = FindControlByName(rest);
    if (!row) return "no control is named \"" + rest + "\"";
    return Send(ButtonEvent(*row, verb == "press"));
  }
  if (verb == "fader") {
    std::string n, v;
    int fader = 0, value = 0;
    if (!(words >> n >> v) || !ParseNumber(n, 10, 1, 32, fader) || !ParseNumber(v, 10, 0, 127, value))
      return std::string("usage: fader 1-32 0-127");
    return Send(FaderEvent(fader, value));
  }
  if (verb == "pot") {
    std::string pot, dir;
    int index = 0;
    if (!(words >> pot >> dir) || pot.size() != 2 || std::tolower(static_cast<unsigned char>(pot[0])) != 'p' ||
        !ParseNumber(pot.substr(1), 10, 1, 6, index))
      return std::string("usage: pot P1-P6 cw|ccw");
    const std::optional<bool> clockwise = ParseClockwise(dir);
    if (!clockwise) return std::string("direction must be cw or ccw");
    return Send(PotStepEvent(PotControlNumber(index), *clockwise));
  }
  if (verb == "wheel") {
    std::string dir;
    if (!(words >> dir)) return std::string("usage: wheel cw|ccw");
    const std::optional<bool> clockwise = ParseClockwise(dir);
    if (!clockwise) return std::string("direction must be cw or ccw");
    return Send(WheelStepEvent(*clockwise));
  }
  if (verb == "foot") {
    const ControlDescriptor& row = *LookupControlById(kFootSwitch);
    std::vector<uint8_t> bytes = ButtonEvent(row, true);
    const std::vector<uint8_t> up = ButtonEvent(row, false);
    bytes.insert(bytes.end(), up.begin(), up.end());
    return Send(std::move(bytes));
  }
  if (verb == "raw") {
    std::vector<uint8_t> bytes;
    return ParseHexBytes(words, bytes);
  }
  if (verb == "sysex") {
    std::vector<uint8_t> bytes;
    auto parsed = ParseHexBytes(words, bytes);
    if (std::holds_alternative<std::string>(parsed)) return parsed;
    if (bytes.size() < 2 || bytes.front() != 0xF0 || bytes.back() != 0xF7)
      return std::string("a system-exclusive message starts with F0 and ends with F7");
    return parsed;
  }
  if (verb == "unplug") return Command{Command::Kind::kUnplug, {}};
  if (verb == "replug") return Command{Command::Kind::kReplug, {}};
  if (verb == "help") return Command{Command::Kind::kHelp, {}};
  if (verb == "quit" || verb == "exit") return Command{Command::Kind::kQuit, {}};
  return "unknown command \"" + verb + "\" (try help)";
}

const char* CommandHelp() {
  return "commands:\n"
         "  press NAME | release NAME   a button (PLAY, STOP, Bank, \"Mute Chan 3\", F2, ...)\n"
         "  fader N VALUE               fader 1-32 to 0-127\n"
         "  pot P1..P6 cw|ccw           one pot step\n"
         "  wheel cw|ccw                one jog wheel step\n"
         "  foot                        footswitch down and up\n"
         "  raw HEX...                  any bytes, e.g. raw BF 03 40\n"
         "  sysex F0 ... F7             a system-exclusive message\n"
         "  unplug | replug             pull the cable / plug it back in\n"
         "  help | quit\n";
}

}  // namespace orvo::sim
