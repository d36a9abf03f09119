// The editor dialog: selecting controls by click and by touch, the lamps that follow, the
// monitor's lines, the "&Apps" menu, the title, the tabs, and saving at close.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QSpinBox>
#include <QTabBar>
#include <filesystem>

#include "editor/editor_messages.h"
#include "editor/key_map_panel.h"
#include "editor/keyset_table_dialog.h"
#include "editor/midi_map_panel.h"
#include "editor/monitor_edit.h"
#include "harness/editor_rig.h"
#include "protocol/editor_notifier.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

using test::EditorRig;
using Bytes = std::vector<uint8_t>;

std::vector<Bytes> WritesOf(const test::RecordingDevice& device) {
  std::vector<Bytes> writes;
  for (const auto& event : device.Events())
    writes.push_back(event.bytes);
  return writes;
}

Bytes Lamp(const ControlDescriptor& row, bool on) {
  return {static_cast<uint8_t>(row.wireCode), static_cast<uint8_t>(row.wireCode >> 8),
          static_cast<uint8_t>(on ? 0x7F : 0x00)};
}

uint32_t Message(uint8_t status, uint8_t data1, uint8_t data2, uint32_t flags) {
  return status | data1 << 8 | data2 << 16 | flags << 24;
}

std::vector<std::string> MonitorLines(EditorDialog& dialog) {
  std::vector<std::string> lines;
  for (const QString& line : dialog.Monitor()->toPlainText().split('\n')) lines.push_back(line.toStdString());
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

TEST(EditorDialog, ClickSelectsTheButtonOfThatControlId) {
  EditorRig rig;
  rig.Click(1064);
  EditorDialog& dialog = rig.Open();
  ASSERT_NE(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(dialog.SelectedControl()->id, 1064);
  EXPECT_EQ(dialog.KeyMap()->SelectedName(), "Solo button Chan 1");
  EXPECT_TRUE(dialog.Picture()->IsPressed(1064));
  // Selecting maps nothing: only a key, a label or a rule stored makes a mapping.
  EXPECT_EQ(rig.engine.Mapper.DefaultKeyset()->LookupMapping(1064), nullptr);
}

TEST(EditorDialog, ClicksSelectNothingOutsideHostMode) {
  for (int32_t mode : {kModeNone, kModeStandard, kModeKelo, kModeEnhanced}) {
    EditorRig rig;
    rig.engine.Protocol.CurrentDeviceMode.store(mode);
    rig.Click(1064);
    EXPECT_EQ(rig.Open().SelectedControl(), nullptr) << "mode " << mode;
    EXPECT_EQ(rig.device.Writes(), 0) << "mode " << mode;
  }
}

TEST(EditorDialog, ClickingTheSelectedButtonAgainWritesNothing) {
  EditorRig rig;
  rig.Click(1207);
  const int writes = rig.device.Writes();
  rig.Click(1207);
  EXPECT_EQ(rig.device.Writes(), writes);
  EXPECT_TRUE(rig.Open().Picture()->IsPressed(1207));
}

TEST(EditorDialog, PickingMuteShowsItsLayerThenMovesTheLamp) {
  EditorRig rig;
  rig.Click(1207);  // REC: no layer to change
  ASSERT_EQ(WritesOf(rig.device), (std::vector<Bytes>{Lamp(*rig.Row(1207), true)}));
  rig.engine.Protocol.BankLayer.store(0);
  rig.Click(1000);  // MUTE of channel 1
  const std::vector<Bytes> expected{Lamp(*rig.Row(1207), true), {0xBE, 0x40, 0x7F}, Lamp(*rig.Row(1207), false),
                                    Lamp(*rig.Row(1000), true)};
  EXPECT_EQ(WritesOf(rig.device), expected);
  EXPECT_EQ(rig.engine.Protocol.BankLayer.load(), 1);
  EXPECT_EQ((Lamp(*rig.Row(1000), true)), (Bytes{0xBD, 0x00, 0x7F}));
  EXPECT_FALSE(rig.Open().Picture()->IsPressed(1207));
}

struct LayerCase {
  const char* what;
  ControlId picked;
  uint8_t bankBefore, shiftBefore;
  std::vector<Bytes> layerWrites;  // before the lamp
  uint8_t bankAfter, shiftAfter;
};

class EditorLayers : public ::testing::TestWithParam<LayerCase> {};

TEST_P(EditorLayers, PickingAControlShowsItsLayer) {
  const LayerCase& c = GetParam();
  EditorRig rig;
  rig.engine.Protocol.BankLayer.store(c.bankBefore);
  rig.engine.Protocol.ShiftLayer.store(c.shiftBefore);
  rig.Click(c.picked);
  std::vector<Bytes> writes = WritesOf(rig.device);
  const ControlDescriptor& row = *rig.Row(c.picked);
  const bool hasLamp = c.picked <= 1192 || c.picked == 1207 || c.picked == 1269 || c.picked == 1270;
  if (hasLamp) {
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back(), Lamp(row, true));
    writes.pop_back();
  }
  EXPECT_EQ(writes, c.layerWrites);
  EXPECT_EQ(rig.engine.Protocol.BankLayer.load(), c.bankAfter);
  EXPECT_EQ(rig.engine.Protocol.ShiftLayer.load(), c.shiftAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorLayers,
    ::testing::Values(LayerCase{"arm with bank on turns bank off", 1032, 1, 0, {{0xBE, 0x40, 0x00}}, 0, 0},
                      LayerCase{"select with bank off writes nothing", 1160, 0, 0, {}, 0, 0},
                      LayerCase{"pan with bank off turns bank on", 1128, 0, 0, {{0xBE, 0x40, 0x7F}}, 1, 0},
                      LayerCase{"solo with bank on writes nothing", 1064, 1, 0, {}, 1, 0},
                      LayerCase{"shifted F button sets shift silently", 1214, 0, 0, {}, 0, 1},
                      LayerCase{"plain F button clears shift silently", 1194, 0, 1, {}, 0, 0},
                      LayerCase{"fader touches no layer", 1224, 1, 1, {}, 1, 1}),
    test::NameFromWhat{});

TEST(EditorDialog, AFailedBankWriteKeepsTheLayerButStillSelects) {
  EditorRig rig;
  rig.engine.Protocol.BankLayer.store(0);
  rig.device.FailWrites(true);
  rig.Click(1000);
  EXPECT_EQ(rig.engine.Protocol.BankLayer.load(), 0);
  ASSERT_NE(rig.Open().SelectedControl(), nullptr);
  EXPECT_EQ(rig.Open().SelectedControl()->id, 1000);
}

// The reader keeps the latest message of a row: for the wheel that is its turn, while its
// lamp has an address of its own.
TEST(EditorDialog, TurningTheWheelLightsTheWheelsLamp) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  const ControlDescriptor& wheel = *LookupControlById(1270);
  rig.engine.Protocol.SetLastMessage(wheel, 0x0160BF);
  dialog.EditorShortMessage(&wheel, nullptr, Message(0xBF, 0x60, 0x01, kTagEditorFocus));
  EXPECT_EQ(WritesOf(rig.device), (std::vector<Bytes>{{0xBE, 0x58, 0x7F}}));
}

TEST(EditorDialog, HostModeNotificationPrintsAndSelectsWithoutLampOrMapping) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  dialog.EditorShortMessage(rig.Row(1226), nullptr, Message(0xBF, 0x02, 0x40, kTagHostMode));
  EXPECT_EQ(MonitorLines(dialog), (std::vector<std::string>{"BF0240: Fader 3   [to the application] CC 2 = 64, ch 16"}));
  ASSERT_NE(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(dialog.SelectedControl()->id, 1226);
  EXPECT_EQ(rig.device.Writes(), 0);
  EXPECT_EQ(rig.engine.Mapper.DefaultKeyset()->LookupMapping(1226), nullptr);
}

struct TouchCase {
  const char* what;
  int32_t mode;
  ControlId control;  // 0: the reader resolved no control
  uint8_t value;
  std::string line;
  ControlId selectedAfter;  // 0: nothing selected
};

class EditorTouches : public ::testing::TestWithParam<TouchCase> {};

// A touch while the editor has the focus: sent with every flag.
TEST_P(EditorTouches, TouchPrintsAndSelectsPresses) {
  const TouchCase& c = GetParam();
  EditorRig rig;
  rig.engine.Protocol.CurrentDeviceMode.store(c.mode);
  EditorDialog& dialog = rig.Open();
  const ControlDescriptor* row = c.control ? rig.Row(c.control) : nullptr;
  const uint32_t wire = row ? row->wireCode : 0x02B0;
  dialog.EditorShortMessage(row, nullptr,
                            Message(static_cast<uint8_t>(wire), static_cast<uint8_t>(wire >> 8), c.value,
                                    kTagEditorFocus));
  EXPECT_EQ(MonitorLines(dialog), (std::vector<std::string>{c.line}));
  EXPECT_EQ(dialog.SelectedControl() ? dialog.SelectedControl()->id : 0, c.selectedAfter);
  if (c.selectedAfter) {
    EXPECT_EQ(rig.engine.Mapper.DefaultKeyset()->LookupMapping(c.selectedAfter), nullptr) << "a touch maps nothing";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorTouches,
    ::testing::Values(
        TouchCase{"button release selects nothing", kModeHost, 1204, 0x00,
                  "BE4C00: PLAY button   [surface \u2192 host] CC 76 = 0, ch 15", 0},
        TouchCase{"button press selects", kModeHost, 1204, 0x7F,
                  "BE4C7F: PLAY button   [surface \u2192 host] CC 76 = 127, ch 15", 1204},
        TouchCase{"fader at zero selects", kModeHost, 1224, 0x00, "BF0000: Fader 1   [surface \u2192 host] CC 0 = 0, ch 16",
                  1224},
        TouchCase{"footswitch release selects nothing", kModeHost, 1268, 0x00,
                  "BF5600: FootSwitch   [surface \u2192 host] CC 86 = 0, ch 16", 0},
        TouchCase{"standard mode has no control", kModeStandard, 0, 0x40, "B00240:    [surface \u2192 host] CC 2 = 64, ch 1",
                  0},
        TouchCase{"standard mode never selects", kModeStandard, 1224, 0x40,
                  "BF0040: Fader 1   [surface \u2192 host] CC 0 = 64, ch 16", 0}),
    test::NameFromWhat{});

TEST(EditorDialog, BankPressDarkensTheLampOfTheLayerJustHidden) {
  for (uint8_t bankAfterPress : {0, 1}) {
    EditorRig rig;
    EditorDialog& dialog = rig.Open();
    rig.Click(1224);  // a fader, no lamp: the selection that must survive
    const int before = rig.device.Writes();
    rig.engine.Protocol.LastHostControl.store(rig.Row(1000));  // MUTE 1, lower layer
    rig.engine.Protocol.BankLayer.store(bankAfterPress);
    dialog.EditorShortMessage(rig.Row(kBankButton), nullptr, Message(0xBE, 0x40, 0x7F, kTagEditorFocus));
    std::vector<Bytes> writes = WritesOf(rig.device);
    writes.erase(writes.begin(), writes.begin() + before);
    if (bankAfterPress == 0)
      EXPECT_EQ(writes, (std::vector<Bytes>{Lamp(*rig.Row(1000), false)}));
    else
      EXPECT_TRUE(writes.empty());
    EXPECT_EQ(dialog.SelectedControl()->id, 1224);
  }
}

TEST(EditorDialog, InputAndLongMessageLines) {
  EditorRig rig({"SYNTH"});
  EditorDialog& dialog = rig.Open();
  const Keyset* synth = rig.engine.Mapper.Lookup("SYNTH");
  dialog.EditorShortMessage(nullptr, synth, Message(0x90, 0x3C, 0x7F, kTagFromInput));
  dialog.EditorShortMessage(nullptr, nullptr, Message(0x90, 0x3C, 0x7F, kTagFromInput));
  const uint8_t sysex[] = {0xF0, 0x01, 0xF7};
  dialog.EditorLongMessage(synth, sysex, 0x3);  // done: it came in on SYNTH's port
  dialog.EditorLongMessage(synth, sysex, 0x0);  // the surface's, on its way to SYNTH
  dialog.EditorShortMessage(nullptr, synth, Message(0xEF, 0x00, 0x40, kTagFromInput));
  EXPECT_EQ(MonitorLines(dialog),
            (std::vector<std::string>{"903C7F: <-SYNTH   [host \u2192 surface] Note on C3 (60) vel 127, ch 1",
                                      "903C7F: <-<No App?>   [host \u2192 surface] Note on C3 (60) vel 127, ch 1",
                                      "F0 01 F7 : 03 <- SYNTH   [host \u2192 surface] system exclusive, 3 bytes",
                                      "F0 01 F7 : 00 <- SYNTH   [to the application] system exclusive, 3 bytes",
                                      "EF0040: <-SYNTH   [host \u2192 surface] Pitch bend 8192, ch 16"}));
  EXPECT_EQ(dialog.SelectedControl(), nullptr);
}

// "Pause" holds the lines back and says how many it skipped; "Clear" empties the monitor.
TEST(EditorDialog, MonitorPausesAndClears) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  dialog.PauseButton()->click();
  dialog.EditorShortMessage(rig.Row(1226), nullptr, Message(0xBF, 0x02, 0x40, kTagHostMode));
  dialog.EditorShortMessage(rig.Row(1226), nullptr, Message(0xBF, 0x02, 0x41, kTagHostMode));
  EXPECT_TRUE(MonitorLines(dialog).empty());
  dialog.PauseButton()->click();
  EXPECT_EQ(MonitorLines(dialog), (std::vector<std::string>{"(2 lines skipped while paused)"}));
  dialog.ClearButton()->click();
  EXPECT_TRUE(MonitorLines(dialog).empty());
}

// "Learn" takes the next message from an application's port; the control stays selected.
TEST(EditorDialog, LearnTakesAMessageFromAnApplication) {
  EditorRig rig({"SYNTH"});
  EditorDialog& dialog = rig.Open();
  rig.Click(1224);
  dialog.MidiMap()->LearnButton()->click();
  dialog.EditorShortMessage(nullptr, rig.engine.Mapper.Lookup("SYNTH"), Message(0xB0, 0x4A, 0x10, kTagFromInput));
  EXPECT_EQ(dialog.MidiMap()->PreviewWords(), "CC 74, ch 1");
  EXPECT_EQ(dialog.Tabs()->currentIndex(), kTabMidiMap);
  EXPECT_EQ(dialog.SelectedControl()->id, 1224);
}

TEST(MonitorEdit, TheThousandthLineDropsTheOlderHalf) {
  test::OffscreenApp();
  MonitorEdit monitor;
  for (int line = 0; line < 998; ++line) monitor.WriteLine(QString::number(line));
  EXPECT_EQ(monitor.LineCount(), 999);
  monitor.WriteLine("998");  // the box now counts 1000 lines with the empty last one
  EXPECT_EQ(monitor.LineCount(), 500);
  EXPECT_TRUE(monitor.toPlainText().startsWith("500\n"));
  EXPECT_EQ(monitor.textCursor().position(), monitor.document()->characterCount() - 1);
}

TEST(MonitorEdit, StaysUnderItsCharacterLimit) {
  test::OffscreenApp();
  MonitorEdit monitor;
  const QString longLine(200, 'F');
  for (int line = 0; line < 600; ++line) monitor.WriteLine(longLine);
  EXPECT_LE(monitor.document()->characterCount(), kMonitorCharacterLimit + longLine.size() + 1);
}

TEST(EditorDialog, AppsMenuNumbersKeysetsInEnumerationOrder) {
  EditorRig rig({"SEQ", "SYNTH", "DRUMS", "MIXER"});
  EditorDialog& dialog = rig.Open();
  std::vector<std::string> enumerated;
  rig.engine.Mapper.ForEachKeyset([&](const std::string& name, Keyset&) { enumerated.push_back(name); });
  ASSERT_EQ(enumerated.size(), 5u);
  const QList<QAction*> items = dialog.AppsMenu()->actions();
  ASSERT_EQ(items.size(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(items[i]->text().toStdString(), enumerated[i]);
    EXPECT_EQ(items[i]->data().toInt(), 32901 + i);
  }
  Keyset* sixth = rig.engine.Mapper.FindOrCreate("LATE", true);
  dialog.AppendToAppsMenu(*sixth);
  EXPECT_EQ(dialog.AppsMenu()->actions().back()->data().toInt(), 32906);
  EXPECT_EQ(dialog.MenuBar()->actions().back()->text(), "&Apps");
}

TEST(EditorDialog, AppsCommandShowsThatKeysetAndMarksIt) {
  EditorRig rig({"SYNTH"});
  EditorDialog& dialog = rig.Open();
  Keyset* synth = rig.engine.Mapper.Lookup("SYNTH");
  for (QAction* item : dialog.AppsMenu()->actions())
    if (item->text() == "SYNTH") item->trigger();
  EXPECT_EQ(dialog.ShownKeyset(), synth);
  for (QAction* item : dialog.AppsMenu()->actions()) EXPECT_EQ(item->isChecked(), item->text() == "SYNTH");
}

TEST(EditorDialog, TitleNamesKeysetModeAndSurfaceMode) {
  EditorRig rig({"SYNTH"});
  EditorDialog& dialog = rig.Open();
  EXPECT_EQ(dialog.windowTitle(), "Orvo Tablan Editor: DEFAULT (Host mode) - Keyset,   [Dev in Host mode]");
  Keyset* synth = rig.engine.Mapper.Lookup("SYNTH");
  synth->DeviceMode.store(kModeKelo);
  dialog.ShowKeyset(synth);
  EXPECT_EQ(dialog.windowTitle(), "Orvo Tablan Editor: SYNTH (Kelo mode) - Keyset,   [Dev in Host mode]");
  dialog.ShowKeyset(nullptr);
  EXPECT_EQ(dialog.ShownKeyset(), synth);
  synth->DeviceMode.store(9);
  dialog.RefreshTitle();
  EXPECT_EQ(dialog.windowTitle(), "Orvo Tablan Editor: SYNTH (Unknown mode) - Keyset,   [Dev in Host mode]");
}

enum class Switch { kNewKeyset, kAppsMenu, kFocusFinder, kReloaded };

struct SwitchCase {
  const char* what;
  Switch how;
  const char* shownAfter;
  const char* labelAfter;  // what the panel shows of PLAY there
};

class EditorKeysetSwitch : public ::testing::TestWithParam<SwitchCase> {};

// PLAY is selected with DEFAULT's mapping on show; after the switch the panels show PLAY
// in the Keyset now on show, and what is pressed and applied goes there.
TEST_P(EditorKeysetSwitch, PanelsShowTheSelectedControlInTheKeysetOnShow) {
  const SwitchCase& c = GetParam();
  EditorRig rig({"SYNTH"});
  rig.chosenApplication = "/usr/bin/seq24";
  EditorDialog& dialog = rig.Open();
  ControlMapping& play =
      *rig.engine.Mapper.DefaultKeyset()->SetMapping(std::make_unique<ControlMapping>(*rig.Row(1204)));
  rig.Click(1204);
  play.Label.Set("Play");
  play.KeyCode = 0x41;
  play.KeyFlags = kModCtrl | kModShift | (0x1Eu << 16);
  play.MapType = MapType::kCustom1Status;
  play.DataA = 0xB0;
  dialog.ShowKeyset(rig.engine.Mapper.DefaultKeyset());
  ASSERT_EQ(dialog.KeyMap()->KeyText(), "Ctrl+Shft+A");

  switch (c.how) {
    case Switch::kNewKeyset: dialog.Command(EditorCommand::kNewKeyset)->trigger(); break;
    case Switch::kAppsMenu:
      for (QAction* item : dialog.AppsMenu()->actions())
        if (item->text() == "SYNTH") item->trigger();
      break;
    case Switch::kFocusFinder: dialog.ShowKeyset(rig.engine.Mapper.Lookup("SYNTH")); break;
    case Switch::kReloaded:
      play.Label.Set("Stop");
      play.KeyFlags = kNoKey;
      play.MapType = MapType::kNative;
      dialog.ShowKeyset(rig.engine.Mapper.DefaultKeyset());
      break;
  }

  ASSERT_EQ(dialog.ShownKeyset()->Name, c.shownAfter);
  EXPECT_EQ(dialog.KeyMap()->SelectedName(), "PLAY button");
  EXPECT_EQ(dialog.KeyMap()->Label(), c.labelAfter);
  EXPECT_EQ(dialog.KeyMap()->KeyText(), "");
  EXPECT_TRUE(dialog.MidiMap()->NativeButton()->isChecked());
  if (c.how != Switch::kReloaded) {
    EXPECT_FALSE(dialog.KeyMap()->CtrlBox()->isChecked());
    EXPECT_FALSE(dialog.KeyMap()->ShiftBox()->isChecked());
  }

  dialog.KeyMap()->SetModifierQuery([] { return Qt::KeyboardModifiers(); });
  dialog.KeyMap()->CaptureKey(0x42, 1, 0x30);
  dialog.KeyMap()->SetLabel("Go");
  dialog.ApplyButton()->click();
  EXPECT_TRUE(rig.messages.Texts().empty());
  const ControlMapping* stored = dialog.ShownKeyset()->LookupMapping(1204);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->KeyCode.load(), 0x42);
  EXPECT_EQ(stored->Label.Get(), "Go");
  if (c.how != Switch::kReloaded) {
    EXPECT_EQ(play.KeyCode.load(), 0x41) << "the Keyset shown before keeps its key";
    EXPECT_EQ(play.Label.Get(), "Play");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorKeysetSwitch,
    ::testing::Values(SwitchCase{"new keyset", Switch::kNewKeyset, "SEQ24", ""},
                      SwitchCase{"apps menu", Switch::kAppsMenu, "SYNTH", ""},
                      SwitchCase{"focus finder", Switch::kFocusFinder, "SYNTH", ""},
                      SwitchCase{"keyset reloaded", Switch::kReloaded, "DEFAULT", "Stop"}),
    test::NameFromWhat{});

// Unplugged, the link leaves the mode None: the title says so at once, and a click,
// which selects nothing then, is answered once per unplugging.
TEST(EditorDialog, UnpluggedTheTitleFollowsAtOnceAndAClickIsAnsweredOnce) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  rig.engine.Protocol.CurrentDeviceMode.store(kModeNone);
  dialog.ShowConnection(false);
  EXPECT_EQ(dialog.windowTitle(), "Orvo Tablan Editor: DEFAULT (Host mode) - Keyset,   [Dev in None mode]");
  for (int click = 0; click < 2; ++click) rig.Click(1064);
  EXPECT_EQ(MonitorLines(dialog), (std::vector<std::string>{kNotConnectedNote}));
  EXPECT_EQ(dialog.Hint(), kNotConnectedNote);
  EXPECT_EQ(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(rig.device.Writes(), 0);

  rig.engine.Protocol.CurrentDeviceMode.store(kModeHost);
  dialog.ShowConnection(true);
  EXPECT_EQ(dialog.windowTitle(), "Orvo Tablan Editor: DEFAULT (Host mode) - Keyset,   [Dev in Host mode]");
  EXPECT_EQ(dialog.Hint(), kTouchAControlHint);
  dialog.ShowConnection(false);
  rig.Click(1064);
  EXPECT_EQ(MonitorLines(dialog).size(), 2u) << "said again after the next unplugging";
}

// What the line says follows each change at once; the picture's Bank lamp, Shift and the
// captions of the layers follow with it.
TEST(EditorDialog, StatusLineAndPictureFollowConnectionKeysetAndLayers) {
  EditorRig rig({"XTERM"});
  EditorDialog& dialog = rig.Open();
  dialog.ShowConnection(false);
  EXPECT_EQ(dialog.StatusText(), "Surface not connected.");

  ProtocolState& protocol = rig.engine.Protocol;
  rig.engine.FocusState.CreateFocusState();
  rig.engine.FocusState.Current()->Write(77, kOwnerOther, rig.engine.Mapper.Lookup("XTERM"));
  dialog.ShowConnection(true);
  EXPECT_EQ(dialog.StatusText().toStdString(),
            "Surface connected, Host mode.   Keyset in force: XTERM.   Bank off: Arm, Locate, Select.   Shift off: F1-F9.");
  SurfacePicture& picture = *dialog.Picture();
  EXPECT_FALSE(picture.IsLampLit(kBankButton));
  EXPECT_TRUE(picture.InForce(1032));  // Arm 1
  EXPECT_FALSE(picture.InForce(1000));  // Mute 1

  protocol.BankLayer.store(1);
  protocol.ShiftLayer.store(1);
  protocol.CurrentDeviceMode.store(kModeStandard);
  dialog.RefreshStatus();
  EXPECT_EQ(dialog.StatusText().toStdString(),
            "Surface connected, Standard mode.   Keyset in force: XTERM.   Bank on: Mute, Solo, Pan.   Shift on: shifted F1-F9.");
  EXPECT_TRUE(picture.IsLampLit(kBankButton));
  EXPECT_TRUE(picture.IsPressed(kShiftButton));
  EXPECT_TRUE(picture.InForce(1000));
  EXPECT_FALSE(picture.InForce(1032));
  EXPECT_TRUE(picture.InForce(1214));  // F1 (Shift)
  EXPECT_FALSE(picture.InForce(1194));
  EXPECT_TRUE(picture.InForce(1204)) << "PLAY has no layers";
}

// The table follows the Keyset on show, a chosen row selects its control, and a mapping
// removed there leaves the panels blank.
TEST(EditorDialog, TheKeysetTableSelectsAndRemoves) {
  EditorRig rig({"XTERM"});
  EditorDialog& dialog = rig.Open();
  rig.engine.Mapper.DefaultKeyset()->SetMapping(std::make_unique<ControlMapping>(*rig.Row(1204)))->Label.Set("Play");
  dialog.Command(EditorCommand::kKeysetTable)->trigger();
  KeysetTableDialog& table = *dialog.KeysetTable();
  ASSERT_EQ(table.RowCount(), 1);
  table.ChooseRow(0);
  ASSERT_NE(dialog.SelectedControl(), nullptr);
  EXPECT_EQ(dialog.SelectedControl()->id, 1204);
  EXPECT_EQ(dialog.KeyMap()->Label(), "Play");

  table.RemoveButton()->click();
  EXPECT_EQ(dialog.KeyMap()->Label(), "");
  EXPECT_EQ(table.RowCount(), 0);
  dialog.ShowKeyset(rig.engine.Mapper.Lookup("XTERM"));
  EXPECT_EQ(table.windowTitle(), "XTERM: Keyset Table");
}

// Apply shows what it stored: the mark on the picture, the line under it, the title's
// unsaved mark, which "&Save" (Ctrl+S) clears by writing every Keyset.
TEST(EditorDialog, ApplyMarksThePictureAndSaveClearsTheUnsavedMark) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  rig.Click(1224);
  EXPECT_TRUE(dialog.Picture()->Marks().empty()) << "selecting maps nothing";
  EXPECT_FALSE(dialog.HasUnsavedChanges());
  dialog.SelectTab(kTabMidiMap);
  MidiMapPanel& midi = *dialog.MidiMap();
  midi.KindBox()->setCurrentIndex(midi.KindBox()->findText("Control change"));
  midi.NumberBox()->setValue(74);
  dialog.ApplyButton()->click();
  const auto marks = dialog.Picture()->Marks();
  ASSERT_EQ(marks.count(1224), 1u);
  EXPECT_EQ(marks.at(1224).badge, "M");
  EXPECT_EQ(marks.at(1224).words, "MIDI CC 74, ch 1 (BF 00 vv \u2192 B0 4A vv)");
  EXPECT_EQ(dialog.Picture()->ToolTipAt(dialog.Picture()->CanvasToWidget().map(LayoutOf(1224)->rect.center())),
            "Fader 1: MIDI CC 74, ch 1 (BF 00 vv \u2192 B0 4A vv)");
  EXPECT_EQ(dialog.Summary(), "Stored in DEFAULT: Fader 1: MIDI CC 74, ch 1 (BF 00 vv \u2192 B0 4A vv)");
  EXPECT_TRUE(dialog.HasUnsavedChanges());
  EXPECT_TRUE(dialog.windowTitle().endsWith(" *"));

  QAction* save = dialog.Command(EditorCommand::kSave);
  EXPECT_EQ(save->shortcut(), QKeySequence(QKeySequence::Save));
  save->trigger();
  EXPECT_FALSE(dialog.HasUnsavedChanges());
  EXPECT_FALSE(dialog.windowTitle().endsWith(" *"));
  EXPECT_TRUE(std::filesystem::exists(rig.dir.Path() / "DEFAULT.orvo"));
}

// The line names what stops MIDI: no MIDI system, or a Keyset's port not there; it clears
// when told so.
TEST(EditorDialog, StatusLineNamesTheMidiTrouble) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  dialog.ShowConnection(false);
  dialog.ShowMidiState("No MIDI system is available: no JACK server", "");
  EXPECT_EQ(dialog.StatusText().toStdString(), "Surface not connected.   No MIDI system: no JACK server.");
  dialog.ShowConnection(true);
  dialog.ShowMidiState("", "port of SYNTH not connected (synth:in)");
  EXPECT_TRUE(dialog.StatusText().startsWith("Surface connected, Host mode.   Port of SYNTH not connected (synth:in)."));
  dialog.ShowMidiState("", "");
  EXPECT_FALSE(dialog.StatusText().contains("MIDI"));
}

