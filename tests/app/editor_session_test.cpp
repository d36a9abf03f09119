// The editor session: one editor at a time, saving when it ends, its windows reported as
// the editor's, and the engine's notifications carried from other threads onto the GUI
// thread, a touch on the surface selecting and lighting the control in the editor.
#include "app/editor_session.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <set>
#include <thread>

#include "app/gui_thread_calls.h"
#include "editor/key_map_panel.h"
#include "editor/monitor_edit.h"
#include "harness/editor_rig.h"
#include "mapping/dispatch.h"
#include "os/fake/recording_key_injector.h"
#include "os/fake/recording_midi_out.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;

struct SessionRig : test::EditorRig {
  SessionRig() : test::EditorRig({"SYNTH"}) {}
  EditorServices Services() { return EditorServices{engine, device, files, messages}; }

  QObject context;
  GuiThreadCalls gui{&context};
  std::set<unsigned long> windows;
  EditorSession session{Services(), gui, [this](unsigned long window, bool shown) {
                          if (shown)
                            windows.insert(window);
                          else
                            windows.erase(window);
                        }};
};

// Runs the GUI thread's events until `done` or a few seconds have passed.
template <class F>
bool SpinUntil(F done) {
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (!done() && std::chrono::steady_clock::now() < until)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  return done();
}

TEST(EditorSession, StartsOneEditorAndItsEndSavesEveryKeyset) {
  SessionRig rig;
  EXPECT_FALSE(rig.session.IsRunning());
  rig.session.Start();
  EditorDialog* first = rig.session.Dialog();
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(rig.session.IsRunning());
  EXPECT_TRUE(rig.windows.count(first->winId()));
  rig.session.Start();  // brings the running one to the front
  EXPECT_EQ(rig.session.Dialog(), first);

  rig.session.End();
  EXPECT_FALSE(rig.session.IsRunning());
  EXPECT_EQ(rig.session.Dialog(), nullptr);
  EXPECT_TRUE(rig.windows.empty());
  EXPECT_TRUE(rig.dir.Exists("DEFAULT.orvo"));
  EXPECT_TRUE(rig.dir.Exists("SYNTH.orvo"));

  rig.session.Start();  // a new editor after the first has gone
  EXPECT_TRUE(rig.session.IsRunning());
  EXPECT_NE(rig.session.Dialog(), nullptr);
}

TEST(EditorSession, ClosingTheWindowEndsTheSession) {
  SessionRig rig;
  rig.session.Start();
  rig.session.Dialog()->close();
  EXPECT_FALSE(rig.session.IsRunning());
  EXPECT_TRUE(SpinUntil([&] { return rig.session.Dialog() == nullptr; }));
  EXPECT_TRUE(rig.dir.Exists("DEFAULT.orvo"));
}

TEST(EditorSession, EventsQueuedBeforeTheEditorClosedChangeNothingAfterItsSave) {
  SessionRig rig;
  rig.session.Start();
  std::thread readThread([&] { rig.session.PostControlEvent(rig.Row(1000), 0xF07F00BD); });
  readThread.join();
  rig.session.Dialog()->close();  // saves, before the queued event runs
  QCoreApplication::processEvents();
  EXPECT_EQ(rig.device.Writes(), 0);
  EXPECT_EQ(rig.engine.Mapper.DefaultKeyset()->LookupMapping(1000), nullptr);
}

TEST(EditorSession, NotificationsWithoutAnEditorGoNowhere) {
  SessionRig rig;
  std::thread other([&] {
    rig.session.SendControlEvent(rig.Row(1204), 0xF07F4CBE);  // must not wait for anything
    rig.session.PostInputMessage(nullptr, 0x817F3C90);
  });
  other.join();
  QCoreApplication::processEvents();
  rig.session.Start();
  QCoreApplication::processEvents();
  EXPECT_TRUE(rig.session.Dialog()->Monitor()->toPlainText().isEmpty());
}

// The read thread delivers a touch while the editor has the focus: it waits until the
// editor has selected the control, lit its lamp and printed it.
TEST(EditorSession, TouchOnTheSurfaceSelectsLightsAndPrintsInTheEditor) {
  SessionRig rig;
  rig.session.Start();
  RecordingKeyInjector keys;
  test::RecordingMidiOut midi;
  Dispatch dispatch(rig.engine.FocusState, keys, midi, rig.session);
  rig.engine.FocusState.CreateFocusState();
  rig.engine.FocusState.Current()->Write(4242, kOwnerEditor, rig.engine.Mapper.DefaultKeyset());

  std::atomic<bool> sent{false};
  std::thread readThread([&] {
    const ControlDescriptor* mute1 = rig.Row(1000);
    dispatch.DispatchShortMessage(mute1, 0x7F00BD);
    sent = true;
  });
  ASSERT_TRUE(SpinUntil([&] { return sent.load(); }));
  readThread.join();

  EditorDialog& dialog = *rig.session.Dialog();
  ASSERT_NE(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(dialog.SelectedControl()->id, 1000);
  EXPECT_EQ(dialog.KeyMap()->SelectedName(), "Mute button Chan 1");
  EXPECT_EQ(dialog.Monitor()->toPlainText(), "BD007F: Mute button Chan 1\n");
  EXPECT_EQ(rig.device.Written(), (std::vector<uint8_t>{0xBD, 0x00, 0x7F}));
  EXPECT_NE(rig.engine.Mapper.DefaultKeyset()->LookupMapping(1000), nullptr);
  EXPECT_TRUE(keys.Calls().empty());
}

TEST(EditorSession, PostedNotificationsArriveInOrderWithTheirOwnCopyOfTheBytes) {
  SessionRig rig;
  rig.session.Start();
  const Keyset* synth = rig.engine.Mapper.Lookup("SYNTH");
  std::thread midiThread([&] {
    rig.session.PostInputMessage(synth, 0x817F3C90);
    std::vector<uint8_t> buffer{0xF0, 0x01, 0xF7};
    rig.session.PostLongMessage(synth, buffer, 0x3);
    buffer.assign({0xF0, 0x7E, 0xF7});  // the buffer is reused at once
    rig.session.ShowKeyset(synth);
  });
  midiThread.join();
  EditorDialog& dialog = *rig.session.Dialog();
  ASSERT_TRUE(SpinUntil([&] { return dialog.ShownKeyset() == synth; }));
  EXPECT_EQ(dialog.Monitor()->toPlainText(), "903C7F: <-SYNTH\nF0 01 F7 : 03 <- SYNTH\n");
}

// A Keyset file changed under unsaved edits: the user's answer decides; without an editor
// the file's version is taken and nothing goes to a monitor.
TEST(EditorSession, AsksWhichVersionOfAChangedFileToKeep) {
  SessionRig rig;
  EXPECT_TRUE(rig.session.AskTakeChangedFile("SYNTH"));
  rig.session.Start();
  for (const char* answer : {"Keep mine", "Take the file's version"}) {
    QTimer::singleShot(0, [answer] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      EXPECT_TRUE(box->text().contains("SYNTH"));
      for (QAbstractButton* button : box->buttons())
        if (button->text() == answer) button->click();
    });
    EXPECT_EQ(rig.session.AskTakeChangedFile("SYNTH"), answer != std::string("Keep mine")) << answer;
  }
  rig.session.SayInMonitor("SYNTH.orvo was removed");
  EXPECT_TRUE(rig.session.Dialog()->Monitor()->toPlainText().contains("SYNTH.orvo was removed"));
  rig.session.End();
}

}  // namespace
}  // namespace orvo
