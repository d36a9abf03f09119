#include "app/win32/message_boxes.h"

#include <windows.h>

#include "os/windows/wide_text.h"

namespace orvo {
namespace {

// A standing message box of the thread: closed as if its OK button was pressed.
BOOL CALLBACK CloseBox(HWND window, LPARAM) {
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wstring_view(className) == L"#32770") PostMessageW(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kError:
      return MB_ICONERROR;
    case MessageIcon::kWarning:
      return MB_ICONWARNING;
    case MessageIcon::kInformation:
      break;
  }
  return 0;
}

}  // namespace

void MessageBoxes::ShowMessage(const std::string& text, MessageIcon icon) {
  if (ended_) return terminal_.ShowMessage(text, icon);
  {
    std::lock_guard lock(mutex_);
    if (!standing_.emplace(text, GetCurrentThreadId()).second) return;
  }
  MessageBoxW(nullptr, Widened(text).c_str(), L"Orvo", MB_OK | MB_SETFOREGROUND | IconStyle(icon));
  std::lock_guard lock(mutex_);
  standing_.erase(text);
}

void MessageBoxes::EndBoxes() {
  ended_ = true;
  std::lock_guard lock(mutex_);
  for (const auto& [text, thread] : standing_) EnumThreadWindows(thread, &CloseBox, 0);
}

}  // namespace orvo
