// The port and mode dialog against the fake MIDI system: what it shows on opening and
// what "Select" applies, in which order, and what it leaves alone.
#include "editor/port_settings_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <deque>

#include "editor/list_search.h"
#include "editor/port_list_box.h"
#include "protocol/protocol_state.h"
#include "support/case_names.h"
#include "support/midi_rig.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using Strings = std::vector<std::string>;

struct Question {
  QString text;
  QMessageBox::Icon icon;
};

class PortSettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::OffscreenApp();
    // "through:port" is one ALSA port that reads and writes under one name.
    rig.midi.SetOutDevices({"synth:MIDI in", "looper:MIDI in", "through:port"});
    rig.midi.SetInDevices({"synth:MIDI out", "looper:MIDI out", "through:port"});
    synth = Add("SYNTH", "synth:MIDI in", "synth:MIDI out", kModeHost);
    looper = Add("LOOPER", "looper:MIDI in", "looper:MIDI out", kModeKelo);
    Add("DEFAULT", "", "", kModeHost);
    rig.ports.OpenAllMidiPorts(mapper);
    rig.midi.ClearCalls();
  }
  void TearDown() override { rig.ports.CloseAllMidiPorts(mapper); }

  Keyset* Add(const char* name, const char* in, const char* out, int32_t mode) {
    Keyset* keyset = mapper.FindOrCreate(name, true);
    keyset->MidiInPort.Set(in);
    keyset->MidiOutPort.Set(out);
    keyset->DeviceMode = mode;
    return keyset;
  }

  std::unique_ptr<PortSettingsDialog> Open(const Keyset* shown,
                                           QStringList applications = {"SYNTH", "DEFAULT", "LOOPER"}) {
    auto ask = [this](const QString& text, QMessageBox::Icon icon) {
      questions.push_back({text, icon});
      const bool yes = !answers.empty() && answers.front();
      if (!answers.empty()) answers.pop_front();
      return yes;
    };
    auto dialog = std::make_unique<PortSettingsDialog>(
        PortSettingsServices{mapper, rig.midi, rig.ports, ask, problem}, applications, shown);
    QObject::connect(dialog.get(), &QDialog::finished, [this](int code) { endings.push_back(code); });
    dialog->show();
    return dialog;
  }

  static void Choose(QListWidget& list, const QString& text) {
    const auto found = list.findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list.setCurrentItem(found.front());
  }

  // The opens, starts, resets and closes of ports since SetUp, in order.
  Strings CallNames() const {
    Strings names;
    for (const FakeMidiCall& call : rig.midi.Calls()) {
      const bool portCall = call.name.find("Device") == std::string::npos &&
                            call.name.find("Header") == std::string::npos && call.name != "InAddBuffer";
      if (portCall) names.push_back(call.name);
    }
    return names;
  }

  struct Snapshot {
    std::string in, out;
    int32_t mode;
    MidiOutHandle outHandle;
    MidiInHandle inHandle;
    bool operator==(const Snapshot&) const = default;
  };
  static Snapshot Of(const Keyset& keyset) {
    return {keyset.MidiInPort.Get(), keyset.MidiOutPort.Get(), keyset.DeviceMode.load(), keyset.MidiOutHandle.load(),
            keyset.MidiInHandle.load()};
  }

  test::MidiRig rig;
  Mapper mapper;
  Keyset* synth = nullptr;
  Keyset* looper = nullptr;
  std::vector<Question> questions;
  std::deque<bool> answers;
  std::vector<int> endings;  // QDialog results, one per closing
  std::string problem;       // the MIDI system's, shown in the dialog
};

