#include "app/driver_core.h"

#include <cstdio>

#include "app/dispatch_report_printer.h"
#include "app/driver_front_end.h"
#include "app/driver_platform.h"
#include "app/keyset_file_follower.h"
#include "link/read_loop.h"
#include "link/serial_link.h"
#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "mapping/focus_finder.h"
#include "mapping/keyset_file.h"
#include "midi/midi_ports.h"
#include "midi/port_presence.h"
#include "platform/bridge.h"
#include "platform/directory_watch.h"
#include "platform/file_saver.h"
#include "platform/foreground_query.h"
#include "platform/message_service.h"
#include "platform/midi_system.h"
#include "platform/small_file_reader.h"
#include "platform/utf8_path.h"
#include "protocol/message_decoder.h"
#include "protocol/sysex_pool.h"

namespace orvo {
namespace {

// How often the MIDI system's state and the Keysets' ports are looked at again.
constexpr std::chrono::milliseconds kMidiStatePoll{250};

void Say(const std::string& line) {
  std::fprintf(stderr, "orvo: %s\n", line.c_str());
}

}  // namespace

DriverCore::DriverCore(Options options, DriverPlatform& platform, DriverFrontEnd& frontEnd)
    : options_(std::move(options)), platform_(platform), front_(frontEnd) {}

DriverCore::~DriverCore() { Shutdown(); }

bool DriverCore::Start() {
  started_ = true;
  // The settings directory, created on the way; an explicit one is used as it is.
  if (options_.settingsDir.empty()) {
    settingsDirectory_ = platform_.DefaultSettingsDirectory();
  } else {
    settingsDirectory_ = Utf8Path(options_.settingsDir);
    std::error_code ignored;
    std::filesystem::create_directories(settingsDirectory_, ignored);
  }

  // The Keysets.
  engine_ = std::make_unique<EngineContext>(platform_.ProcessId());
  saver_ = platform_.MakeFileSaver();
  fileReader_ = platform_.MakeFileReader();
  files_ = std::make_unique<KeysetFiles>(engine_->Mapper, settingsDirectory_, front_.Messages(), *saver_, *fileReader_);
  files_->SetReport([](const std::string& line) { Say(line); });
  files_->LoadAllKeysets();
  // A signal while a box of the loading stood: end here, as if before the event loop.
  if (quitRequested_ || !StartPlatform()) return false;

  // The long-message pool: a thousand for each of two input ports and the surface's own
  // reserve; the reader needs it from its first message on.
  pool_ = SysExPool::Create(SysExPool::kDefaultCount + SysExPool::kSurfaceReserve, SysExPool::kDefaultDataSize,
                            SysExPool::kSurfaceReserve);

  link_ = std::make_unique<SerialLink>(*bridge_, engine_->Protocol, unitConnection_, *this, front_.Messages());
  link_->SettleOffThread(front_);  // the tray and the editor stay live while a bridge settles
  // A run of messages to the surface dropped, from the feedback writer's thread.
  link_->SetTellDropped([this](const std::string& line) { front_.Post([this, line] { front_.Tell(line); }); });
  EditorNotifier& editor = front_.AttachEditor(*this);
  dispatch_ = std::make_unique<Dispatch>(engine_->FocusState, platform_.Keys(), *midi_, editor);
  if (options_.headless || options_.simulate) StartDispatchReports();
  decoder_ = std::make_unique<MessageDecoder>(engine_->Protocol, pool_.get(), *dispatch_, *link_);
  reader_ = std::make_unique<ReadLoop>(*bridge_, link_->Link(), *decoder_);

  // The read thread, running at once: it waits for a connection.
  try {
    readThread_ = std::thread([this] { reader_->Run(unitConnection_, readStop_); });
  } catch (const std::system_error&) {
    front_.Messages().ShowMessage("Could not create Orvo Read Thread.\nPlease restart the application.",
                                  MessageIcon::kInformation);
    return false;
  }

  // The focus finder thread, paused until a surface connects.
  try {
    FocusFinderServices services{platform_.Foreground(), *engine_, *link_, front_.Messages(), editor,
                                 [](const std::string& line) { Say(line); }};
    focusFinder_ = std::make_unique<FocusFinder>(std::move(services));
  } catch (const std::system_error&) {
    front_.Messages().ShowMessage("Could not create Application Focus Finder Thread.\nPlease restart the application.",
                                  MessageIcon::kInformation);
    return false;
  }

  // The tray icon and the first connection check; then every device change checks again.
  platform_.WatchDevices([this] { front_.Post([this] { CheckConnection(); }); });
  watchingDevices_ = true;
  if (!front_.ShowTrayIcon()) CheckConnection();

  // Every Keyset's MIDI ports.
  ports_ = std::make_unique<MidiPorts>(MidiServices{*midi_, front_.Messages(), *link_, editor, front_, pool_.get()});
  ports_->OpenAllMidiPorts(engine_->Mapper);
  front_.PortsOpen(*this);
  KeysetFollowerServices follow{*files_, *engine_, *ports_, *link_, front_,
                                [this](const std::string& line) {
                                  Say(line);
                                  front_.ShowInMonitor(line);
                                },
                                [this](Keyset* keyset) { front_.KeysetChanged(keyset); }};
  // The MIDI system may start (or stop) after us, and applications come and go with
  // their ports: looked at again and again, so that the state clears by itself.
  front_.Repeat(kMidiStatePoll, [this] { RefreshMidiState(); });
  RefreshMidiState();
  follower_ = std::make_unique<KeysetFileFollower>(std::move(follow), platform_.MakeDirectoryWatch());
  return !quitRequested_;
}

bool DriverCore::StartPlatform() {
  bridge_ = platform_.MakeBridge(options_.devicePath, [this] { front_.Post([this] { CheckConnection(); }); });
  // A run of dropped messages, or the server gone or back, from the MIDI system's thread:
  // handed to the main thread for the terminal (or standard error) and the editor's monitor.
  midi_ = platform_.MakeMidiSystem(options_.midiApi,
                                   [this](const std::string& line) { front_.Post([this, line] { front_.Tell(line); }); });
  const std::string route = platform_.OpenDesktop([](const std::string& line) { Say(line); });
  desktopOpen_ = true;
  if (!route.empty()) Say(route);
  return true;
}

// Every control event prints what became of it, beside the monitor's line.
void DriverCore::StartDispatchReports() {
  ReportContext context{settingsDirectory_, [this] { return platform_.KeysOff(); },
                        [this](uint32_t processId) { return platform_.Foreground().ProcessBaseName(processId); }};
  reports_ = std::make_unique<DispatchReportPrinter>(std::move(context),
                                                     [this](const std::string& line) { front_.ReportDispatch(line); });
  dispatch_->SetObserver(reports_.get());
}

void DriverCore::RefreshMidiState() {
  if (shutDown_ || !midi_ || !engine_) return;
  // Read afresh each time: the MIDI system says why it is not in use for as long as it is not.
  const std::string problem = platform_.MidiProblem(*midi_);
  const std::string absent = problem.empty() ? AbsentPortsText(AbsentPorts(engine_->Mapper, *midi_)) : std::string();
  front_.ShowMidiState(problem, absent);
  const std::string trouble = !problem.empty() ? NoMidiSystemLine(problem) : absent;
  if (trouble != midiTrouble_) {
    Say(trouble.empty() ? std::string("MIDI flows again: every Keyset's ports are there") : trouble);
    midiTrouble_ = trouble;
  }
}

void DriverCore::CheckConnection() {
  if (link_ && !shutDown_) link_->CheckConnection();
}

// LinkHooks, all on the main thread.
void DriverCore::CreateFocusState() { engine_->FocusState.CreateFocusState(); }
void DriverCore::DestroyFocusState() { engine_->FocusState.DestroyFocusState(); }
void DriverCore::ResumeFocusFinder() {
  if (focusFinder_) focusFinder_->Resume();
}
void DriverCore::PauseFocusFinder() {
  if (focusFinder_) focusFinder_->Pause();
}
void DriverCore::RemoveTrayIcon() { front_.RemoveTrayIcon(); }
void DriverCore::ShowConnectionState(ConnectionState state) { front_.ShowConnectionState(state); }
ConnectionState DriverCore::ShownState() const { return front_.ShownState(); }

void DriverCore::StopReadThread() {
  readStop_ = true;
  unitConnection_.Interrupt();
  if (link_) {
    link_->Link().WaitOverlapped.Event.Interrupt();
    link_->Link().ReadOverlapped.Event.Interrupt();
  }
  if (readThread_.joinable()) readThread_.join();
}

// The exit steps. Threads are woken and joined before what they use is freed, and the
// calls that wait for the main thread are released first, since it no longer runs them.
void DriverCore::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  follower_.reset();
  if (started_) front_.ReleaseWaits();
  if (watchingDevices_) platform_.StopWatchingDevices();
  watchingDevices_ = false;
  if (bridge_) platform_.QuietBridge(*bridge_);
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
  if (started_) front_.DetachEditor();
  if (pool_ && pool_->Count() != pool_->Capacity())
    Say(std::to_string(pool_->Capacity() - pool_->Count()) + " long-message buffers were still in use at exit");
  link_.reset();
  midi_.reset();  // after the ports: its threads deliver nothing more
  pool_.reset();
  if (desktopOpen_) platform_.CloseDesktop();
  desktopOpen_ = false;
  bridge_.reset();
  files_.reset();
  engine_.reset();
}

}  // namespace orvo
