// The "MIDI Map" tab: the rows the radio buttons enable, showing a mapping's rewrite rule,
// storing it back with "Apply", and the hexadecimal byte boxes.
#include "editor/midi_map_panel.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <string>
#include <vector>

#include "editor/hex_byte_edit.h"
#include "os/fake/recording_messages.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"
#include "support/panel_test_target.h"

namespace orvo {
namespace {

constexpr ControlId kFader1 = 1224;

using Messages = std::vector<std::string>;

enum class Rule { kNative, kCustom1, kCustom2 };

// The four boxes in reading order: Custom 1 status, data; Custom 2 status, data.
struct Boxes {
  const char* c1Status;
  const char* c1Data;
  const char* c2Status;
  const char* c2Data;
};

class MidiMapPanelTest : public ::testing::Test {
 protected:
  MidiMapPanelTest() {
    target_.keyset = &keyset_;
    target_.selected = LookupControlById(kFader1);
  }

  ControlMapping& Mapping() { return test::AddBlankMapping(keyset_, *target_.selected); }

  QRadioButton* Button(Rule rule) const {
    switch (rule) {
      case Rule::kCustom1: return panel_.Custom1Button();
      case Rule::kCustom2: return panel_.Custom2Button();
      default: return panel_.NativeButton();
    }
  }

  Boxes Texts() {
    texts_ = {panel_.Custom1Status()->text().toStdString(), panel_.Custom1Data()->text().toStdString(),
              panel_.Custom2Status()->text().toStdString(), panel_.Custom2Data()->text().toStdString()};
    return {texts_[0].c_str(), texts_[1].c_str(), texts_[2].c_str(), texts_[3].c_str()};
  }

  void SetBoxes(const Boxes& boxes) {
    panel_.Custom1Status()->setText(boxes.c1Status);
    panel_.Custom1Data()->setText(boxes.c1Data);
    panel_.Custom2Status()->setText(boxes.c2Status);
    panel_.Custom2Data()->setText(boxes.c2Data);
  }

  // Which of the two rows' fields are enabled; each row must be all one way.
  std::pair<bool, bool> EnabledRows() const {
    const auto row1 = {static_cast<QWidget*>(panel_.Custom1Status()), static_cast<QWidget*>(panel_.Custom1Data())};
    const auto row2 = {static_cast<QWidget*>(panel_.Custom2Status()), static_cast<QWidget*>(panel_.Custom2Data())};
    const bool first = panel_.Custom1Status()->isEnabled();
    const bool second = panel_.Custom2Status()->isEnabled();
    for (QWidget* field : row1) EXPECT_EQ(field->isEnabled(), first);
    for (QWidget* field : row2) EXPECT_EQ(field->isEnabled(), second);
    // The "Val" labels follow their rows: as many are enabled as rows are.
    int enabledVals = 0;
    for (QLabel* label : panel_.findChildren<QLabel*>())
      if (label->text() == "Val" && label->isEnabled()) ++enabledVals;
    EXPECT_EQ(enabledVals, int(first) + int(second));
    return {first, second};
  }