// The lists stay live: a port that comes while the dialog is open is listed, one that goes
// is not, and the selected one stays selected, listed as not running until it is back.
TEST_F(PortSettingsDialogTest, ListsFollowPortsComingAndGoingWhileOpen) {
  auto dialog = Open(synth);
  rig.midi.SetOutDevices({"looper:MIDI in", "through:port", "drums:MIDI in"});
  dialog->RefreshPorts();
  QStringList listed;
  for (int row = 0; row < dialog->ReceiveList()->count(); ++row) listed << dialog->ReceiveList()->item(row)->text();
  EXPECT_EQ(listed, (QStringList{"looper:MIDI in", "through:port", "drums:MIDI in", "synth:MIDI in (not running)"}));
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "synth:MIDI in (not running)");
  rig.midi.SetOutDevices({"synth:MIDI in", "looper:MIDI in"});
  dialog->RefreshPorts();
  EXPECT_EQ(dialog->ReceiveList()->count(), 2);
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "synth:MIDI in");
  EXPECT_TRUE(CallNames().empty()) << "listing opens nothing";
}

TEST_F(PortSettingsDialogTest, OpensOnTheShownKeysetWithPortsThisProgramCanOpen) {
  auto dialog = Open(synth);
  EXPECT_EQ(dialog->windowTitle(), "Choose MIDI Ports, Orvo Device Mode");
  QStringList applications;
  for (int row = 0; row < dialog->ApplicationList()->count(); ++row)
    applications << dialog->ApplicationList()->item(row)->text();
  EXPECT_EQ(applications, (QStringList{"DEFAULT", "LOOPER", "SYNTH"})) << "sorted";
  // "Receive from" holds the output devices, "Send to" the input devices.
  EXPECT_EQ(dialog->ReceiveList()->count(), 3);
  EXPECT_EQ(dialog->ReceiveList()->item(0)->text(), "synth:MIDI in");
  EXPECT_EQ(dialog->SendList()->item(1)->text(), "looper:MIDI out");
  EXPECT_EQ(SelectedText(*dialog->ApplicationList()), "SYNTH");
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "synth:MIDI in");
  EXPECT_EQ(SelectedText(*dialog->SendList()), "synth:MIDI out");
  EXPECT_TRUE(dialog->ModeButton(kModeHost)->isChecked());
  EXPECT_FALSE(dialog->ModeButton(kModeEnhanced)->isEnabled());
  EXPECT_TRUE(dialog->CloseButton()->isDefault());
  QStringList captions;
  for (const QLabel* label : dialog->findChildren<QLabel*>()) captions << label->text();
  // The captions, each list with the line that says which way its messages flow, and the
  // place of the MIDI system's trouble (empty: there is none).
  EXPECT_EQ(captions, (QStringList{"Receive from", kReceiveFlowLine, "Send to", kSendFlowLine, ""}));
  EXPECT_EQ(dialog->SelectButton()->text(), "Select");
  EXPECT_EQ(dialog->CloseButton()->text(), "Close");
  EXPECT_TRUE(CallNames().empty()) << "opening touches no port";
}

struct ModeCase {
  const char* what;
  int32_t stored;
  int32_t button;   // the one checked on opening
  int32_t clicked;  // by the user before Select; 0 for none
  int32_t afterSelect;
};

