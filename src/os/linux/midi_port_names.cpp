#include "os/linux/midi_port_names.h"

#include <cctype>

namespace orvo {
namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char ch : text)
    if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
  return true;
}

}  // namespace

std::string StableAlsaPortName(std::string_view listed) {
  // The listing appends " <client number>:<port number>".
  const auto space = listed.rfind(' ');
  if (space != std::string_view::npos) {
    const std::string_view numbers = listed.substr(space + 1);
    const auto colon = numbers.find(':');
    if (colon != std::string_view::npos && AllDigits(numbers.substr(0, colon)) &&
        AllDigits(numbers.substr(colon + 1)))
      return std::string(listed.substr(0, space));
  }
  return std::string(listed);
}

bool IsOwnJackPort(std::string_view fullName, std::string_view clientName) {
  const auto colon = fullName.find(':');
  if (colon == std::string_view::npos || clientName.empty()) return false;
  const std::string_view client = fullName.substr(0, colon);
  if (client == clientName) return true;
  return client.size() > clientName.size() + 1 && client.substr(0, clientName.size()) == clientName &&
         client[clientName.size()] == '-' && AllDigits(client.substr(clientName.size() + 1));
}

bool IsOwnAlsaPort(std::string_view stableName, std::string_view clientName) {
  return !clientName.empty() && stableName.size() > clientName.size() &&
         stableName.substr(0, clientName.size()) == clientName && stableName[clientName.size()] == ':';
}

}  // namespace orvo
