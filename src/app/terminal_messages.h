#pragma once
// Failure messages where no window can show them (headless, or listing the Keysets): the
// text goes to standard error, not twice in a row. Any thread.
#include <mutex>
#include <string>

#include "platform/message_service.h"

namespace orvo {

class TerminalMessages : public MessageService {
 public:
  void ShowMessage(const std::string& text, MessageIcon icon) override;

 private:
  std::mutex mutex_;
  std::string lastPrinted_;
};

}  // namespace orvo