class PortSettingsModes : public PortSettingsDialogTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(PortSettingsModes, OpenWithTheButtonOfTheStoredModeAndSelectSetsOnlyTheMode) {
  const ModeCase& c = GetParam();
  synth->DeviceMode = c.stored;
  const Snapshot before = Of(*synth);
  auto dialog = Open(synth);
  for (int32_t mode = kModeStandard; mode <= kModeEnhanced; ++mode)
    EXPECT_EQ(dialog->ModeButton(mode)->isChecked(), mode == c.button) << mode;
  if (c.clicked) dialog->ModeButton(c.clicked)->click();
  dialog->Select();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(synth->DeviceMode.load(), c.afterSelect);
  Snapshot expected = before;
  expected.mode = c.afterSelect;
  EXPECT_EQ(Of(*synth), expected);
  EXPECT_TRUE(CallNames().empty()) << "no port touched";
  EXPECT_TRUE(questions.empty());
  EXPECT_TRUE(rig.messages.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Modes, PortSettingsModes,
                         ::testing::Values(ModeCase{"standard", kModeStandard, kModeStandard, 0, kModeStandard},
                                           ModeCase{"host", kModeHost, kModeHost, 0, kModeHost},
                                           ModeCase{"kelo", kModeKelo, kModeKelo, 0, kModeKelo},
                                           ModeCase{"enhanced kept though disabled", kModeEnhanced,
                                                    kModeEnhanced, 0, kModeEnhanced},
                                           ModeCase{"none shows host", kModeNone, kModeHost, 0, kModeHost},
                                           ModeCase{"unknown shows host", 9, kModeHost, 0, kModeHost},
                                           ModeCase{"only the mode changed", kModeHost, kModeHost, kModeStandard,
                                                    kModeStandard}),
                         test::NameFromWhat{});

struct SideCase {
  const char* what;
  const char* receive;  // chosen in "Receive from", nullptr to leave as shown
  const char* send;     // chosen in "Send to"
  Strings calls;
};

class PortSettingsSides : public PortSettingsDialogTest, public ::testing::WithParamInterface<SideCase> {};

TEST_P(PortSettingsSides, APortChangeClosesAndReopensExactlyThatSide) {
  const SideCase& c = GetParam();
  const Snapshot before = Of(*synth);
  auto dialog = Open(synth);
  if (c.receive) Choose(*dialog->ReceiveList(), c.receive);
  if (c.send) Choose(*dialog->SendList(), c.send);
  dialog->Select();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(CallNames(), c.calls);
  const Snapshot after = Of(*synth);
  EXPECT_EQ(after.in, c.receive ? c.receive : before.in);
  EXPECT_EQ(after.out, c.send ? c.send : before.out);
  const auto called = [&](const char* name) { return std::count(c.calls.begin(), c.calls.end(), name) == 1; };
  EXPECT_EQ(after.outHandle != before.outHandle, called("OutOpen"));
  EXPECT_EQ(after.inHandle != before.inHandle, called("InOpen"));
  EXPECT_EQ(rig.midi.DeviceOf(after.outHandle), after.in);
  EXPECT_EQ(rig.midi.DeviceOf(after.inHandle), after.out);
  EXPECT_TRUE(rig.messages.Texts().empty());
  EXPECT_EQ(Of(*looper).in, "looper:MIDI in");
}

INSTANTIATE_TEST_SUITE_P(
    Sides, PortSettingsSides,
    ::testing::Values(
        SideCase{"receive side only", "looper:MIDI in", nullptr, {"OutReset", "OutClose", "OutOpen"}},
        SideCase{"send side only", nullptr, "looper:MIDI out", {"InReset", "InClose", "InOpen", "InStart"}},
        SideCase{"both sides input first",
                 "looper:MIDI in",
                 "looper:MIDI out",
                 {"InReset", "InClose", "InOpen", "InStart", "OutReset", "OutClose", "OutOpen"}},
        SideCase{"same names chosen again", "synth:MIDI in", "synth:MIDI out", {}}),
    test::NameFromWhat{});

TEST_F(PortSettingsDialogTest, TheSamePortOnBothSidesWarnsAndYesLeavesEverythingAsItWas) {
  const Snapshot before = Of(*synth);
  auto dialog = Open(synth);
  Choose(*dialog->ReceiveList(), "through:port");
  Choose(*dialog->SendList(), "through:port");
  dialog->ModeButton(kModeKelo)->click();

  answers = {false};  // No: the dialog stays open
  dialog->Select();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text.toStdString(), kSamePortQuestion);
  EXPECT_EQ(questions[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(endings.empty());

  answers = {true};  // Yes: closes, nothing applied
  dialog->Select();
  EXPECT_EQ(questions.size(), 2u);
  EXPECT_EQ(endings, std::vector<int>{QDialog::Rejected});
  EXPECT_EQ(Of(*synth), before);
  EXPECT_TRUE(CallNames().empty());
}

TEST_F(PortSettingsDialogTest, OneSideChosenAsTheOtherSidesStoredPortAlsoWarns) {
  synth->MidiOutPort.Set("through:port");  // stored, but not listed just now
  rig.midi.SetInDevices({"synth:MIDI out"});
  auto dialog = Open(synth);
  EXPECT_EQ(SelectedText(*dialog->SendList()), "through:port (not running)");
  Choose(*dialog->ReceiveList(), "through:port");
  answers = {true};
  dialog->Select();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text.toStdString(), kSamePortQuestion);
  EXPECT_EQ(synth->MidiInPort.Get(), "synth:MIDI in");
}

TEST_F(PortSettingsDialogTest, AStoredNameThatBeginsNoEntryIsShownNotRunningAndLeavesThatSide) {
  synth->MidiInPort.Set("gone:MIDI in");
  synth->MidiOutPort.Set("MIDI out");  // inside the names, not at their beginning
  const Snapshot before = Of(*synth);
  auto dialog = Open(synth);
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "gone:MIDI in (not running)");
  EXPECT_EQ(SelectedText(*dialog->SendList()), "MIDI out (not running)");
  EXPECT_EQ(dialog->ReceiveList()->count(), 4) << "added to the listed ports";
  Choose(*dialog->ApplicationList(), "LOOPER");
  EXPECT_EQ(dialog->ReceiveList()->count(), 3) << "gone with the change of application";
  Choose(*dialog->ApplicationList(), "SYNTH");
  dialog->Select();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Accepted});
  EXPECT_EQ(Of(*synth), before);
  EXPECT_TRUE(CallNames().empty());
  EXPECT_TRUE(questions.empty());
}

