#pragma once
// Failure messages as modal boxes on the GUI thread. From another thread the caller waits
// until the user has dismissed the box. Headless, or once the program is closing, the
// text goes to standard error instead. At most one box of a text stands at a time: the
// same failure met again while its box is up returns at once, and the terminal does not
// print a text again right after itself. Once the program ends on a signal, no box holds
// it: those standing are closed and later texts go to standard error.
#include <QPointer>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/gui_thread_calls.h"
#include "app/terminal_messages.h"
#include "platform/message_service.h"

class QMessageBox;

namespace orvo {

class QtMessageService : public MessageService {
 public:
  // `gui` null: headless.
  explicit QtMessageService(GuiThreadCalls* gui) : gui_(gui) {}
  // Any thread.
  void ShowMessage(const std::string& text, MessageIcon icon) override;
  // GUI thread: closes every standing box; from now on texts go to standard error.
  void EndBoxes();

 private:
  void ShowBox(const std::string& text, MessageIcon icon);  // GUI thread
  void Print(const std::string& text);

  GuiThreadCalls* gui_;
  std::mutex mutex_;
  std::set<std::string> standing_;  // texts whose box is up
  TerminalMessages terminal_;  // headless, and once the boxes are ended
  std::atomic<bool> boxesEnded_{false};
  std::vector<QPointer<QMessageBox>> boxes_;  // standing; GUI thread only
};

}  // namespace orvo
