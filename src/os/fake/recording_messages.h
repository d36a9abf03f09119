#pragma once
// A MessageService that records every message instead of showing it.
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_service.h"

namespace orvo {

class RecordingMessages : public MessageService {
 public:
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
    icons_.push_back(icon);
  }
  std::vector<std::string> Texts() const {
    std::lock_guard lock(mutex_);
    return texts_;
  }
  std::vector<MessageIcon> Icons() const {
    std::lock_guard lock(mutex_);
    return icons_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    texts_.clear();
    icons_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> texts_;
  std::vector<MessageIcon> icons_;
};

}  // namespace orvo
