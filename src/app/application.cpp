#include "app/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <unistd.h>

#include <cstdio>

#include "app/desktop_routes.h"
#include "app/dispatch_report_printer.h"
#include "app/editor_session.h"
#include "app/gui_thread_calls.h"
#include "app/keyset_file_follower.h"
#include "app/qt_message_service.h"
#include "app/settings_directory.h"
#include "app/simulated_surface_session.h"
#include "app/simulated_surface_window.h"
#include "app/terminal_notifier.h"
#include "app/tray_window.h"
#include "editor/status_line.h"
#include "link/read_loop.h"
#include "link/serial_link.h"
#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "mapping/focus_finder.h"
#include "mapping/keyset_file.h"
#include "midi/midi_ports.h"
#include "midi/port_presence.h"
#include "os/linux/directory_watch.h"
#include "os/linux/file_saver.h"
#include "os/linux/small_file_reader.h"
#include "os/linux/hotplug.h"
#include "os/linux/midi.h"
#include "os/linux/serial.h"
#include "os/x11/window_list.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"

namespace orvo {
namespace {

constexpr const char* kOrganisation = "Quorrel Electronics";

// How often the MIDI system's state and the Keysets' ports are looked at again.
constexpr int kMidiStatePollMs = 250;

void Say(const std::string& line) {
  std::fprintf(stderr, "orvo: %s\n", line.c_str());
}

}  // namespace

Application::Application(Options options) : options_(std::move(options)) {}

Application::~Application() { Shutdown(); }

void Application::Post(std::function<void()> task) {
  if (gui_) gui_->Post(std::move(task));
}

bool Application::Start() {
  QCoreApplication::setOrganizationName(kOrganisation);
  QCoreApplication::setApplicationName("Orvo");
  gui_ = std::make_unique<GuiThreadCalls>(this);
  messages_ = std::make_unique<QtMessageService>(options_.headless ? nullptr : gui_.get());

  // The settings directory, created on the way; an explicit one is used as it is.
  if (options_.settingsDir.empty()) {
    settingsDirectory_ = ChooseSettingsDirectory();
  } else {
    settingsDirectory_ = options_.settingsDir;
    std::error_code ignored;
    std::filesystem::create_directories(settingsDirectory_, ignored);
  }

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

  // The Keysets.
  engine_ = std::make_unique<EngineContext>(static_cast<uint32_t>(getpid()));
  saver_ = std::make_unique<LinuxFileSaver>();
  fileReader_ = std::make_unique<LinuxSmallFileReader>();
  files_ = std::make_unique<KeysetFiles>(engine_->Mapper, settingsDirectory_, *messages_, *saver_, *fileReader_);
  files_->SetReport([](const std::string& line) { Say(line); });
  files_->LoadAllKeysets();
  // A signal while a box of the loading stood: end here, as if before the event loop.
  if (quitRequested_ || !StartPlatform()) return false;

  // The long-message pool: a thousand for each of two input ports and the surface's own
  // reserve; the reader needs it from its first message on.
  pool_ = SysExPool::Create(SysExPool::kDefaultCount + SysExPool::kSurfaceReserve, SysExPool::kDefaultDataSize,
                            SysExPool::kSurfaceReserve);

  link_ = std::make_unique<SerialLink>(*bridge_, engine_->Protocol, unitConnection_, *this, *messages_);
  link_->SettleOffThread(*this);  // the tray and the editor stay live while a bridge settles
  // A run of messages to the surface dropped, from the feedback writer's thread: told like
  // the MIDI drops.
  link_->SetTellDropped([this](const std::string& line) {
    Post([this, line] {
      terminal_ ? terminal_->Say(line) : Say(line);
      if (editor_) editor_->SayInMonitor(line);
    });
  });
  if (!options_.headless) {
    EditorServices services{*engine_, *link_, *files_, *messages_};
    services.midi = midi_.get();
    services.about = [this](QWidget* owner) {
      if (tray_) tray_->ShowAbout(owner);
    };
    services.runningPrograms = [] {
      std::vector<RunningProgram> programs;
      for (const ListedWindow& window : ListProgramWindows())
        programs.push_back({QString::fromStdString(window.title), QString::fromLocal8Bit(window.executable.c_str())});
      return programs;
    };
    services.programName = [this](uint32_t processId) {
      return routes_.foreground ? routes_.foreground->ProcessBaseName(processId) : std::string();
    };
    editor_ = std::make_unique<EditorSession>(std::move(services), *gui_, [this](unsigned long window, const std::string& title, bool shown) {
      routes_.EditorWindow(window, title, shown);
    });
    if (simulation_) editor_->SetCompanion(simulation_->Window());
  }
  EditorNotifier& editor = terminal_ ? static_cast<EditorNotifier&>(*terminal_) : *editor_;
  dispatch_ = std::make_unique<Dispatch>(engine_->FocusState, *routes_.keys, *midi_, editor);
  if (options_.headless || options_.simulate) StartDispatchReports();
  decoder_ = std::make_unique<MessageDecoder>(engine_->Protocol, pool_.get(), *dispatch_, *link_);
  reader_ = std::make_unique<ReadLoop>(*bridge_, link_->Link(), *decoder_);

  // The read thread, running at once: it waits for a connection.
  try {
    readThread_ = std::thread([this] { reader_->Run(unitConnection_, readStop_); });
  } catch (const std::system_error&) {
    messages_->ShowMessage("Could not create Orvo Read Thread.\nPlease restart the application.", MessageIcon::kInformation);
    return false;
  }

  // The focus finder thread, paused until a surface connects.
  try {
    FocusFinderServices services{*routes_.foreground, *engine_, *link_, *messages_, editor, [](const std::string& line) { Say(line); }};
    focusFinder_ = std::make_unique<FocusFinder>(std::move(services));
  } catch (const std::system_error&) {
    messages_->ShowMessage("Could not create Application Focus Finder Thread.\nPlease restart the application.",
                           MessageIcon::kInformation);
    return false;
  }

  // The tray icon and the first connection check; then every device change checks again.
  StartDeviceNotifications();
  if (tray_)
    tray_->CreateTrayWindow();
  else
    CheckConnection();

  // Every Keyset's MIDI ports.
  ports_ = std::make_unique<MidiPorts>(MidiServices{*midi_, *messages_, *link_, editor, *this, pool_.get()});
  ports_->OpenAllMidiPorts(engine_->Mapper);
  if (editor_) editor_->SetMidiPorts(ports_.get());
  if (editor_) files_->SetConflictChoice([this](const Keyset& keyset) { return editor_->AskTakeChangedFile(keyset.Name); });
  KeysetFollowerServices follow{*files_, *engine_, *ports_, *link_, *this,
                                [this](const std::string& line) {
                                  Say(line);
                                  if (editor_) editor_->SayInMonitor(line);
                                },
                                {}};
  if (editor_) follow.Changed = [this](Keyset* keyset) { editor_->ShowKeyset(keyset); };
  // The MIDI system may start (or stop) after us, and applications come and go with
  // their ports: looked at again and again, so that the state clears by itself.
  auto* midiWatch = new QTimer(this);
  connect(midiWatch, &QTimer::timeout, this, [this] { RefreshMidiState(); });
  midiWatch->start(kMidiStatePollMs);
  RefreshMidiState();
  follower_ = std::make_unique<KeysetFileFollower>(std::move(follow), std::make_unique<InotifyDirectoryWatch>());
  if (options_.editor && !quitRequested_) StartEditor();
  return !quitRequested_;
}

bool Application::StartPlatform() {
  TtyBridgeOptions bridgeOptions;
  bridge_ = std::make_unique<TtyBridge>(bridgeOptions);
  bridge_->SetDeviceChangeCallback([this] { Post([this] { CheckConnection(); }); });
  if (options_.simulate) {
    simulation_ = std::make_unique<SimulatedSurfaceSession>([this](const std::string& line) {
      if (terminal_) terminal_->Say(line);
      else std::printf("%s\n", line.c_str()), std::fflush(stdout);
    });
    if (!simulation_->Plugged()) {
      messages_->ShowMessage("The simulated surface could not start: " + simulation_->Error(), MessageIcon::kError);
      return false;
    }
    bridge_->SetDevicePath(simulation_->DevicePath());
    simulation_->ReadStandardInput();
    if (!options_.headless) simulation_->ShowWindow();
    Say("simulated surface on " + simulation_->DevicePath() + "; type \"help\" for its commands");
  } else if (!options_.devicePath.empty()) {
    bridge_->SetDevicePath(options_.devicePath);
  }

  LinuxMidiOptions midiOptions;
  if (!options_.midiApi.empty()) midiOptions.api = *ParseMidiApi(options_.midiApi);
  // A run of dropped messages, from the MIDI system's thread: handed to the main thread
  // for the terminal (or standard error) and the editor's monitor.
  midiOptions.tellDropped = [this](const std::string& line) {
    Post([this, line] {
      terminal_ ? terminal_->Say(line) : Say(line);
      if (editor_) editor_->SayInMonitor(line);
    });
  };
  // The server gone or back, from the MIDI system's thread: told the same way.
  midiOptions.tellState = midiOptions.tellDropped;
  auto midi = LinuxMidiSystem::Create(midiOptions, nullptr);
  linuxMidi_ = midi.get();
  midi_ = std::move(midi);

  routes_ = ChooseDesktopRoutes([](const std::string& line) { Say(line); });
  if (!routes_.startLine.empty()) Say(routes_.startLine);
  return true;
}

// Every control event prints what became of it, beside the monitor's line.
void Application::StartDispatchReports() {
  ReportContext context{settingsDirectory_, routes_.keysOff, [this](uint32_t processId) {
                          return routes_.foreground ? routes_.foreground->ProcessBaseName(processId) : std::string();
                        }};
  reports_ = std::make_unique<DispatchReportPrinter>(std::move(context), [this](const std::string& line) {
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
  });
  dispatch_->SetObserver(reports_.get());
}

void Application::RefreshMidiState() {
  if (shutDown_ || !midi_ || !engine_) return;
  // Read afresh each time: the MIDI system says why it is not in use for as long as it is not.
  const std::string problem = linuxMidi_ ? std::string(linuxMidi_->Problem()) : std::string();
  const std::string absent = problem.empty() ? AbsentPortsText(AbsentPorts(engine_->Mapper, *midi_)) : std::string();
  if (tray_) tray_->ShowMidiState(problem, absent);
  if (editor_) editor_->ShowMidiState(problem, absent);
  const std::string trouble = !problem.empty() ? NoMidiSystemText(problem).toStdString() : absent;
  if (trouble != midiTrouble_) {
    Say(trouble.empty() ? std::string("MIDI flows again: every Keyset's ports are there") : trouble);
    midiTrouble_ = trouble;
  }
}

void Application::StartDeviceNotifications() {
  udev_ = std::make_unique<UdevMonitor>([this] { Post([this] { CheckConnection(); }); });
}

void Application::CheckConnection() {
  if (link_ && !shutDown_) link_->CheckConnection();
}

void Application::Exit() {
  QCoreApplication::exit(0);
}

void Application::ExitOnSignal() {
  quitRequested_ = true;
  if (messages_) messages_->EndBoxes();
  Exit();
}

void Application::StartEditor() {
  if (editor_ && !shutDown_) editor_->Start();
}

// LinkHooks, all on the main thread.
void Application::CreateFocusState() { engine_->FocusState.CreateFocusState(); }
void Application::DestroyFocusState() { engine_->FocusState.DestroyFocusState(); }
void Application::ResumeFocusFinder() {
  if (focusFinder_) focusFinder_->Resume();
}
void Application::PauseFocusFinder() {
  if (focusFinder_) focusFinder_->Pause();
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

void Application::StopReadThread() {
  readStop_ = true;
  unitConnection_.Interrupt();
  if (link_) {
    link_->Link().WaitOverlapped.Event.Interrupt();
    link_->Link().ReadOverlapped.Event.Interrupt();
  }
  if (readThread_.joinable()) readThread_.join();
}

// The exit steps. Threads are woken and joined before what they use is freed, and the
// calls that wait for the GUI thread are released first, since it no longer runs them.
void Application::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // The editor saves every Keyset as it closes: before the ports close and the Keysets go.
  if (editor_) editor_->End();
  follower_.reset();
  if (gui_) gui_->Close();
  udev_.reset();
  if (bridge_) bridge_->SetDeviceChangeCallback({});
  if (focusFinder_) focusFinder_->Stop();
  if (link_) link_->CloseDevice();  // wakes the read thread from any wait on the device
  StopReadThread();
  focusFinder_.reset();
  if (engine_) engine_->FocusState.DestroyFocusState();
  if (ports_ && engine_) ports_->CloseAllMidiPorts(engine_->Mapper);
  ports_.reset();
  reader_.reset();
  decoder_.reset();
  dispatch_.reset();
  reports_.reset();  // after the read thread: prints what is left
  editor_.reset();
  if (pool_ && pool_->Count() != pool_->Capacity())
    Say(std::to_string(pool_->Capacity() - pool_->Count()) + " long-message buffers were still in use at exit");
  link_.reset();
  midi_.reset();  // after the ports: its threads deliver nothing more
  pool_.reset();
  routes_.keys.reset();  // before the focus it routes by
  routes_.foreground.reset();
  simulation_.reset();
  bridge_.reset();
  files_.reset();
  engine_.reset();
  tray_.reset();
}

}  // namespace orvo
