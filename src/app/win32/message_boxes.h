#pragma once
// Failure messages as Windows message boxes, shown by the thread that meets the failure
// (a box has a message loop of its own, so no thread waits on another). At most one box
// of a text stands at a time: the same failure met again while its box is up returns at
// once. Once the program ends, no box holds it: those standing are closed and later
// texts go to standard error.
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "app/terminal_messages.h"
#include "platform/message_service.h"

namespace orvo {

class MessageBoxes : public MessageService {
 public:
  // Any thread; returns once the box is dismissed.
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  // Any thread: closes every standing box; from now on texts go to standard error.
  void EndBoxes();

 private:
  TerminalMessages terminal_;
  std::atomic<bool> ended_{false};
  std::mutex mutex_;
  std::map<std::string, unsigned long> standing_;  // text -> the thread whose box shows it
};

}  // namespace orvo