TEST_F(PortSettingsDialogTest, WithoutAnyPortsListedSelectAppliesOnlyTheMode) {
  rig.midi.SetOutDevices({});
  rig.midi.SetInDevices({});
  Keyset* fresh = Add("FRESH", "", "", kModeHost);
  problem = "No JACK server is running (server: the default one). MIDI ports stay closed.";
  auto dialog = Open(fresh, {"FRESH", "SYNTH"});
  EXPECT_EQ(dialog->ReceiveList()->count() + dialog->SendList()->count(), 0);
  const auto* why = dialog->findChild<QLabel*>("midiProblem");
  ASSERT_TRUE(why) << "the dialog says why its lists are empty";
  EXPECT_EQ(why->text().toStdString(), problem);
  dialog->ModeButton(kModeKelo)->click();
  dialog->Select();
  EXPECT_TRUE(questions.empty()) << "two empty choices are not the same port";
  EXPECT_EQ(fresh->DeviceMode.load(), kModeKelo);
  EXPECT_TRUE(fresh->MidiInPort.Empty() && fresh->MidiOutPort.Empty());
  EXPECT_TRUE(CallNames().empty());
}

TEST_F(PortSettingsDialogTest, ChangingTheApplicationReloadsAndSelectChangesOnlyThatKeyset) {
  const Snapshot synthBefore = Of(*synth);
  auto dialog = Open(synth);
  dialog->ModeButton(kModeStandard)->click();  // dropped with the change of application
  Choose(*dialog->ApplicationList(), "LOOPER");
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "looper:MIDI in");
  EXPECT_EQ(SelectedText(*dialog->SendList()), "looper:MIDI out");
  EXPECT_TRUE(dialog->ModeButton(kModeKelo)->isChecked());

  Choose(*dialog->ReceiveList(), "synth:MIDI in");
  Choose(*dialog->SendList(), "synth:MIDI out");
  dialog->ModeButton(kModeStandard)->click();
  dialog->Select();
  EXPECT_EQ(Of(*synth), synthBefore) << "the Keyset shown on opening is untouched";
  EXPECT_EQ(looper->MidiInPort.Get(), "synth:MIDI in");
  EXPECT_EQ(looper->MidiOutPort.Get(), "synth:MIDI out");
  EXPECT_EQ(looper->DeviceMode.load(), kModeStandard);
  EXPECT_EQ(rig.midi.DeviceOf(looper->MidiOutHandle), "synth:MIDI in");
}

