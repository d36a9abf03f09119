// The "Key Map" tab: capturing a keystroke into the selected control's mapping, the
// modifier boxes, the key text, "Apply" and the label box's check.
#include "editor/key_map_panel.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>

#include <string>
#include <vector>

#include "editor/key_capture_edit.h"
#include "editor/label_text.h"
#include "os/fake/recording_messages.h"
#include "platform/key_map.h"
#include "support/case_names.h"
#include "support/key_events.h"
#include "support/offscreen_app.h"
#include "support/panel_test_target.h"

namespace orvo {
namespace {

constexpr ControlId kFader1 = 1224;
constexpr uint32_t kAFlags = 0x1Eu << 16;  // the A key's scan code in the high half
constexpr uint32_t kBFlags = 0x30u << 16;

using Messages = std::vector<std::string>;

class KeyMapPanelTest : public ::testing::Test {
 protected:
  KeyMapPanelTest() {
    target_.keyset = &keyset_;
    target_.selected = LookupControlById(kFader1);
    panel_.SetModifierQuery([this] { return held_; });
    panel_.KeyBox()->SetNativeKeycodes(NativeKeycodes::kXkb);
  }

  ControlMapping& Mapping() { return test::AddBlankMapping(keyset_, *target_.selected); }

  // A key pressed in the key box while `held_` is down.
  void Press(int qtKey, uint16_t evdev) {
    test::SendKeyPress(panel_.KeyBox(), qtKey, held_, X11KeycodeFromEvdev(evdev));
    test::SendKeyRelease(panel_.KeyBox(), qtKey, held_, X11KeycodeFromEvdev(evdev));
  }

