#pragma once
// A text field that one thread may change while others read it: every access copies
// under a short lock.
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace orvo {

class SharedText {
 public:
  SharedText() = default;
  explicit SharedText(std::string text) : text_(std::move(text)) {}
  SharedText(const SharedText&) = delete;
  SharedText& operator=(const SharedText&) = delete;

  std::string Get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void Set(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_.assign(text);
  }
  bool Empty() const {
    std::lock_guard lock(mutex_);
    return text_.empty();
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

}  // namespace orvo
