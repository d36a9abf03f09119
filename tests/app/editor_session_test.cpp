// The editor session: one editor at a time, saving when it ends, its windows reported as
// the editor's, and the engine's notifications carried from other threads onto the GUI
// thread, a touch on the surface selecting and lighting the control in the editor.
#include "app/editor_session.h"

#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QMessageBox>
#include <atomic>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <set>
#include <thread>
#include <xcb/xcb.h>

#include "app/gui_thread_calls.h"
#include "app/qt_message_service.h"
#include "editor/editor_messages.h"
#include "editor/key_map_panel.h"
#include "editor/surface_picture.h"
#include "editor/monitor_edit.h"
#include "harness/editor_rig.h"
#include "mapping/dispatch.h"
#include "os/fake/recording_key_injector.h"
#include "os/fake/recording_midi_out.h"
#include "support/case_names.h"
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
  EditorSession session{Services(), gui, [this](unsigned long window, const std::string&, bool shown) {
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

struct DestroyCase {
  const char* what;
  const char* eventType;
  uint8_t responseType;
  bool editorsWindow;
  bool forgotten;
};

class EditorSessionDestroyed : public ::testing::TestWithParam<DestroyCase> {};

// The window manager destroys a window (as "xdotool windowclose" does): Qt still takes
// the editor for shown, so the session must let it go and open a new one next time.
TEST_P(EditorSessionDestroyed, TheDestroyedEditorIsForgottenAndANewOneOpens) {
  const DestroyCase& c = GetParam();
  SessionRig rig;
  rig.session.Start();
  EditorDialog* first = rig.session.Dialog();
  xcb_destroy_notify_event_t event{};
  event.response_type = c.responseType;
  event.window = c.editorsWindow ? static_cast<xcb_window_t>(first->winId()) : 0x4711;
  qintptr result = 0;
  QAbstractEventDispatcher::instance()->filterNativeEvent(c.eventType, &event, &result);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_EQ(rig.session.Dialog() == nullptr, c.forgotten);
  EXPECT_EQ(rig.session.IsRunning(), !c.forgotten);
  EXPECT_EQ(rig.dir.Exists("DEFAULT.orvo"), c.forgotten) << "forgetting it saves as closing does";

  rig.session.Start();
  ASSERT_NE(rig.session.Dialog(), nullptr);
  EXPECT_TRUE(rig.session.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorSessionDestroyed,
    ::testing::Values(DestroyCase{"editor destroyed", "xcb_generic_event_t", XCB_DESTROY_NOTIFY, true, true},
                      DestroyCase{"sent by the server", "xcb_generic_event_t", XCB_DESTROY_NOTIFY | 0x80, true, true},
                      DestroyCase{"another window destroyed", "xcb_generic_event_t", XCB_DESTROY_NOTIFY, false, false},
                      DestroyCase{"editor only unmapped", "xcb_generic_event_t", XCB_UNMAP_NOTIFY, true, false},
                      DestroyCase{"another platform", "windows_generic_MSG", XCB_DESTROY_NOTIFY, true, false}),
    test::NameFromWhat{});

// The editor opens with the connection as it is: unplugged, a click says so.
TEST(EditorSession, TheEditorKnowsTheConnectionFromItsStart) {
  SessionRig rig;
  rig.session.ShowConnection(false);
  rig.session.Start();
  EditorDialog& dialog = *rig.session.Dialog();
  emit dialog.Picture()->controlClicked(1064);
  EXPECT_EQ(dialog.Monitor()->toPlainText().toStdString(), std::string(kNotConnectedNote) + "\n");
  rig.session.ShowConnection(true);
  emit dialog.Picture()->controlClicked(1064);
  ASSERT_NE(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(dialog.SelectedControl()->id, 1064);
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
  EXPECT_EQ(dialog.Monitor()->toPlainText(), "BD007F: Mute button Chan 1   [surface \u2192 host] CC 0 = 127, ch 14\n");
  EXPECT_EQ(rig.device.Written(), (std::vector<uint8_t>{0xBD, 0x00, 0x7F}));
  EXPECT_EQ(rig.engine.Mapper.DefaultKeyset()->LookupMapping(1000), nullptr) << "a touch maps nothing";
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
  EXPECT_EQ(dialog.Monitor()->toPlainText(),
            "903C7F: <-SYNTH   [host \u2192 surface] Note on C3 (60) vel 127, ch 1\n"
            "F0 01 F7 : 03 <- SYNTH   [host \u2192 surface] system exclusive, 3 bytes\n");
}

// The same failure met again while its box stands (a fast replug meeting the same fault
// again) returns at once instead of stacking a second box.
TEST(QtMessageService, OneBoxOfATextStandsAtATime) {
  test::OffscreenApp();
  QObject context;
  GuiThreadCalls gui(&context);
  QtMessageService messages(&gui);
  const std::string text = "Could not set comm mask. Restart the app.\nError=5";
  std::atomic<bool> firstDone{false};
  std::thread first([&] {
    messages.ShowMessage(text, MessageIcon::kError);
    firstDone = true;
  });
  int boxes = -1;
  std::atomic<bool> secondDone{false};
  std::thread second;
  test::WhenModalShows<QMessageBox>([&](QMessageBox* box) {
    second = std::thread([&] {
      messages.ShowMessage(text, MessageIcon::kError);
      secondDone = true;
    });
    // Without its own box it returns at once; generous, and it does not need this thread.
    for (auto until = std::chrono::steady_clock::now() + 5s; !secondDone && std::chrono::steady_clock::now() < until;)
      std::this_thread::sleep_for(1ms);
    boxes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) ++boxes;
    box->accept();
  });
  for (auto until = std::chrono::steady_clock::now() + 10s; !firstDone && std::chrono::steady_clock::now() < until;)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  first.join();
  EXPECT_TRUE(secondDone.load()) << "the second caller waited for a box of its own";
  if (!secondDone) test::WhenModalShows<QMessageBox>([](QMessageBox* box) { box->accept(); });
  while (!secondDone) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  second.join();
  EXPECT_EQ(boxes, 1);
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
