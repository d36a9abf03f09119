#pragma once
// The top-level windows of the editor (its main window and its dialogs), so that the
// focus finder tells them apart from the program's other windows. The GUI thread adds
// and removes them as they come and go; the focus finder thread asks. A window is known
// by its id where the windowing system shares ids with other clients (X11), and by its
// title where it does not (Wayland).
#include <mutex>
#include <string>
#include <unordered_map>

namespace orvo {

class EditorWindowSet {
 public:
  // Adds the window, or gives a known one its new title.
  void Add(unsigned long window, const std::string& title = {}) {
    std::lock_guard lock(mutex_);
    windows_[window] = title;
  }
  void Remove(unsigned long window) {
    std::lock_guard lock(mutex_);
    windows_.erase(window);
  }
  bool Contains(unsigned long window) const {
    std::lock_guard lock(mutex_);
    return windows_.count(window) != 0;
  }
  bool ContainsTitle(const std::string& title) const {
    if (title.empty()) return false;
    std::lock_guard lock(mutex_);
    for (const auto& [window, shown] : windows_)
      if (shown == title) return true;
    return false;
  }

 private:
  mutable std::mutex mutex_;
  std::unordered_map<unsigned long, std::string> windows_;
};

}  // namespace orvo