TEST(EditorDialog, TheEmptyPanelSaysHowToSelectAControl) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  EXPECT_EQ(dialog.KeyMap()->SelectedName(), "<Selected Ctrl>");
  EXPECT_EQ(dialog.Hint(), kTouchAControlHint);
  dialog.EditorShortMessage(rig.Row(1204), nullptr, Message(0xBE, 0x4C, 0x7F, kTagEditorFocus));
  EXPECT_EQ(dialog.Hint(), "");
}

TEST(EditorDialog, TabsShowTheirGroupAndEnableApply) {
  struct Expect {
    int tab;
    bool keys, midi, monitor, apply;
  };
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  dialog.show();
  for (const Expect& e : {Expect{kTabSpecial, false, false, false, false}, Expect{kTabRawMsgs, false, false, true, false},
                          Expect{kTabMidiMap, false, true, false, true}, Expect{kTabKeyMap, true, false, false, true}}) {
    dialog.SelectTab(e.tab);
    EXPECT_EQ(dialog.KeyMap()->isVisible(), e.keys) << e.tab;
    EXPECT_EQ(dialog.MidiMap()->isVisible(), e.midi) << e.tab;
    EXPECT_EQ(dialog.Monitor()->isVisible(), e.monitor) << e.tab;
    EXPECT_EQ(dialog.ApplyButton()->isEnabled(), e.apply) << e.tab;
  }
}

