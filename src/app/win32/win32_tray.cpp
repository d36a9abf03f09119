#include "app/win32/win32_tray.h"

#include "app/win32/tray_icon_pictures.h"
#include "midi/port_presence.h"
#include "os/windows/wide_text.h"

namespace orvo {
namespace {

constexpr wchar_t kWindowClass[] = L"OrvoTray";
constexpr UINT kIconMessage = WM_APP + 2;
constexpr UINT kIconId = 1;
enum Command : UINT { kStartEditor = 1, kAbout, kExit };

// The Qt About box's text.
constexpr wchar_t kAboutText[] =
    L"Orvo Version 1.0\n\n"
    L"Driver and key/MIDI map editor for the Orvo Tablan control surface.\n"
    L"Keys and MIDI for the application in front, lamps lit by its MIDI.";

}  // namespace

Win32Tray::Win32Tray(std::function<void()> exit) : exit_(std::move(exit)) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &Win32Tray::Procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kWindowClass;
  RegisterClassW(&windowClass);
  // A hidden top-level window: "TaskbarCreated" is broadcast, and broadcasts reach no
  // message-only window.
  window_ = CreateWindowExW(0, kWindowClass, L"Orvo", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window_) SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  const int size = GetSystemMetrics(SM_CXSMICON) > 0 ? GetSystemMetrics(SM_CXSMICON) : 16;
  connectedIcon_ = MakeTrayIcon(true, size);
  disconnectedIcon_ = MakeTrayIcon(false, size);
}

Win32Tray::~Win32Tray() {
  Remove();
  if (window_) DestroyWindow(window_);
  if (connectedIcon_) DestroyIcon(connectedIcon_);
  if (disconnectedIcon_) DestroyIcon(disconnectedIcon_);
}

bool Win32Tray::Show() {
  if (!window_) return false;
  wanted_ = true;
  Update(NIM_ADD);
  return shown_;
}

void Win32Tray::Remove() {
  wanted_ = false;
  if (!shown_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
  shown_ = false;
}

void Win32Tray::ShowConnectionState(ConnectionState state) {
  state_ = state;
  if (shown_) Update(NIM_MODIFY);
}

void Win32Tray::ShowMidiState(const std::string& midiProblem, const std::string& absentPorts) {
  const std::string problem = midiProblem.empty() ? std::string() : NoMidiSystemLine(midiProblem);
  if (problem == midiProblem_ && absentPorts == absentPorts_) return;
  midiProblem_ = problem;
  absentPorts_ = absentPorts;
  if (shown_) Update(NIM_MODIFY);
}

void Win32Tray::Update(DWORD how) {
  const bool connected = state_.load() == ConnectionState::kConnected;
  // As the Qt tray's tip: the connection first, then what keeps MIDI from flowing.
  std::string tip = connected ? "Orvo" : "Orvo Disconnected\nsurface not connected";
  if (!midiProblem_.empty())
    tip += "\n" + midiProblem_;
  else if (connected && !absentPorts_.empty())
    tip += "\n" + absentPorts_;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kIconMessage;
  data.hIcon = connected ? connectedIcon_ : disconnectedIcon_;
  const std::wstring wide = Widened(tip);
  wcsncpy(data.szTip, wide.c_str(), sizeof data.szTip / sizeof data.szTip[0] - 1);
  if (Shell_NotifyIconW(how, &data)) shown_ = true;
}

void Win32Tray::ShowMenu() {
  const HMENU menu = CreatePopupMenu();
  if (!menu) return;
  AppendMenuW(menu, MF_STRING | MF_GRAYED, kStartEditor, L"&Start Editor (needs the Qt build)");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kAbout, L"&About");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kExit, L"&Exit");
  POINT at{};
  GetCursorPos(&at);
  // In front, so that the menu closes when the user clicks elsewhere.
  SetForegroundWindow(window_);
  const UINT chosen = static_cast<UINT>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, window_, nullptr));
  PostMessageW(window_, WM_NULL, 0, 0);
  DestroyMenu(menu);
  if (chosen == kAbout) ShowAbout();
  if (chosen == kExit && exit_) exit_();
}

// A second request brings the open box to the front.
void Win32Tray::ShowAbout() {
  if (aboutOpen_) {
    if (const HWND box = FindWindowW(L"#32770", L"About Orvo")) SetForegroundWindow(box);
    return;
  }
  aboutOpen_ = true;
  MessageBoxW(nullptr, kAboutText, L"About Orvo", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
  aboutOpen_ = false;
}

LRESULT CALLBACK Win32Tray::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32Tray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && message == kIconMessage) {
    const UINT event = LOWORD(lParam);
    if (event == WM_LBUTTONUP || event == WM_RBUTTONUP || event == WM_CONTEXTMENU) self->ShowMenu();
    return 0;
  }
  if (self && message == self->taskbarCreated_ && self->taskbarCreated_ != 0) {
    // The taskbar is made (again, when Explorer restarted): the old icon went with the
    // old taskbar, or none could be shown before.
    if (self->wanted_) {
      self->shown_ = false;
      self->Update(NIM_ADD);
    }
    return 0;
  }
  // Asked to close (taskkill without /F): ended as "&Exit" ends it.
  if (self && message == WM_CLOSE) {
    if (self->exit_) self->exit_();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orvo
