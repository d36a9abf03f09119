#include "app/simulated_surface_session.h"

#include <QSocketNotifier>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <variant>

#include "app/simulated_surface_window.h"
#include "app/window_placement.h"
#include "sim/sim_commands.h"
#include "sim/sim_surface.h"

namespace orvo {
namespace {

std::string LinkPathForThisProcess() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string dir = runtime && *runtime == '/' ? runtime : "/tmp";
  return dir + "/orvo-simulated-surface-" + std::to_string(getpid());
}

}  // namespace

SimulatedSurfaceSession::SimulatedSurfaceSession(std::function<void(const std::string&)> say)
    : say_(std::move(say)), linkPath_(LinkPathForThisProcess()),
      surface_(std::make_unique<sim::SimSurface>(linkPath_)) {
  surface_->SetLineCallback([this](const std::string& line) { say_("surface: " + line); });
}

SimulatedSurfaceSession::~SimulatedSurfaceSession() {
  input_.reset();
  window_.reset();
  surface_.reset();
  ::unlink(linkPath_.c_str());
}

bool SimulatedSurfaceSession::Plugged() const { return surface_->Plugged(); }
std::string SimulatedSurfaceSession::Error() const { return surface_->Error(); }
std::string SimulatedSurfaceSession::DevicePath() const { return surface_->DevicePath(); }

void SimulatedSurfaceSession::RunCommand(const std::string& line) {
  const auto parsed = sim::ParseCommand(line);
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    say_("surface: " + *error);
    return;
  }
  const sim::Command& command = std::get<sim::Command>(parsed);
  switch (command.kind) {
    case sim::Command::Kind::kSend:
      if (!surface_->Send(command.bytes)) say_("surface: unplugged; \"replug\" plugs it in again");
      break;
    case sim::Command::Kind::kUnplug:
      say_(surface_->Unplug() ? "surface: unplugged" : "surface: already unplugged");
      break;
    case sim::Command::Kind::kReplug:
      say_(surface_->Replug() ? "surface: plugged in" : "surface: " + surface_->Error());
      break;
    case sim::Command::Kind::kHelp:
      say_(sim::CommandHelp());
      break;
    case sim::Command::Kind::kQuit:
    case sim::Command::Kind::kNothing:
      break;
  }
}

void SimulatedSurfaceSession::ReadStandardInput() {
  input_ = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
  connect(input_.get(), &QSocketNotifier::activated, this, [this] { OnInput(); });
}

void SimulatedSurfaceSession::ShowWindow() {
  const bool first = !window_;
  if (first) {
    window_ = std::make_unique<SimulatedSurfaceWindow>(*surface_);
    // The top right corner, where an editor opened later leaves it.
    const QRect area = AvailableArea(*window_);
    PlaceInside(*window_, area, QPoint(area.right(), area.top()));
  }
  window_->show();
  window_->raise();
  if (first) KeepInsideOnceFramed(*window_, AvailableArea(*window_));
}

void SimulatedSurfaceSession::OnInput() {
  char buffer[512];
  const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return;
  if (n <= 0) {  // standard input ended: the surface stays as it is, once said
    input_->setEnabled(false);
    say_("End of input: this terminal no longer plays the surface. The driver runs on; Ctrl+C ends it.");
    return;
  }
  pending_.append(buffer, static_cast<std::size_t>(n));
  for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
    const std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    RunCommand(line);
  }
}

}  // namespace orvo
