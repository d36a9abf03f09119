// How long the read thread waits for the editor per touch while the editor is in front:
// a control event is dispatched from another thread, the editor (on the GUI thread, Qt's
// offscreen platform) prints it in its monitor and selects the control, and the dispatch
// returns. The baseline is the bare hop: the same wait for an empty call on the GUI thread.
//   editor_touch [--touches N] [--faders N]   (faders moved in turn; 1: no selection change)
#include <QApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "app/editor_session.h"
#include "app/gui_thread_calls.h"
#include "editor/monitor_edit.h"
#include "harness/editor_rig.h"
#include "mapping/dispatch.h"
#include "os/fake/recording_key_injector.h"
#include "os/fake/recording_midi_out.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
  double median, p99;
};

Figures Summarise(std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  return {micros[micros.size() / 2], micros[micros.size() * 99 / 100]};
}

// Runs `touch(i)` `count` times on a thread of its own while the GUI thread runs its loop.
template <class Touch>
std::vector<double> TimeFromAnotherThread(int count, Touch touch) {
  std::vector<double> micros;
  micros.reserve(static_cast<std::size_t>(count));
  std::atomic<bool> done{false};
  std::thread reader([&] {
    for (int i = 0; i < count; ++i) {
      const auto start = Clock::now();
      touch(i);
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    done = true;
  });
  while (!done) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  reader.join();
  return micros;
}

}  // namespace

int main(int argc, char** argv) {
  int touches = 5000;
  int faders = 8;
  for (int i = 1; i + 1 < argc; ++i) {
    if (!std::strcmp(argv[i], "--touches")) touches = std::max(100, std::atoi(argv[i + 1]));
    if (!std::strcmp(argv[i], "--faders")) faders = std::clamp(std::atoi(argv[i + 1]), 1, 16);
  }

  using namespace orvo;
  {
  test::EditorRig rig;
  QObject context;
  GuiThreadCalls gui(&context);
  EditorSession session(EditorServices{rig.engine, rig.device, rig.files, rig.messages}, gui, nullptr);
  session.Start();
  RecordingKeyInjector keys;
  test::RecordingMidiOut midi;
  Dispatch dispatch(rig.engine.FocusState, keys, midi, session);
  rig.engine.FocusState.CreateFocusState();
  rig.engine.FocusState.Current()->Write(4242, kOwnerEditor, rig.engine.Mapper.DefaultKeyset());

  // Faders moved in turn: each touch prints a line and, with more than one, selects anew.
  const auto bare = Summarise(TimeFromAnotherThread(touches, [&](int) { gui.CallAndWait([] {}); }));
  const auto editor = Summarise(TimeFromAnotherThread(touches, [&](int i) {
    const ControlDescriptor* fader = rig.Row(1224 + i % faders);
    dispatch.DispatchShortMessage(fader, fader->wireCode | static_cast<uint32_t>(i % 128) << 16);
  }));
  std::printf("touches: %d (monitor lines kept: %d)\n", touches, session.Dialog()->Monitor()->LineCount());
  std::printf("bare hop to the GUI thread: median %.1f us, p99 %.1f us\n", bare.median, bare.p99);
  std::printf("touch handled by the editor: median %.1f us, p99 %.1f us\n", editor.median, editor.p99);
  std::printf("ratio (median): %.2f\n", editor.median / bare.median);
  session.End();
  }
  std::fflush(stdout);
  orvo::test::OffscreenAppSlot().reset();  // before the statics Qt's teardown still needs
  return 0;
}
