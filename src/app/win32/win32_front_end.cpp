#include "app/win32/win32_front_end.h"

#include <cstdio>

#include "app/driver_core.h"
#include "app/terminal_notifier.h"
#include "app/win32/win32_tray.h"

namespace orvo {
namespace {

// With the tray, no editor ever runs here: what the engine would tell it goes nowhere.
class NoEditor : public EditorNotifier {
 public:
  bool IsRunning() override { return false; }
  void SendControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostInputMessage(const Keyset*, uint32_t) override {}
  void PostLongMessage(const Keyset*, std::span<const uint8_t>, uint32_t) override {}
  void ShowKeyset(const Keyset*) override {}
};

void Say(const std::string& line) {
  std::fprintf(stderr, "orvo: %s\n", line.c_str());
}

}  // namespace

Win32FrontEnd::Win32FrontEnd(bool headless) : headless_(headless) {
  if (headless_)
    terminal_ = std::make_unique<TerminalNotifier>();
  else
    tray_ = std::make_unique<Win32Tray>([this] { Exit(); });
}

Win32FrontEnd::~Win32FrontEnd() = default;

void Win32FrontEnd::Run() { loop_.Run(); }

void Win32FrontEnd::Exit() { loop_.Quit(); }

void Win32FrontEnd::ExitOnSignal(DriverCore& core) {
  core.RequestQuit();
  boxes_.EndBoxes();
  Exit();
}

void Win32FrontEnd::Post(std::function<void()> task) { loop_.Post(std::move(task)); }

MessageService& Win32FrontEnd::Messages() {
  if (headless_) return terminalMessages_;
  return boxes_;
}

void Win32FrontEnd::Tell(const std::string& line) { terminal_ ? terminal_->Say(line) : Say(line); }

// The printer's thread; headless, in turn with the terminal's other lines.
void Win32FrontEnd::ReportDispatch(const std::string& line) {
  if (terminal_) return terminal_->Say(line);
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void Win32FrontEnd::ShowConnectionState(ConnectionState state) {
  if (tray_) return tray_->ShowConnectionState(state);
  headlessState_ = state;
  if (terminal_) terminal_->Say(state == ConnectionState::kConnected ? "Surface connected" : "Surface disconnected");
}

ConnectionState Win32FrontEnd::ShownState() const { return tray_ ? tray_->ShownState() : headlessState_.load(); }

void Win32FrontEnd::Repeat(std::chrono::milliseconds period, std::function<void()> task) {
  loop_.Repeat(period, std::move(task));
}

EditorNotifier& Win32FrontEnd::AttachEditor(DriverCore&) {
  if (terminal_) return *terminal_;
  noEditor_ = std::make_unique<NoEditor>();
  return *noEditor_;
}

// The core runs the first connection check.
bool Win32FrontEnd::ShowTrayIcon() {
  if (tray_ && !tray_->Show()) Say("the notification area is not there: the icon shows once the taskbar is");
  return false;
}

void Win32FrontEnd::ShowMidiState(const std::string& problem, const std::string& absentPorts) {
  if (tray_) tray_->ShowMidiState(problem, absentPorts);
}

// No thread waits on the main thread here (boxes are shown by the thread that asks), but
// none may stand open while the threads are joined.
void Win32FrontEnd::ReleaseWaits() { boxes_.EndBoxes(); }

}  // namespace orvo