TEST(EditorDialog, MenuBarGreysWhatDoesNothing) {
  EditorRig rig;
  EditorDialog& dialog = rig.Open();
  QStringList titles;
  for (QAction* menu : dialog.MenuBar()->actions()) titles << menu->text();
  EXPECT_EQ(titles, (QStringList{"&File", "&Edit", "&Help", "Orvo Mode", "&Apps"}));
  using Command = EditorCommand;
  for (Command id : {Command::kUndo, Command::kRedo, Command::kCut, Command::kCopy, Command::kPaste, Command::kDelete,
                     Command::kCutKeyset, Command::kCopyKeyset, Command::kPasteKeyset, Command::kDeleteKeyset,
                     Command::kPreferences, Command::kStandardMode, Command::kEnhancedMode})
    EXPECT_FALSE(dialog.Command(id)->isEnabled()) << static_cast<int>(id);
  for (Command id : {Command::kNewKeyset, Command::kSaveKeyset, Command::kSaveAllKeysets, Command::kExit,
                     Command::kDisplayKeyset, Command::kKeysetTable, Command::kMidiPorts, Command::kAbout})
    EXPECT_TRUE(dialog.Command(id)->isEnabled()) << static_cast<int>(id);
}

TEST(EditorDialog, EveryWayOfClosingSavesEveryKeyset) {
  enum class Way { kExit, kCloseBox, kEscape };
  for (Way way : {Way::kExit, Way::kCloseBox, Way::kEscape}) {
    EditorRig rig({"SYNTH"});
    EditorDialog& dialog = rig.Open();
    dialog.show();
    rig.Click(1224);
    dialog.KeyMap()->SetLabel("Vol");
    dialog.ApplyButton()->click();  // a label alone: stored, with a word that no key is set
    switch (way) {
      case Way::kExit: dialog.Command(EditorCommand::kExit)->trigger(); break;
      case Way::kCloseBox: dialog.close(); break;
      case Way::kEscape: dialog.reject(); break;
    }
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(rig.dir.Exists("DEFAULT.orvo")) << static_cast<int>(way);
    EXPECT_TRUE(rig.dir.Exists("SYNTH.orvo")) << static_cast<int>(way);
    EXPECT_NE(rig.dir.Read("DEFAULT.orvo").find("1224:"), std::string::npos);
  }
}

