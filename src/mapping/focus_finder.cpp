#include "mapping/focus_finder.h"

#include <cstdio>

#include "mapping/keyset.h"
#include "protocol/device_modes.h"

namespace orvo {

std::string ModeFailureText(int32_t mode, const std::string& keysetName) {
  return "Could not set the mode to " + std::to_string(mode) + " for " + keysetName +
         ".\nApp may not work as expected.\nPlease restart the app for better results.";
}

FocusFinder::FocusFinder(FocusFinderServices services) : services_(std::move(services)) {
  toldEveryChange_ = services_.Foreground.ReportChanges([this] { Poke(); });
  thread_ = std::thread([this] { Run(); });
}

FocusFinder::~FocusFinder() { Stop(); }

void FocusFinder::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
    ++resumes_;
  }
  wake_.notify_all();
}

void FocusFinder::Pause() {
  std::unique_lock lock(mutex_);
  paused_ = true;
  wake_.notify_all();
  wake_.wait(lock, [&] { return !polling_; });
}

void FocusFinder::Poke() {
  {
    std::lock_guard lock(mutex_);
    ++pokes_;
  }
  wake_.notify_all();
}

void FocusFinder::Stop() {
  services_.Foreground.ReportChanges({});
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

uint64_t FocusFinder::PollCount() const {
  std::lock_guard lock(mutex_);
  return polls_;
}

bool FocusFinder::WaitForPollsAfter(uint64_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, timeout, [&] { return polls_ > count; });
}

FocusPollResult FocusFinder::PollOnce() {
  FocusPollResult result;
  EngineContext& engine = services_.Engine;
  const std::shared_ptr<FocusState> record = engine.FocusState.Current();
  if (!record) return result;
  result.HadRecord = true;

  ForegroundWindow focused;
  if (services_.Foreground.Available()) focused = services_.Foreground.Foreground();
  const uint32_t processId = focused.found ? focused.processId : 0;
  const uint32_t ownerId = focused.found ? focused.ownerId : kOwnerOther;

  Keyset* chosen = nullptr;
  const std::string baseName = processId != 0 ? services_.Foreground.ProcessBaseName(processId)
                                               : focused.found ? focused.name : std::string();
  if (!baseName.empty()) chosen = engine.Mapper.FindOrCreate(baseName, false);
  if (!chosen) chosen = engine.Mapper.DefaultKeyset();
  if (!chosen) return result;  // nothing loaded yet: nothing to put in force

  const FocusSnapshot recorded = record->Peek();
  const uint32_t ownProcessId = engine.FocusState.OwnProcessId();
  const bool own = processId == ownProcessId;
  // Another process keeps the record when its Keyset is the one in force, unless the
  // record still names this program: then the dispatch would keep sending the events to
  // the editor, so the new process must be recorded.
  const bool unchanged = own ? recorded.ProcessId == ownProcessId && recorded.ThreadId == ownerId
                             : chosen == recorded.ActiveKeyset && recorded.ProcessId != ownProcessId;
  if (unchanged) return result;

  const int32_t mode = chosen->DeviceMode.load();
  if (SelectModeForApplication(engine.Protocol, services_.Device, mode, &chosen->Lamps) != kModeDone) {
    result.Failure = ModeFailureText(mode, chosen->Name);
    return result;
  }
  record->Write(processId, ownerId, chosen);
  result.Changed = true;
  result.ShowKeyset = true;
  result.Shown = own ? nullptr : chosen;  // in our own windows the editor keeps its Keyset
  return result;
}

// Tells the user and the editor what a poll found; never inside the poll, so that a
// pause does not wait for a message box.
void FocusFinder::Deliver(const FocusPollResult& result) {
  if (!result.Failure.empty()) services_.Messages.ShowMessage(result.Failure, MessageIcon::kWarning);
  if (result.ShowKeyset && services_.Editor.IsRunning()) services_.Editor.ShowKeyset(result.Shown);
}

// The focus finder thread.
void FocusFinder::Run() {
  using Clock = std::chrono::steady_clock;
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return stop_ || !paused_; });
    if (stop_) return;
    const uint64_t resumes = resumes_;
    const uint64_t pokes = pokes_;
    polling_ = true;
    lock.unlock();

    const Clock::time_point started = Clock::now();
    const bool available = services_.Foreground.Available();
    if (!available && !noticeGiven_) {
      noticeGiven_ = true;
      const std::string why = services_.Foreground.Why();
      if (services_.Notice) services_.Notice(why);
      else std::fprintf(stderr, "%s\n", why.c_str());
    }
    FocusPollResult result = PollOnce();

    lock.lock();
    polling_ = false;
    if (paused_ || stop_) result.Failure.clear();  // the surface went away meanwhile
    wake_.notify_all();
    lock.unlock();
    Deliver(result);
    lock.lock();
    ++polls_;
    wake_.notify_all();
    if (stop_) return;

    const auto woken = [&] { return stop_ || paused_ || resumes_ != resumes || pokes_ != pokes; };
    if ((!available || toldEveryChange_) && result.HadRecord && result.Failure.empty()) {
      // Without a display the focus never moves: DEFAULT is in force; wait for the next
      // connection instead of polling. Where every change is told, wait for the next.
      wake_.wait(lock, woken);
    } else {
      // A message box held this thread: the next try comes a full interval after it.
      const Clock::time_point next =
          result.Failure.empty() ? started + services_.Interval : Clock::now() + services_.Interval;
      wake_.wait_until(lock, next, woken);
    }
  }
}

}  // namespace orvo