  QApplication& app_ = test::OffscreenApp();
  Keyset keyset_{"DEFAULT"};
  test::PanelTestTarget target_;
  RecordingMessages messages_;
  MidiMapPanel panel_{target_, messages_};
  std::vector<std::string> texts_;
};

TEST_F(MidiMapPanelTest, StartsNativeWithTheCustomRowsDisabled) {
  EXPECT_TRUE(panel_.NativeButton()->isChecked());
  EXPECT_EQ(EnabledRows(), std::make_pair(false, false));
  for (HexByteEdit* box : panel_.findChildren<HexByteEdit*>()) EXPECT_EQ(box->maxLength(), 2);
}

TEST_F(MidiMapPanelTest, EachRadioButtonEnablesOnlyItsRow) {
  panel_.Custom1Button()->click();
  EXPECT_EQ(EnabledRows(), std::make_pair(true, false));
  panel_.Custom2Button()->click();
  EXPECT_EQ(EnabledRows(), std::make_pair(false, true));
  EXPECT_FALSE(panel_.Custom1Button()->isChecked()) << "the three buttons are one group";
  panel_.NativeButton()->click();
  EXPECT_EQ(EnabledRows(), std::make_pair(false, false));
}

struct ShowCase {
  const char* what;
  uint8_t mapType;
  Rule rule;
  Boxes boxes;
};

class MidiMapPanelShow : public MidiMapPanelTest, public ::testing::WithParamInterface<ShowCase> {};

TEST_P(MidiMapPanelShow, SetsTheRuleAndTheBoxes) {
  const ShowCase& c = GetParam();
  SetBoxes({"11", "22", "33", "44"});  // left over from the control shown before
  ControlMapping& mapping = Mapping();
  mapping.MapType = static_cast<MapType>(c.mapType);
  mapping.DataA = 0x90;
  mapping.DataB = 0x09;

  panel_.ShowMidiMap(mapping);

  EXPECT_TRUE(Button(c.rule)->isChecked());
  const Boxes shown = Texts();
  EXPECT_STREQ(shown.c1Status, c.boxes.c1Status);
  EXPECT_STREQ(shown.c1Data, c.boxes.c1Data);
  EXPECT_STREQ(shown.c2Status, c.boxes.c2Status);
  EXPECT_STREQ(shown.c2Data, c.boxes.c2Data);
  EXPECT_EQ(EnabledRows(), std::make_pair(c.rule == Rule::kCustom1, c.rule == Rule::kCustom2));
}

INSTANTIATE_TEST_SUITE_P(
    Types, MidiMapPanelShow,
    ::testing::Values(ShowCase{"native", 0, Rule::kNative, {"", "", "", ""}},
                      ShowCase{"custom 1 bare", 1, Rule::kCustom1, {"", "", "", ""}},
                      ShowCase{"custom 2 bare", 2, Rule::kCustom2, {"", "", "", ""}},
                      ShowCase{"custom 1 both bytes", 3, Rule::kCustom1, {"90", " 9", "", ""}},
                      ShowCase{"custom 1 status", 4, Rule::kCustom1, {"90", "", "", ""}},
                      ShowCase{"custom 1 data", 5, Rule::kCustom1, {"", " 9", "", ""}},
                      ShowCase{"custom 2 both bytes", 6, Rule::kCustom2, {"", "", "90", " 9"}},
                      ShowCase{"custom 2 status", 7, Rule::kCustom2, {"", "", "90", ""}},
                      ShowCase{"custom 2 data", 8, Rule::kCustom2, {"", "", "", " 9"}},
                      ShowCase{"unknown type is sent natively", 9, Rule::kNative, {"", "", "", ""}}),
    test::NameFromWhat{});

struct ApplyCase {
  const char* what;
  Rule rule;
  Boxes boxes;
  MapType mapType;
  uint8_t dataA;
  uint8_t dataB;
};

class MidiMapPanelApply : public MidiMapPanelTest, public ::testing::WithParamInterface<ApplyCase> {};

TEST_P(MidiMapPanelApply, StoresTheRule) {
  const ApplyCase& c = GetParam();
  ControlMapping& mapping = Mapping();
  mapping.MapType = MapType::kCustom1Data;
  mapping.DataA = 0x11;
  mapping.DataB = 0x22;
  Button(c.rule)->click();
  SetBoxes(c.boxes);

  panel_.ApplyMapping();

  EXPECT_TRUE(messages_.Texts().empty());
  EXPECT_EQ(mapping.MapType.load(), c.mapType);
  EXPECT_EQ(mapping.DataA.load(), c.dataA);
  EXPECT_EQ(mapping.DataB.load(), c.dataB);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MidiMapPanelApply,
    ::testing::Values(
        ApplyCase{"custom 1 both", Rule::kCustom1, {"B0", "07", "", ""}, MapType::kCustom1StatusData, 0xB0, 0x07},
        ApplyCase{"custom 1 status only", Rule::kCustom1, {"b0", "", "", ""}, MapType::kCustom1Status, 0xB0, 0x22},
        ApplyCase{"custom 1 data only", Rule::kCustom1, {"", "7", "", ""}, MapType::kCustom1Data, 0x11, 0x07},
        ApplyCase{"custom 1 both empty", Rule::kCustom1, {"", "", "C0", "01"}, MapType::kCustom1, 0x11, 0x22},
        ApplyCase{"custom 2 both", Rule::kCustom2, {"", "", "B0", "7F"}, MapType::kCustom2StatusData, 0xB0, 0x7F},
        ApplyCase{"custom 2 status only", Rule::kCustom2, {"", "", "B0", ""}, MapType::kCustom2Status, 0xB0, 0x22},
        ApplyCase{"custom 2 data only", Rule::kCustom2, {"", "", "", "40"}, MapType::kCustom2Data, 0x11, 0x40},
        ApplyCase{"custom 2 both empty", Rule::kCustom2, {"90", "01", "", ""}, MapType::kCustom2, 0x11, 0x22},
        ApplyCase{"space padded byte", Rule::kCustom2, {"", "", " 9", ""}, MapType::kCustom2Status, 0x09, 0x22},
        ApplyCase{"native leaves the data bytes", Rule::kNative, {"90", "01", "B0", "7F"}, MapType::kNative, 0x11, 0x22}),
    test::NameFromWhat{});

struct PreviewCase {
  const char* what;
  Rule rule;
  Boxes boxes;
  bool selected;
  const char* preview;
  const char* words;  // the same, as a musician reads it
};

class MidiMapPanelPreview : public MidiMapPanelTest, public ::testing::WithParamInterface<PreviewCase> {};

// The preview follows the boxes as they are typed, before anything is applied.
TEST_P(MidiMapPanelPreview, SaysWhatTheRuleSends) {
  const PreviewCase& c = GetParam();
  if (!c.selected) target_.selected = nullptr;
  Button(c.rule)->click();
  SetBoxes(c.boxes);
  EXPECT_EQ(panel_.Preview().toStdString(), c.preview);
  EXPECT_EQ(panel_.PreviewWords().toStdString(), c.words);
  EXPECT_EQ(keyset_.Count(), 0u) << "a preview stores nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MidiMapPanelPreview,
    ::testing::Values(
        PreviewCase{"native", Rule::kNative, {"90", "01", "", ""}, true, "BF 00 vv \u2192 BF 00 vv", "CC 0, ch 16"},
        PreviewCase{"custom 1 both", Rule::kCustom1, {"B0", "07", "", ""}, true, "BF 00 vv \u2192 B0 07 vv",
                    "CC 7, ch 1"},
        PreviewCase{"custom 1 status", Rule::kCustom1, {"b0", "", "", ""}, true, "BF 00 vv \u2192 B0 00 vv",
                    "CC 0, ch 1"},
        PreviewCase{"custom 1 bare", Rule::kCustom1, {"", "", "C0", ""}, true, "BF 00 vv \u2192 BF 00 vv",
                    "CC 0, ch 16"},
        PreviewCase{"custom 2 status", Rule::kCustom2, {"", "", "B0", ""}, true, "BF 00 vv \u2192 B0 vv 00",
                    "CC (value) = 0, ch 1"},
        PreviewCase{"custom 2 both", Rule::kCustom2, {"", "", "B0", " 9"}, true, "BF 00 vv \u2192 B0 vv 09",
                    "CC (value) = 9, ch 1"},
        PreviewCase{"custom 2 data", Rule::kCustom2, {"", "", "", "40"}, true, "BF 00 vv \u2192 BF vv 40",
                    "CC (value) = 64, ch 16"},
        PreviewCase{"note on, top note", Rule::kCustom1, {"9F", "7F", "", ""}, true, "BF 00 vv \u2192 9F 7F vv",
                    "Note on G8 (127), ch 16"},
        PreviewCase{"pitch bend, value coarse", Rule::kCustom1, {"E0", " 0", "", ""}, true,
                    "BF 00 vv \u2192 E0 00 vv", "Pitch bend (value \u00d7 128), ch 1"},
        PreviewCase{"program change", Rule::kCustom1, {"C1", " 5", "", ""}, true, "BF 00 vv \u2192 C1 05 vv",
                    "Program change 5, ch 2"},
        PreviewCase{"no control selected", Rule::kCustom1, {"B0", "07", "", ""}, false, "", ""}),
    test::NameFromWhat{});

// The musician's fields and the hexadecimal boxes of the row in use say the same, whichever
// was set: a box typed shows in the fields, a field set writes the boxes.
struct WordsCase {
  const char* what;
  Rule rule;          // the row chosen before
  Boxes boxes;        // as typed, or as the fields must write them
  const char* kind;   // the type list's text
  int channel;        // 1-16; 0: disabled (the surface's own)
  int number;         // -1: as it is
  const char* note;   // the note name shown beside the number
};

class MidiMapPanelWords : public MidiMapPanelTest, public ::testing::WithParamInterface<WordsCase> {
 protected:
  void ExpectFields(const WordsCase& c) {
    EXPECT_EQ(panel_.KindBox()->currentText().toStdString(), c.kind);
    EXPECT_EQ(panel_.ChannelBox()->isEnabled(), c.channel != 0);
    if (c.channel) {
      EXPECT_EQ(panel_.ChannelBox()->value(), c.channel);
    }
    EXPECT_EQ(panel_.NumberBox()->value(), c.number);
    EXPECT_EQ(panel_.NoteLabel()->text().toStdString(), c.note);
  }
};

TEST_P(MidiMapPanelWords, BoxesShowInTheFields) {
  const WordsCase& c = GetParam();
  Button(c.rule == Rule::kNative ? Rule::kCustom1 : c.rule)->click();  // "Native" sends no box
  SetBoxes(c.boxes);
  ExpectFields(c);
}

TEST_P(MidiMapPanelWords, FieldsWriteTheBoxes) {
  const WordsCase& c = GetParam();
  Button(c.rule)->click();
  panel_.KindBox()->setCurrentIndex(panel_.KindBox()->findText(c.kind));
  if (c.channel) panel_.ChannelBox()->setValue(c.channel);
  panel_.NumberBox()->setValue(c.number);
  // A field set on "Native" chooses "Custom 1:", where the control's value stays last.
  EXPECT_TRUE(Button(c.rule == Rule::kNative ? Rule::kCustom1 : c.rule)->isChecked());
  const Boxes shown = Texts();
  const Boxes& want = c.boxes;
  EXPECT_STREQ(shown.c1Status, want.c1Status);
  EXPECT_STREQ(shown.c1Data, want.c1Data);
  EXPECT_STREQ(shown.c2Status, want.c2Status);
  EXPECT_STREQ(shown.c2Data, want.c2Data);
  ExpectFields(c);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MidiMapPanelWords,
    ::testing::Values(
        WordsCase{"cc 74 on channel 1", Rule::kNative, {"B0", "4A", "", ""}, "Control change", 1, 74, ""},
        WordsCase{"channel 16", Rule::kCustom1, {"BF", " 7", "", ""}, "Control change", 16, 7, ""},
        WordsCase{"top note", Rule::kCustom1, {"90", "7F", "", ""}, "Note on", 1, 127, "G8"},
        WordsCase{"middle c off", Rule::kCustom1, {"83", "3C", "", ""}, "Note off", 4, 60, "C3"},
        WordsCase{"pitch bend", Rule::kCustom1, {"E2", " 0", "", ""}, "Pitch bend", 3, 0, ""},
        WordsCase{"program change", Rule::kCustom1, {"C0", " 5", "", ""}, "Program change", 1, 5, ""},
        WordsCase{"number alone keeps the type", Rule::kCustom1, {"", "40", "", ""}, "As it is", 0, 64, ""},
        WordsCase{"custom 2 fixes the last byte", Rule::kCustom2, {"", "", "B0", "7F"}, "Control change", 1, 127,
                  ""}),
    test::NameFromWhat{});

// "Learn" takes the next message that arrives, once, into the row in use.
TEST_F(MidiMapPanelTest, LearnTakesTheNextMessageOnce) {
  EXPECT_FALSE(panel_.Learn(0xB0, 0x4A)) << "not learning";
  panel_.LearnButton()->click();
  EXPECT_FALSE(panel_.Learn(0xF8, 0x00)) << "a system message has no channel";
  EXPECT_TRUE(panel_.Learn(0xBF, 0x4A));
  EXPECT_TRUE(panel_.Custom1Button()->isChecked());
  EXPECT_EQ(panel_.Preview().toStdString(), "BF 00 vv \u2192 BF 4A vv");
  EXPECT_EQ(panel_.PreviewWords().toStdString(), "CC 74, ch 16");
  EXPECT_FALSE(panel_.IsLearning());
  EXPECT_FALSE(panel_.Learn(0x90, 0x3C));
  EXPECT_EQ(keyset_.Count(), 0u) << "learning stores nothing before Apply";
}

TEST_F(MidiMapPanelTest, ShownByteBelow16IsAppliedBackUnchanged) {
  ControlMapping& mapping = Mapping();
  mapping.MapType = MapType::kCustom1Status;
  mapping.DataA = 0x09;
  panel_.ShowMidiMap(mapping);
  ASSERT_EQ(panel_.Custom1Status()->text(), " 9");
  mapping.DataA = 0x55;  // proves Apply writes the box's byte

  panel_.ApplyMapping();
  EXPECT_EQ(mapping.MapType.load(), MapType::kCustom1Status);
  EXPECT_EQ(mapping.DataA.load(), 0x09);
}

struct RefusalCase {
  const char* what;
  bool withKeyset;
  bool withSelection;
  const char* message;
};

class MidiMapPanelRefusals : public MidiMapPanelTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MidiMapPanelRefusals, StoreNothing) {
  const RefusalCase& c = GetParam();
  if (!c.withKeyset) target_.keyset = nullptr;
  if (!c.withSelection) target_.selected = nullptr;
  panel_.Custom1Button()->click();
  SetBoxes({"B0", "07", "", ""});

