#pragma once
// The user-visible failure messages: a modal box with an OK button. Callable from any
// thread; returns once the user has dismissed the box. Headless, the text goes to
// standard error instead.
#include <string>

namespace orvo {

enum class MessageIcon { kInformation, kWarning, kError };

class MessageService {
 public:
  virtual ~MessageService() = default;
  virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
};

}  // namespace orvo
