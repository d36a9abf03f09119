#include "platform/file_saver.h"

#include <system_error>

namespace orvo {

std::filesystem::path SaveTarget(const std::filesystem::path& path) {
  namespace fs = std::filesystem;
  fs::path target = path;
  for (int hops = 0; hops < 40; ++hops) {  // a loop of links ends somewhere
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(target, ec))) break;
    const fs::path next = fs::read_symlink(target, ec);
    if (ec) break;
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

}  // namespace orvo