  panel_.ApplyMapping();
  EXPECT_EQ(messages_.Texts(), Messages{c.message});
  EXPECT_EQ(keyset_.Count(), 0u);
}

// A control selected before this Keyset came on show has no mapping in it yet.
TEST_F(MidiMapPanelTest, ApplyMakesTheMappingTheControlHasNotYet) {
  panel_.Custom1Button()->click();
  SetBoxes({"B0", "07", "", ""});
  panel_.ApplyMapping();
  EXPECT_TRUE(messages_.Texts().empty());
  const ControlMapping* made = keyset_.LookupMapping(kFader1);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->MapType.load(), MapType::kCustom1StatusData);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MidiMapPanelRefusals,
    ::testing::Values(RefusalCase{"no Keyset", false, true, "Select a Keyset first"},
                      RefusalCase{"no control", true, false, "Select a map for this key first"}),
    test::NameFromWhat{});

// Typing, editing and pasting into one byte box.
class HexByteEditTest : public ::testing::Test {
 protected:
  void Type(const QString& keys) {
    for (QChar ch : keys) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
      QApplication::sendEvent(&box_, &press);
    }
  }
  void PressKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, key == Qt::Key_Backspace ? QStringLiteral("\b") : QString());
    QApplication::sendEvent(&box_, &press);
  }

  QApplication& app_ = test::OffscreenApp();
  HexByteEdit box_;
};

