#pragma once
// Failure messages as modal boxes on the GUI thread. From another thread the caller waits
// until the user has dismissed the box. Headless, or once the program is closing, the
// text goes to standard error instead.
#include "app/gui_thread_calls.h"
#include "platform/message_service.h"

namespace orvo {

class QtMessageService : public MessageService {
 public:
  // `gui` null: headless.
  explicit QtMessageService(GuiThreadCalls* gui) : gui_(gui) {}
  // Any thread.
  void ShowMessage(const std::string& text, MessageIcon icon) override;

 private:
  GuiThreadCalls* gui_;
};

}  // namespace orvo
