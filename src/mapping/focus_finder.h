#pragma once
// The focus finder: a thread that looks at the focused window every 500 ms, picks the
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

#include "mapping/editor_notifier.h"
#include "platform/foreground_query.h"
#include "platform/message_service.h"
#include "protocol/device_writer.h"
#include "protocol/protocol_state.h"

namespace orvo {

class Keyset;

// What the focus finder asks of the Keysets; the Mapper answers. Keysets are never
// removed while the program runs, so the pointers stay valid.
class KeysetDirectory {
 public:
  virtual ~KeysetDirectory() = default;
  // The Keyset stored for an application's base name (matched upper-cased), or null.
  virtual Keyset* FindKeyset(const std::string& baseName) = 0;
  virtual Keyset* DefaultKeyset() = 0;
  virtual int32_t DeviceModeOf(const Keyset& keyset) = 0;
  virtual std::string NameOf(const Keyset& keyset) = 0;
};

// The three fields of the focus record.
struct FocusFields {
  uint32_t ProcessId = 0;
  uint32_t ThreadId = 0;  // for this program's own windows: kOwnerEditor, kOwnerMain, kOwnerOther
  Keyset* ActiveKeyset = nullptr;
};

// The focus record as its only writer sees it.
class FocusRecord {
 public:
  virtual ~FocusRecord() = default;
  // The fields without the lock: the focus finder is the only writer.
  virtual FocusFields Peek() const = 0;
  // Takes the record's lock and stores the three fields.
  virtual void Write(const FocusFields& fields) = 0;
};

// Where the current focus record is: null while the surface is disconnected. Holding the
// result keeps the record alive.
class FocusRecordSource {
 public:
  virtual ~FocusRecordSource() = default;
  virtual std::shared_ptr<FocusRecord> CurrentRecord() = 0;
};

inline constexpr std::chrono::milliseconds kFocusPollInterval{500};

// The text shown when the surface refuses the mode of a newly focused application.
std::string ModeFailureText(int32_t mode, const std::string& keysetName);

struct FocusFinderServices {
  ForegroundQuery& Foreground;
  KeysetDirectory& Keysets;
  FocusRecordSource& Records;
  ProtocolState& Protocol;
  DeviceWriter& Device;
  MessageService& Messages;
  EditorNotifier& Editor;
  uint32_t OwnProcessId = 0;
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
  bool noticeGiven_ = false;  // focus finder thread only
  std::thread thread_;
};

}  // namespace orvo