TEST_F(PortSettingsDialogTest, AnApplicationWithoutKeysetKeepsTheChoicesAndSelectAsksToDiscard) {
  auto dialog = Open(synth, {"SYNTH", "GHOST"});
  Choose(*dialog->ApplicationList(), "GHOST");
  EXPECT_EQ(SelectedText(*dialog->ReceiveList()), "synth:MIDI in") << "nothing happens";
  EXPECT_TRUE(dialog->ModeButton(kModeHost)->isChecked());

  answers = {false};
  dialog->Select();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text.toStdString(), kNotLoadedQuestion);
  EXPECT_EQ(questions[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(endings.empty());
  answers = {true};
  dialog->Select();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Rejected});
  EXPECT_TRUE(CallNames().empty());
}

TEST_F(PortSettingsDialogTest, NoButtonCheckedAsksForHostMode) {
  synth->DeviceMode = kModeKelo;
  auto dialog = Open(synth);
  for (int32_t mode = kModeStandard; mode <= kModeEnhanced; ++mode) {
    dialog->ModeButton(mode)->setAutoExclusive(false);
    dialog->ModeButton(mode)->setChecked(false);
  }
  answers = {false};
  dialog->Select();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text,
            "Invalid device mode specified for SYNTH.\nShould I use the default mode - Orvo Host Mode -?");
  EXPECT_TRUE(endings.empty());
  EXPECT_EQ(synth->DeviceMode.load(), kModeKelo);

  answers = {true};
  dialog->Select();
  EXPECT_TRUE(dialog->ModeButton(kModeHost)->isChecked());
  EXPECT_EQ(synth->DeviceMode.load(), kModeHost);
  EXPECT_EQ(endings, std::vector<int>{QDialog::Accepted});
}

TEST_F(PortSettingsDialogTest, CloseAppliesNothing) {
  const Snapshot before = Of(*synth);
  auto dialog = Open(synth);
  Choose(*dialog->ReceiveList(), "looper:MIDI in");
  dialog->ModeButton(kModeStandard)->click();
  dialog->CloseButton()->click();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Rejected});
  EXPECT_EQ(Of(*synth), before);
  EXPECT_TRUE(CallNames().empty());
}

TEST_F(PortSettingsDialogTest, AFailedCloseKeepsTheOldNameAndAFailedOpenKeepsTheNewOne) {
  rig.midi.FailNext("OutClose", kMidiInvalidHandle);
  rig.midi.FailNext("InOpen", kMidiAllocated);
  const MidiOutHandle oldOut = synth->MidiOutHandle;
  auto dialog = Open(synth);
  Choose(*dialog->ReceiveList(), "looper:MIDI in");
  Choose(*dialog->SendList(), "looper:MIDI out");
  dialog->Select();
  EXPECT_EQ(endings, std::vector<int>{QDialog::Accepted}) << "closes anyway";
  EXPECT_EQ(synth->MidiInPort.Get(), "synth:MIDI in");
  EXPECT_EQ(synth->MidiOutHandle.load(), oldOut);
  EXPECT_EQ(synth->MidiOutPort.Get(), "looper:MIDI out");
  EXPECT_EQ(synth->MidiInHandle.load(), kNoMidiHandle);
  EXPECT_EQ(rig.messages.Texts(), (Strings{"SYNTH: MIDI In construct Error: The specified resource is already allocated.",
                                           "SYNTH: MIDI Out destruct Error: The specified device handle is invalid."}));
}

}  // namespace
}  // namespace orvo
