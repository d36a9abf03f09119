#pragma once
// Failure messages as modal boxes on the GUI thread. From another thread the caller waits
// until the user has dismissed the box. Headless, the text goes to standard error.
#include "platform/message_service.h"

namespace orvo {

class QtMessageService : public MessageService {
 public:
  explicit QtMessageService(bool headless) : headless_(headless) {}
  // Any thread. Must not be called from another thread while the GUI thread waits for
  // that thread (it would never get to show the box).
  void ShowMessage(const std::string& text, MessageIcon icon) override;

 private:
  const bool headless_;
};

}  // namespace orvo