TEST(EditorDialog, SaveKeysetWritesOnlyTheShownOne) {
  EditorRig rig({"SYNTH"});
  EditorDialog& dialog = rig.Open();
  dialog.ShowKeyset(rig.engine.Mapper.Lookup("SYNTH"));
  dialog.Command(EditorCommand::kSaveKeyset)->trigger();
  EXPECT_TRUE(rig.dir.Exists("SYNTH.orvo"));
  EXPECT_FALSE(rig.dir.Exists("DEFAULT.orvo"));
  dialog.Command(EditorCommand::kSaveAllKeysets)->trigger();
  EXPECT_TRUE(rig.dir.Exists("DEFAULT.orvo"));
}

struct NewKeysetCase {
  const char* what;
  const char* chosen;        // the file the dialog answers with; "" cancels
  const char* shownAfter;    // the Keyset on show afterwards
  int appsItemsAfter;        // DEFAULT and SYNTH to start with
  int32_t modeAfter;
  const char* message;       // "" for none
  bool copyDefault = false;  // asked to start from a copy of DEFAULT
  bool playAfter = false;    // the Keyset on show maps PLAY (DEFAULT does, SYNTH does not)
};

class EditorNewKeyset : public ::testing::TestWithParam<NewKeysetCase> {};

TEST_P(EditorNewKeyset, AddsShowsOrRefuses) {
  const NewKeysetCase& c = GetParam();
  EditorRig rig({"SYNTH"});
  rig.chosenApplication = c.chosen;
  rig.copyDefault = c.copyDefault;
  rig.engine.Mapper.DefaultKeyset()->SetMapping(std::make_unique<ControlMapping>(*rig.Row(1204)))->Label.Set("Play");
  EditorDialog& dialog = rig.Open();
  dialog.Command(EditorCommand::kNewKeyset)->trigger();
  ASSERT_NE(dialog.ShownKeyset(), nullptr);
  EXPECT_EQ(dialog.ShownKeyset()->Name, c.shownAfter);
  const ControlMapping* play = dialog.ShownKeyset()->LookupMapping(1204);
  EXPECT_EQ(play && play->Label.Get() == "Play", c.playAfter);
  EXPECT_EQ(dialog.AppsMenu()->actions().size(), c.appsItemsAfter);
  EXPECT_EQ(dialog.ShownKeyset()->DeviceMode.load(), c.modeAfter);
  EXPECT_EQ(rig.messages.Texts(), std::string(c.message).empty() ? std::vector<std::string>{}
                                                                 : std::vector<std::string>{c.message});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.dir.Path()), {}), 0) << "nothing is written";
  for (QAction* item : dialog.AppsMenu()->actions()) EXPECT_EQ(item->isChecked(), item->text() == c.shownAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditorNewKeyset,
    ::testing::Values(NewKeysetCase{"cancelled", "", "DEFAULT", 2, kModeHost, "", false, true},
                      NewKeysetCase{"a new application", "/usr/bin/seq24", "SEQ24", 3, kModeHost, ""},
                      NewKeysetCase{"a copy of default", "/usr/bin/seq24", "SEQ24", 3, kModeHost, "", true, true},
                      NewKeysetCase{"protools gets kelo", "/opt/ProTools.exe", "PROTOOLS", 3, kModeKelo, ""},
                      NewKeysetCase{"an existing keyset gets no second item", "/usr/bin/synth", "SYNTH", 2, kModeHost, ""},
                      NewKeysetCase{"an existing keyset is not overwritten by a copy", "/usr/bin/synth", "SYNTH", 2,
                                    kModeHost, "", true, false},
                      NewKeysetCase{"default refused", "/tmp/default.exe", "DEFAULT", 2, kModeHost,
                                    "Can not create a map for an app with name:default", false, true}),
    test::NameFromWhat{});

TEST(EditorDialog, ANewKeysetForALinkIsNamedAfterTheProgramItLeadsTo) {
  test::TempDir programs;
  programs.Write("vim.basic", "");
  std::filesystem::create_symlink(programs.Path() / "vim.basic", programs.Path() / "vi");
  EditorRig rig;
  rig.chosenApplication = QString::fromStdString((programs.Path() / "vi").string());
  EditorDialog& dialog = rig.Open();
  dialog.Command(EditorCommand::kNewKeyset)->trigger();
  EXPECT_EQ(dialog.ShownKeyset()->Name, "VIM");
}

TEST(EditorDialog, ANewKeysetReachesItsFileWhenTheEditorCloses) {
  EditorRig rig;
  rig.chosenApplication = "/usr/bin/seq24";
  EditorDialog& dialog = rig.Open();
  dialog.show();
  dialog.Command(EditorCommand::kNewKeyset)->trigger();
  EXPECT_EQ(dialog.AppsMenu()->actions().back()->data().toInt(), kFirstAppsCommand + 1);
  dialog.close();
  EXPECT_TRUE(rig.dir.Exists("SEQ24.orvo"));
}

}  // namespace
}  // namespace orvo
