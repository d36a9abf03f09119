#include "app/terminal_messages.h"

#include <cstdio>

namespace orvo {

void TerminalMessages::ShowMessage(const std::string& text, MessageIcon) {
  {
    std::lock_guard lock(mutex_);
    if (text == lastPrinted_) return;
    lastPrinted_ = text;
  }
  std::fprintf(stderr, "orvo: %s\n", text.c_str());
}

}  // namespace orvo
