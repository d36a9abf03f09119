#include "os/linux/usb_discovery.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orvo {
namespace fs = std::filesystem;

namespace {
// A USB device sits a few levels above its tty; this bounds the walk in a broken tree.
constexpr int kMaxAncestors = 16;

std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::string value;
  std::getline(in, value);
  while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
  return value;
}
}  // namespace

std::optional<std::string> UsbProductOfTty(const std::string& sysfsRoot, const std::string& name) {
  std::error_code ec;
  const fs::path root = fs::canonical(sysfsRoot, ec);
  if (ec) return std::nullopt;
  fs::path dir = fs::canonical(fs::path(sysfsRoot) / "class" / "tty" / name / "device", ec);
  if (ec) return std::nullopt;  // a virtual tty: no device behind it
  for (int depth = 0; depth < kMaxAncestors; ++depth) {
    if (fs::is_regular_file(dir / "product", ec)) return ReadAttribute(dir / "product");
    if (dir == root || !dir.has_parent_path() || dir.parent_path() == dir) break;
    dir = dir.parent_path();
    // Never leave the sysfs tree.
    if (std::mismatch(root.begin(), root.end(), dir.begin(), dir.end()).first != root.end()) break;
  }
  return std::nullopt;
}

std::vector<TtyCandidate> FindTtysByUsbProduct(const std::string& sysfsRoot, const std::string& devRoot,
                                               std::string_view product) {
  std::vector<TtyCandidate> found;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(fs::path(sysfsRoot) / "class" / "tty", ec)) {
    const std::string name = entry.path().filename().string();
    const auto productOfTty = UsbProductOfTty(sysfsRoot, name);
    if (productOfTty && *productOfTty == product)
      found.push_back({name, (fs::path(devRoot) / name).string()});
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return found;
}

}  // namespace orvo
