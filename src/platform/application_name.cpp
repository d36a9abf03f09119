#include "platform/application_name.h"

#include <string_view>

namespace orvo {

std::string BaseNameOfExecutable(const std::string& path) {
  std::string_view name = path;
  constexpr std::string_view kDeleted = " (deleted)";  // the file was replaced while running
  if (name.size() > kDeleted.size() && name.substr(name.size() - kDeleted.size()) == kDeleted)
    name.remove_suffix(kDeleted.size());
  if (const auto slash = name.rfind('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  if (const auto dot = name.find('.'); dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

}  // namespace orvo
