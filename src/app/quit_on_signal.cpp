#include "app/quit_on_signal.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace orvo {
namespace {

// A closed terminal (SIGHUP) ends the program as orderly as Ctrl+C or a kill.
constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};

int gPipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char byte = 1;
  (void)!::write(gPipe[1], &byte, 1);  // async-signal-safe; a full pipe means one is pending
}

}  // namespace

QuitOnSignal::QuitOnSignal(std::function<void()> quit) : quit_(std::move(quit)) {
  if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(gPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (quit_) quit_();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kQuitSignals) ::sigaction(signal, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal() {
  for (const int signal : kQuitSignals) ::signal(signal, SIG_DFL);
  notifier_.reset();
  for (int& fd : gPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

}  // namespace orvo
