// The port and mode dialog on a real JACK server: the names it lists open, and the ports
// chosen in it connect the Keyset to the application at once.
#include <gtest/gtest.h>

#include <QListWidget>
#include <chrono>
#include <thread>

#include "editor/list_search.h"
#include "editor/port_list_box.h"
#include "editor/port_settings_dialog.h"
#include "harness/jack_test_app.h"
#include "support/jack_ports_rig.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using test::JackTestApp;
using namespace std::chrono_literals;

QStringList Entries(const QListWidget& list) {
  QStringList entries;
  for (int row = 0; row < list.count(); ++row) entries << list.item(row)->text();
  return entries;
}

class PortSettingsJackTest : public ::testing::Test, public test::JackPortsRig {
 protected:
  void SetUp() override {
    if (std::string why = JackTestApp::SkipReason(); !why.empty()) GTEST_SKIP() << why;
    test::OffscreenApp();
    ASSERT_TRUE(Open("orvo-test-ports-seq"));
    other = JackTestApp::Open("orvo-test-ports-other");
    ASSERT_TRUE(other);
  }
  void TearDown() override { Close(); }

  // Runs the dialog's "Select" on `keyset` with the two ports chosen (empty: leave as shown).
  void ChooseInDialog(Keyset& keyset, const QString& receive, const QString& send, QStringList* receiveEntries = nullptr,
                      QStringList* sendEntries = nullptr) {
    auto refuse = [](const QString& text, QMessageBox::Icon) {
      ADD_FAILURE() << "asked: " << text.toStdString();
      return false;
    };
    PortSettingsDialog dialog(PortSettingsServices{mapper, *midi, *ports, refuse}, {"DEFAULT", "SEQ"}, &keyset);
    if (receiveEntries) *receiveEntries = Entries(*dialog.ReceiveList());
    if (sendEntries) *sendEntries = Entries(*dialog.SendList());
    if (!receive.isEmpty()) SelectListEntry(*dialog.ReceiveList(), receive);
    if (!send.isEmpty()) SelectListEntry(*dialog.SendList(), send);
    dialog.Select();
  }

  bool ApplicationHears(JackTestApp& receiver, const Keyset& keyset) {
    return receiver.AwaitLink([&] { midi->OutShortMessage(keyset.MidiOutHandle, 0x7F4090); });
  }

  std::unique_ptr<JackTestApp> other;
};

TEST_F(PortSettingsJackTest, ChosenPortsConnectTheKeysetAtOnceAndAChangeMovesOnlyThatSide) {
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  mapper.FindOrCreate("DEFAULT", true);

  QStringList receiveEntries, sendEntries;
  ChooseInDialog(*seq, QString::fromStdString(app->InPort()), QString::fromStdString(app->OutPort()), &receiveEntries,
                 &sendEntries);
  // Each list holds what this program can open on its side, and none of its own ports.
  EXPECT_TRUE(receiveEntries.contains(QString::fromStdString(app->InPort())));
  EXPECT_FALSE(receiveEntries.contains(QString::fromStdString(app->OutPort())));
  EXPECT_TRUE(sendEntries.contains(QString::fromStdString(app->OutPort())));
  EXPECT_FALSE(sendEntries.contains(QString::fromStdString(app->InPort())));
  for (const QString& entry : receiveEntries + sendEntries) EXPECT_FALSE(entry.startsWith("orvo:")) << entry.toStdString();

  EXPECT_EQ(seq->MidiInPort.Get(), app->InPort());
  EXPECT_EQ(seq->MidiOutPort.Get(), app->OutPort());
  ASSERT_NE(seq->MidiOutHandle.load(), kNoMidiHandle);
  ASSERT_NE(seq->MidiInHandle.load(), kNoMidiHandle);
  ASSERT_TRUE(app->WaitForConnections(2));
  EXPECT_TRUE(ApplicationHears(*app, *seq));
  EXPECT_TRUE(SurfaceHearsFrom(*app));

  // Another application's input for "Receive from"; "Send to" stays as it is.
  const MidiInHandle input = seq->MidiInHandle;
  ChooseInDialog(*seq, QString::fromStdString(other->InPort()), {});
  EXPECT_EQ(seq->MidiInPort.Get(), other->InPort());
  EXPECT_EQ(seq->MidiInHandle.load(), input) << "the input side was not reopened";
  EXPECT_TRUE(ApplicationHears(*other, *seq));
  app->Clear();
  midi->OutShortMessage(seq->MidiOutHandle, 0x7F4090);
  EXPECT_FALSE(app->WaitForArrivals(1, 300ms)) << "the old application hears nothing more";
  EXPECT_TRUE(SurfaceHearsFrom(*app)) << "and still sends to the surface";
  EXPECT_TRUE(messages.Texts().empty());
}

}  // namespace
}  // namespace orvo