TEST_F(HexByteEditTest, TypingLetsThroughOnlyTwoHexDigits) {
  Type("g-x 1");
  EXPECT_EQ(box_.text(), "1");
  Type("zf3");
  EXPECT_EQ(box_.text(), "1f") << "the third digit is refused";
  PressKey(Qt::Key_Backspace);
  EXPECT_EQ(box_.text(), "1");
  Type("A");
  EXPECT_EQ(box_.text(), "1A");
}

struct PasteCase {
  const char* what;
  const char* pasted;
  const char* result;
};

class HexByteEditPaste : public HexByteEditTest, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(HexByteEditPaste, KeepsOnlyTheDigits) {
  const PasteCase& c = GetParam();
  QApplication::clipboard()->setText(c.pasted);
  PressKey(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(box_.text(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Texts, HexByteEditPaste,
                         ::testing::Values(PasteCase{"plain byte", "7f", "7f"},
                                           PasteCase{"with prefix", "0x1F", "1F"},
                                           PasteCase{"padded", "  B0\n", "B0"},
                                           PasteCase{"junk between", "Z9;Q", "9"},
                                           PasteCase{"too long", "12345", "12"},
                                           PasteCase{"nothing usable", "xyz!", ""}),
                         test::NameFromWhat{});

TEST_F(HexByteEditTest, TextSetByTheProgramStaysAndEditingDropsTheSpace) {
  box_.setText(" 9");
  EXPECT_EQ(box_.text(), " 9");
  box_.setCursorPosition(2);
  PressKey(Qt::Key_Backspace);  // leaves " ", which is no digit
  EXPECT_EQ(box_.text(), "");
}

}  // namespace
}  // namespace orvo
