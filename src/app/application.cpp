#include "app/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

#include "app/editor_session.h"
#include "app/gui_thread_calls.h"
#include "app/qt_message_service.h"
#include "app/simulated_surface_window.h"
#include "app/terminal_notifier.h"
#include "app/tray_window.h"
#include "link/serial_link.h"
#include "mapping/keyset_file.h"
#include "platform/foreground_query.h"

namespace orvo {
namespace {

constexpr const char* kOrganisation = "Quorrel Electronics";

void Say(const std::string& line) {
  std::fprintf(stderr, "orvo: %s\n", line.c_str());
}

}  // namespace

Application::Application(Options options, QtSystem& system) : options_(std::move(options)), system_(system) {}

Application::~Application() { Shutdown(); }

void Application::Post(std::function<void()> task) {
  if (gui_) gui_->Post(std::move(task));
}

MessageService& Application::Messages() { return *messages_; }

bool Application::Start() {
  QCoreApplication::setOrganizationName(kOrganisation);
  QCoreApplication::setApplicationName("Orvo");
  gui_ = std::make_unique<GuiThreadCalls>(this);
  messages_ = std::make_unique<QtMessageService>(options_.headless ? nullptr : gui_.get());

  // The tray window object, or the terminal in its place.
  if (options_.headless) {
    terminal_ = std::make_unique<TerminalNotifier>();
  } else {
    TrayWindow::Commands commands{[this] { StartEditor(); }, [this] { Exit(); }, [this] { CheckConnection(); }};
    if (options_.simulate)
      commands.showSimulatedSurface = [this] {
        if (simulation_) simulation_->ShowWindow();
      };
    tray_ = std::make_unique<TrayWindow>(std::move(commands), QSystemTrayIcon::isSystemTrayAvailable());
  }
  if (options_.simulate && !StartSimulation()) return false;

  Options coreOptions = options_;
  if (simulation_) coreOptions.devicePath = simulation_->DevicePath();
  core_ = std::make_unique<DriverCore>(std::move(coreOptions), system_.Platform(), *this);
  if (quitRequested_) core_->RequestQuit();
  const bool started = core_->Start();
  if (started && options_.editor && !quitRequested_) StartEditor();
  return started && !quitRequested_;
}

bool Application::StartSimulation() {
  simulation_ = system_.MakeSimulation([this](const std::string& line) {
    if (terminal_) terminal_->Say(line);
    else std::printf("%s\n", line.c_str()), std::fflush(stdout);
  });
  if (!simulation_) {
    messages_->ShowMessage("The simulated surface is not available on this system.", MessageIcon::kError);
    return false;
  }
  if (!simulation_->Plugged()) {
    messages_->ShowMessage("The simulated surface could not start: " + simulation_->Error(), MessageIcon::kError);
    return false;
  }
  simulation_->ReadStandardInput();
  if (!options_.headless) simulation_->ShowWindow();
  Say("simulated surface on " + simulation_->DevicePath() + "; type \"help\" for its commands");
  return true;
}

// The link is made: the editor comes next, before the dispatch that tells it the events.
EditorNotifier& Application::AttachEditor(DriverCore& core) {
  if (terminal_) return *terminal_;
  EditorServices services{core.Engine(), core.Link(), core.Files(), *messages_};
  services.midi = core.Midi();
  services.about = [this](QWidget* owner) {
    if (tray_) tray_->ShowAbout(owner);
  };
  services.runningPrograms = [this] { return system_.RunningPrograms(); };
  services.programName = [this](uint32_t processId) {
    return system_.Platform().Foreground().ProcessBaseName(processId);
  };
  editor_ = std::make_unique<EditorSession>(std::move(services), *gui_,
                                            [this](unsigned long window, const std::string& title, bool shown) {
                                              system_.EditorWindow(window, title, shown);
                                            });
  if (simulation_) editor_->SetCompanion(simulation_->Window());
  return *editor_;
}

bool Application::ShowTrayIcon() {
  if (!tray_) return false;
  tray_->CreateTrayWindow();  // runs the first connection check
  return true;
}

void Application::PortsOpen(DriverCore& core) {
  if (!editor_) return;
  editor_->SetMidiPorts(core.Ports());
  core.Files().SetConflictChoice([this](const Keyset& keyset) { return editor_->AskTakeChangedFile(keyset.Name); });
}

void Application::KeysetChanged(Keyset* keyset) {
  if (editor_) editor_->ShowKeyset(keyset);
}

void Application::ShowMidiState(const std::string& problem, const std::string& absentPorts) {
  if (tray_) tray_->ShowMidiState(problem, absentPorts);
  if (editor_) editor_->ShowMidiState(problem, absentPorts);
}

void Application::Repeat(std::chrono::milliseconds period, std::function<void()> task) {
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, std::move(task));
  timer->start(period);
  repeats_.push_back(timer);
}

void Application::Tell(const std::string& line) {
  terminal_ ? terminal_->Say(line) : Say(line);
  ShowInMonitor(line);
}

void Application::ShowInMonitor(const std::string& line) {
  if (editor_) editor_->SayInMonitor(line);
}

// Every control event prints what became of it, beside the monitor's line.
void Application::ReportDispatch(const std::string& line) {
  if (terminal_) {
    terminal_->Say(line);
    return;
  }
  std::printf("%s\n", line.c_str()), std::fflush(stdout);
  // Until an editor is open, the simulated surface's window says it too.
  Post([this, line] {
    SimulatedSurfaceWindow* window = simulation_ ? simulation_->Window() : nullptr;
    if (window && !(editor_ && editor_->IsRunning())) window->ShowDriverLine(QString::fromStdString(line));
  });
}

void Application::Exit() { QCoreApplication::exit(0); }

void Application::ExitOnSignal() {
  quitRequested_ = true;
  if (core_) core_->RequestQuit();
  if (messages_) messages_->EndBoxes();
  Exit();
}

void Application::StartEditor() {
  if (editor_ && !shutDown_) editor_->Start();
}

void Application::RemoveTrayIcon() {
  if (tray_) tray_->RemoveTrayIcon();
}

void Application::ShowConnectionState(ConnectionState state) {
  if (editor_) editor_->ShowConnection(state == ConnectionState::kConnected);
  if (SimulatedSurfaceWindow* window = simulation_ ? simulation_->Window() : nullptr)
    window->ShowConnection(state == ConnectionState::kConnected);
  if (tray_) {
    tray_->ShowConnectionState(state);
    return;
  }
  headlessState_ = state;
  if (terminal_)
    terminal_->Say(state == ConnectionState::kConnected ? "Surface connected" : "Surface disconnected");
}

ConnectionState Application::ShownState() const { return tray_ ? tray_->ShownState() : headlessState_.load(); }

// The calls that wait for the GUI thread are released before the threads are joined,
// since it no longer runs them.
void Application::ReleaseWaits() {
  if (gui_) gui_->Close();
}

void Application::DetachEditor() { editor_.reset(); }

// The exit steps: the editor saves every Keyset as it closes, before the ports close and
// the Keysets go; then the wiring comes down.
void Application::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (editor_) editor_->End();
  if (core_) core_->Shutdown();
  if (gui_) gui_->Close();
  for (QObject* timer : repeats_) delete timer;
  repeats_.clear();
  editor_.reset();
  core_.reset();
  simulation_.reset();
  tray_.reset();
}

}  // namespace orvo
