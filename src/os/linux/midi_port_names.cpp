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
