#pragma once
// The link to the surface: finds and opens the bridge by its USB description, configures
// the line, owns the open handle with its overlapped records, writes to the surface, and
// turns the arrival and removal of the device into the program's connection state.
//
// While connected, only the description the link connected with can report the device
// gone: an unrelated description that is absent says nothing about our device. A second
// bridge that opens while connected is closed again at once.
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/device_link.h"
#include "link/feedback_writer.h"
#include "link/link_hooks.h"
#include "platform/bridge.h"
#include "platform/main_thread_poster.h"
#include "platform/manual_reset_event.h"
#include "platform/message_service.h"
#include "protocol/device_writer.h"
#include "protocol/protocol_state.h"

namespace orvo {

// The USB descriptions the bridge answers to, tried in this order.
inline constexpr std::array<const char*, 3> kBridgeDescriptions{"USB <-> Serial", "Orvo Tablan",
                                                                "Quorrel Orvo Tablan"};

// Results of ConfigureLink.
inline constexpr int kLinkConfigured = 0;
inline constexpr int kLinkEventMaskFailed = 2;

class SerialLink : public DeviceWriter {
 public:
  // How long a freshly reset bridge is given to settle before the line is set up.
  static constexpr std::chrono::milliseconds kDefaultSettleDelay{1000};

  // `unitConnection` is signalled exactly while a device is connected.
  SerialLink(Bridge& bridge, ProtocolState& state, ManualResetEvent& unitConnection, LinkHooks& hooks,
             MessageService& messages, std::chrono::milliseconds settleDelay = kDefaultSettleDelay);
  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  ~SerialLink() override;

  // From now on the settle wait after a reset runs on a thread of its own, and the
  // connection is completed in a task posted to `mainThread`, so that the main thread is
  // never blocked for it. A check asked for meanwhile runs once the connection is done.
  // Main thread, before the first check.
  void SettleOffThread(MainThreadPoster& mainThread);

  // Connects a device that has appeared, or notices that the connected one has gone.
  // Main thread: at start-up and on every device-change notification.
  void CheckConnection();
  // Sets time-outs, resets, waits for the bridge to settle, sets the line and the event
  // mask. kLinkConfigured, or kLinkEventMaskFailed after telling the user and closing `h`.
  // Main thread.
  int ConfigureLink(BridgeHandle h);
  // Purges and closes the device, if open, and wakes every thread waiting on it; a device
  // still settling is closed too. At exit, main thread.
  void CloseDevice();

  // DeviceWriter: the one path by which anything reaches the surface (the feedback
  // writer's messages, the Bank and Shift echo, a mode message and its lamp burst, the
  // editor's writes). Any thread; one message at a time, written whole or not at all: a
  // message the line takes none of within the write time-out is dropped; one it has
  // begun to take is finished before the next writer goes on, unless the line then
  // stalls for kStallLimit writes in a row, when the transmit side is purged so that no
  // half message goes out. A writer blocked when the device goes returns false.
  bool WriteDevice(const uint8_t* bytes, uint32_t count) override;
  static constexpr int kStallLimit = 10;
  // Queued for the feedback writer, which writes it as above at the line's pace; dropped
  // at once while no device is open, and dropped from the queue when the device goes.
  void QueueFeedback(const uint8_t* bytes, uint32_t count) override;
  void DropFeedback() override { feedback_.CountDropped(); }
  // When the line will have sent everything written so far (or now, if it has).
  std::chrono::steady_clock::time_point LineFreeAt() const;
  FeedbackWriter::Counts FeedbackTotals() const { return feedback_.Totals(); }
  // Where runs of dropped feedback are told (see FeedbackWriter). Before the first device.
  void SetTellDropped(std::function<void(const std::string&)> tell) { feedback_.SetTellDropped(std::move(tell)); }

  DeviceLink& Link() { return link_; }
  Bridge& BridgeLibrary() { return bridge_; }

 private:
  void Connect(BridgeHandle h, int description);
  // ConfigureLink in two halves around the settle wait.
  void StartConfiguring(BridgeHandle h);
  int FinishConfiguring(BridgeHandle h);
  void Connected(BridgeHandle h, int description);
  void FinishSettling(BridgeHandle h, int description);  // main thread
  void StopSettling();
  void Disconnect();
  void WakeWaiters();
  // One bridge write of `count` bytes; false when it failed or the link changed. `moved`
  // is what the line took, maybe short after the write time-out.
  bool WriteOnce(BridgeHandle h, const uint8_t* bytes, uint32_t count, uint32_t& moved);
  // `count` bytes were handed to the line: it is busy that much longer.
  void NoteSent(uint32_t count);

  Bridge& bridge_;
  ProtocolState& state_;
  ManualResetEvent& unitConnection_;
  LinkHooks& hooks_;
  MessageService& messages_;
  const std::chrono::milliseconds settleDelay_;

  DeviceLink link_;
  int connectedDescription_ = -1;  // main thread only

  // Settling off the main thread: the handle waiting (main thread only), the waiter.
  MainThreadPoster* mainThread_ = nullptr;
  BridgeHandle settling_ = kInvalidBridgeHandle;
  bool checkAfterSettling_ = false;
  ManualResetEvent stopSettling_;
  std::thread settler_;
  // Posted tasks find the link through this, and do nothing once it is gone.
  std::shared_ptr<SerialLink*> self_ = std::make_shared<SerialLink*>(this);
  std::mutex writeMutex_;          // one message at a time on the one write record
  std::atomic<std::chrono::steady_clock::rep> lineFreeAt_{0};  // steady clock ticks
  // Last: its thread writes through the members above until it is joined.
  FeedbackWriter feedback_{*this};
};

}  // namespace orvo