  QApplication& app_ = test::OffscreenApp();
  Keyset keyset_{"DEFAULT"};
  test::PanelTestTarget target_;
  RecordingMessages messages_;
  KeyMapPanel panel_{target_, messages_};
  Qt::KeyboardModifiers held_ = Qt::NoModifier;
};

TEST_F(KeyMapPanelTest, StartsWithThePlaceholderNameAndEmptyBoxes) {
  EXPECT_EQ(panel_.SelectedName(), "<Selected Ctrl>");
  EXPECT_TRUE(panel_.Label().isEmpty());
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_TRUE(panel_.KeyBox()->isReadOnly());
  EXPECT_EQ(panel_.ShiftBox()->text(), "Shft");
  EXPECT_EQ(panel_.AltBox()->text(), "Alt");
  EXPECT_EQ(panel_.CtrlBox()->text(), "Ctrl");
}

TEST_F(KeyMapPanelTest, CtrlThenAWhileHeldStoresCtrlA) {
  ControlMapping& mapping = Mapping();
  panel_.ShowKeyText(0x42, kBFlags);
  ASSERT_EQ(panel_.KeyText(), "B");

  held_ = Qt::ControlModifier;
  Press(Qt::Key_Control, 29);
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_EQ(mapping.KeyFlags.load(), kNoKey) << "a modifier alone stores nothing";

  Press(Qt::Key_A, 30);
  EXPECT_EQ(mapping.KeyCode.load(), 0x41);
  EXPECT_EQ(mapping.KeyFlags.load(), kModCtrl | kAFlags);
  EXPECT_EQ(panel_.KeyText(), "Ctrl+A");
  EXPECT_TRUE(panel_.CtrlBox()->isChecked());
  EXPECT_FALSE(panel_.AltBox()->isChecked());
  EXPECT_FALSE(panel_.ShiftBox()->isChecked());
  EXPECT_TRUE(messages_.Texts().empty());
}

TEST_F(KeyMapPanelTest, ShiftAloneEmptiesTheBoxAndChangesNothing) {
  ControlMapping& mapping = Mapping();
  mapping.KeyCode = 0x42;
  mapping.KeyFlags = kBFlags;
  panel_.ShowKeyText(0x42, kBFlags);

  held_ = Qt::ShiftModifier;
  Press(Qt::Key_Shift, 42);
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_EQ(mapping.KeyCode.load(), 0x42);
  EXPECT_EQ(mapping.KeyFlags.load(), kBFlags);
  EXPECT_FALSE(panel_.ShiftBox()->isChecked());
}

TEST_F(KeyMapPanelTest, TickedModifierStaysInForceUntilCleared) {
  ControlMapping& mapping = Mapping();
  held_ = Qt::ControlModifier;
  Press(Qt::Key_A, 30);
  held_ = Qt::NoModifier;

  Press(Qt::Key_B, 48);
  EXPECT_EQ(panel_.KeyText(), "Ctrl+B");
  EXPECT_EQ(mapping.KeyFlags.load(), kModCtrl | kBFlags);

  panel_.CtrlBox()->click();  // clears it, and its key-down empties the key box
  EXPECT_FALSE(panel_.CtrlBox()->isChecked());
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_EQ(mapping.KeyFlags.load(), kModCtrl | kBFlags) << "the box's key-down stores nothing";

  Press(Qt::Key_B, 48);
  EXPECT_EQ(panel_.KeyText(), "B");
  EXPECT_EQ(mapping.KeyCode.load(), 0x42);
  EXPECT_EQ(mapping.KeyFlags.load(), kBFlags);
}

TEST_F(KeyMapPanelTest, TickedBoxesAndHeldKeysCombine) {
  ControlMapping& mapping = Mapping();
  panel_.AltBox()->click();
  held_ = Qt::ShiftModifier | Qt::ControlModifier;
  Press(Qt::Key_A, 30);
  EXPECT_EQ(panel_.KeyText(), "Ctrl+Alt+Shft+A");
  EXPECT_EQ(mapping.KeyFlags.load(), kModCtrl | kModAlt | kModShift | kAFlags);
}

TEST_F(KeyMapPanelTest, ClickingAModifierBoxHandsTheKeyboardBackToTheKeyBox) {
  Mapping();
  test::ShowActive(panel_);
  panel_.CtrlBox()->setFocus();  // as the mouse click on it does
  panel_.CtrlBox()->click();
  EXPECT_TRUE(panel_.KeyBox()->hasFocus());
}

TEST_F(KeyMapPanelTest, ExtendedArrowKeepsItsFlagAndNameApartFromTheKeypadKey) {
  ControlMapping& mapping = Mapping();
  Press(Qt::Key_Right, 106);
  const uint32_t arrowFlags = mapping.KeyFlags.load();
  const QString arrowText = panel_.KeyText();
  EXPECT_EQ(mapping.KeyCode.load(), 0x27);
  EXPECT_EQ(arrowFlags, (0x4Du << 16) | kKeyFlagsExtended);

  Press(Qt::Key_6, 77);
  EXPECT_EQ(mapping.KeyFlags.load(), 0x4Du << 16);
  EXPECT_EQ(mapping.KeyCode.load(), 0x66);
  EXPECT_NE(panel_.KeyText(), arrowText);
  EXPECT_EQ(arrowText.toStdString(), KeyNameFromFlags(arrowFlags));
}

// A control selected before this Keyset came on show has no mapping in it yet.
TEST_F(KeyMapPanelTest, KeyForAControlWithoutMappingIsStoredInANewOne) {
  Press(Qt::Key_A, 30);
  EXPECT_EQ(panel_.KeyText(), "A");
  const ControlMapping* made = keyset_.LookupMapping(kFader1);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->KeyCode.load(), 0x41);
  EXPECT_TRUE(messages_.Texts().empty());
}

struct RefusedCaptureCase {
  const char* what;
  bool withKeyset;
  bool withSelection;
  bool byAltBox;  // else the A key
  const char* message;
};

class KeyMapPanelRefusals : public KeyMapPanelTest, public ::testing::WithParamInterface<RefusedCaptureCase> {};

TEST_P(KeyMapPanelRefusals, SayWhatIsMissingAndEmptyTheKeyBox) {
  const RefusedCaptureCase& c = GetParam();
  ControlMapping& mapping = Mapping();
  panel_.ShowKeyText(0x42, kBFlags);
  if (!c.withKeyset) target_.keyset = nullptr;
  if (!c.withSelection) target_.selected = nullptr;

  if (c.byAltBox)
    panel_.AltBox()->click();
  else
    Press(Qt::Key_A, 30);

  EXPECT_EQ(messages_.Texts(), Messages{c.message});
  EXPECT_EQ(messages_.Icons(), std::vector<MessageIcon>{MessageIcon::kInformation});
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_EQ(mapping.KeyFlags.load(), kNoKey);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyMapPanelRefusals,
    ::testing::Values(RefusedCaptureCase{"Alt clicked with no control", true, false, true, "Select a control first"},
                      RefusedCaptureCase{"key with no control", true, false, false, "Select a control first"},
                      RefusedCaptureCase{"key with neither", false, false, false, "Select a control first"},
                      RefusedCaptureCase{"key with no Keyset", false, true, false, "Select a Keyset first"},
                      RefusedCaptureCase{"Alt clicked with no Keyset", false, true, true, "Select a Keyset first"}),
    test::NameFromWhat{});

TEST_F(KeyMapPanelTest, ShowKeyTextOfNoKeyEmptiesTheBoxAndKeepsTheModifierBoxes) {
  panel_.ShowKeyText(0x41, kModCtrl | kModShift | kAFlags);
  EXPECT_EQ(panel_.KeyText(), "Ctrl+Shft+A");
  EXPECT_TRUE(panel_.CtrlBox()->isChecked());
  EXPECT_TRUE(panel_.ShiftBox()->isChecked());

  panel_.ShowKeyText(0x41, kNoKey | kAFlags);  // whatever KeyCode holds
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_TRUE(panel_.CtrlBox()->isChecked());
  EXPECT_TRUE(panel_.ShiftBox()->isChecked());

  panel_.ShowKeyText(0x11, kModAlt | (0x1Du << 16));  // the Ctrl key itself names nothing
  EXPECT_TRUE(panel_.KeyText().isEmpty());
  EXPECT_FALSE(panel_.AltBox()->isChecked());
}

struct ApplyCase {
  const char* what;
  bool withKeyset;
  bool withSelection;
  bool withMapping;
  uint32_t keyFlags;
  const char* message;  // nullptr: none
  bool labelStored;
};

class KeyMapPanelApply : public KeyMapPanelTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(KeyMapPanelApply, StoresTheLabelAndChecksTheKey) {
  const ApplyCase& c = GetParam();
  Keyset* keyset = target_.keyset;
  ControlMapping* mapping = nullptr;
  if (c.withMapping) {
    mapping = &Mapping();
    mapping->KeyFlags = c.keyFlags;
  }
  if (!c.withKeyset) target_.keyset = nullptr;
  if (!c.withSelection) target_.selected = nullptr;
  panel_.SetLabel("Vol");
  test::ShowActive(panel_);
  panel_.LabelBox()->setFocus();

