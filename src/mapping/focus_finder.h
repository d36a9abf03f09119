#pragma once
// The focus finder: a thread that looks at the focused window every 500 ms (or as soon as
// the platform tells that the focus moved, where it tells every change), picks the
// Keyset of the application that owns it (DEFAULT when it has none), puts the surface into
// that Keyset's mode, records process, owner and Keyset in the focus record for the
// dispatch, and has the editor show the Keyset.
//
// It runs only while the surface is connected: created paused, resumed on connection,
// paused on disconnection, stopped and joined at exit.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "mapping/engine_context.h"
#include "platform/foreground_query.h"
#include "platform/message_service.h"
#include "protocol/device_writer.h"
#include "protocol/editor_notifier.h"

namespace orvo {

class Keyset;

inline constexpr std::chrono::milliseconds kFocusPollInterval{500};

// The text shown when the surface refuses the mode of a newly focused application.
std::string ModeFailureText(int32_t mode, const std::string& keysetName);

struct FocusFinderServices {
  ForegroundQuery& Foreground;
  EngineContext& Engine;  // the Keysets, the focus record and the protocol state
  DeviceWriter& Device;
  MessageService& Messages;
  EditorNotifier& Editor;
  // One-line notices for the terminal (standard error when empty).
  std::function<void(const std::string&)> Notice;
  std::chrono::milliseconds Interval = kFocusPollInterval;
};

// What one poll did.
struct FocusPollResult {
  bool HadRecord = false;   // false: disconnected, nothing looked at
  bool Changed = false;     // the record was rewritten
  std::string Failure;      // the mode switch failed: the text to show
  bool ShowKeyset = false;  // the editor is to show `Shown` (null: refresh what it shows)
  Keyset* Shown = nullptr;
};

class FocusFinder {
 public:
  // Starts the thread, paused.
  explicit FocusFinder(FocusFinderServices services);
  // Stops and joins the thread.
  ~FocusFinder();
  FocusFinder(const FocusFinder&) = delete;
  FocusFinder& operator=(const FocusFinder&) = delete;

  // Main thread, on connection, after the focus record exists: polls at once, then every
  // interval.
  void Resume();
  // Main thread, on disconnection, before the focus record goes: returns once no poll is
  // running, so that none uses the record afterwards. A mode-failure message of a poll
  // cut off by the pause is dropped: the surface has gone.
  void Pause();
  // The focus has moved: polls at once (while resumed). Any thread.
  void Poke();
  // At exit: wakes the thread and joins it. A message box still open holds the join
  // until it is dismissed.
  void Stop();

  // One poll on the calling thread, without the thread's bookkeeping (tests, benchmarks).
  // Must not run while the thread is resumed.
  FocusPollResult PollOnce();

  // Polls the thread has completed, with their messages and editor updates. Any thread.
  uint64_t PollCount() const;
  // Waits until the thread has completed more than `count` polls; false on timeout.
  bool WaitForPollsAfter(uint64_t count, std::chrono::milliseconds timeout) const;

 private:
  void Run();  // the focus finder thread
  void Deliver(const FocusPollResult& result);

  FocusFinderServices services_;
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
  bool paused_ = true;
  bool stop_ = false;
  bool polling_ = false;
  uint64_t resumes_ = 0;
  uint64_t polls_ = 0;
  uint64_t pokes_ = 0;
  bool toldEveryChange_ = false;  // set before the thread starts
  bool noticeGiven_ = false;  // focus finder thread only
  std::thread thread_;
};

}  // namespace orvo
