#pragma once
// The MIDI port manager on a real JACK server: a JACK client playing the application, a
// recorded surface and editor, and the main thread's queue run by the test itself.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "harness/jack_test_app.h"
#include "mapping/keyset.h"
#include "midi/midi_ports.h"
#include "os/fake/queued_main_thread.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_editor.h"
#include "os/fake/recording_messages.h"
#include "os/linux/midi.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

struct JackPortsRig {
  // Opens the application client `appName` and the port manager on JACK.
  ::testing::AssertionResult Open(const std::string& appName) {
    app = JackTestApp::Open(appName);
    if (!app) return ::testing::AssertionFailure() << "the JACK client " << appName << " could not open";
    LinuxMidiOptions options;
    options.api = MidiApiChoice::kJack;
    midi = LinuxMidiSystem::Create(options, &messages);
    pool = SysExPool::Create();
    ports = std::make_unique<MidiPorts>(MidiServices{*midi, messages, surface, editor, mainThread, pool.get()});
    return ::testing::AssertionSuccess();
  }

  // Closes every port; every buffer the ports held must be back in the pool.
  void Close() {
    if (!ports) return;
    ports->CloseAllMidiPorts(mapper);
    mainThread.RunPending();
    EXPECT_EQ(pool->Count(), 2000u) << "every buffer is back in the pool";
  }

  // Runs the main thread until `done` or a time-out.
  template <class Done>
  bool RunMainThreadUntil(Done done, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      mainThread.RunPending();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    mainThread.RunPending();
    return true;
  }

  // `sender` sends a controller until the surface has written something new.
  bool SurfaceHearsFrom(JackTestApp& sender) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      const int before = surface.Queued();
      sender.Send({0xB0, 0x01, 0x02});
      if (RunMainThreadUntil([&] { return surface.Queued() > before; }, std::chrono::milliseconds(100))) return true;
    }
    return false;
  }

  RecordingMessages messages;
  RecordingDevice surface;
  RecordingEditor editor;
  QueuedMainThread mainThread;
  std::unique_ptr<JackTestApp> app;
  std::unique_ptr<LinuxMidiSystem> midi;
  std::unique_ptr<SysExPool> pool;
  Mapper mapper;
  std::unique_ptr<MidiPorts> ports;
};

}  // namespace orvo::test