  panel_.ApplyMapping();

  EXPECT_EQ(messages_.Texts(), c.message ? Messages{c.message} : Messages{});
  if (!mapping) mapping = keyset->LookupMapping(kFader1);
  if (c.labelStored) {
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(mapping->Label.Get(), "Vol");
  } else if (mapping) {
    EXPECT_EQ(mapping->Label.Get(), "");
  }
  const bool invalidKey = c.message && std::string(c.message) == "Invalid Key and/or Modifiers";
  EXPECT_EQ(panel_.KeyBox()->hasFocus(), invalidKey);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyMapPanelApply,
    ::testing::Values(
        ApplyCase{"new mapping without key", true, true, true, kNoKey, "Invalid Key and/or Modifiers", true},
        ApplyCase{"assigned key", true, true, true, kModCtrl | kAFlags, nullptr, true},
        ApplyCase{"no Keyset", false, true, true, kModCtrl | kAFlags, "Select a Keyset first", false},
        ApplyCase{"no control selected", true, false, true, kAFlags, "Select a map for this key first", false},
        ApplyCase{"no mapping yet makes a blank one", true, true, false, kAFlags, "Invalid Key and/or Modifiers", true}),
    test::NameFromWhat{});

TEST_F(KeyMapPanelTest, LabelBoxLosingTheFocusWithNoControlSaysSo) {
  test::ShowActive(panel_);
  panel_.LabelBox()->setFocus();
  panel_.SetLabel("Vol");
  target_.selected = nullptr;
  panel_.FocusKeyCapture();
  QCoreApplication::processEvents();  // told once the focus has settled
  EXPECT_EQ(messages_.Texts(), Messages{"Select a control first"});
  EXPECT_TRUE(panel_.Label().isEmpty());
}

TEST_F(KeyMapPanelTest, LabelBoxLosingTheFocusWithAControlKeepsItsText) {
  test::ShowActive(panel_);
  panel_.LabelBox()->setFocus();
  panel_.SetLabel("Vol");
  panel_.FocusKeyCapture();
  QCoreApplication::processEvents();
  EXPECT_TRUE(panel_.KeyBox()->hasFocus());
  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_EQ(panel_.Label(), "Vol");
}

// ---- Label bytes: shown as UTF-8 when they are, else as Windows-1252; typed text stored
// in Windows-1252 when it fits, else UTF-8; bytes on show kept while their text is.

struct LabelCase {
  const char* what;
  std::string bytes;
  QString shown;
  std::string current;  // the bytes on show when the text is applied
};

class LabelTextTest : public testing::TestWithParam<LabelCase> {};

TEST_P(LabelTextTest, ShowsAndStores) {
  const LabelCase& c = GetParam();
  EXPECT_EQ(LabelForDisplay(c.bytes), c.shown);
  EXPECT_EQ(LabelBytes(c.shown, c.current), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LabelTextTest,
    testing::Values(LabelCase{"ascii", "Vol 1:2", "Vol 1:2", ""},
                    LabelCase{"latin byte", "M\xE4rz", QString::fromUtf8("M\u00E4rz"), ""},
                    LabelCase{"windows high bytes", "\x80\x8A\x9F", QString::fromUtf8("\u20AC\u0160\u0178"), ""},
                    LabelCase{"unassigned high byte", "\x81", QString(QChar(0x81)), ""},
                    LabelCase{"lone lead byte", "\xC3", QString::fromUtf8("\u00C3"), ""},
                    LabelCase{"overlong form", "\xC0\xAF", QString::fromUtf8("\u00C0\u00AF"), ""},
                    LabelCase{"text beyond the code page", "\xE2\x86\x92 \xC3\xA4", QString::fromUtf8("\u2192 \u00E4"), ""},
                    LabelCase{"utf-8 on show kept", "\xC3\xA4", QString::fromUtf8("\u00E4"), "\xC3\xA4"},
                    LabelCase{"edited utf-8 stored 8-bit", "\xE4!", QString::fromUtf8("\u00E4!"), "\xC3\xA4"}),
    test::NameFromWhat());

}  // namespace
}  // namespace orvo
