// The key box: which stored key a key event becomes, and that every key-down is captured
// instead of typing, moving the focus, firing a shortcut or ending the dialog.
#include "editor/key_capture_edit.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QVBoxLayout>

#include <vector>

#include "editor/key_event_codes.h"
#include "support/case_names.h"
#include "support/key_events.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

constexpr quint32 X11(uint16_t evdev) { return X11KeycodeFromEvdev(evdev); }

struct KeyEventCase {
  const char* what;
  int qtKey;
  Qt::KeyboardModifiers modifiers;
  quint32 nativeCode;
  NativeKeycodes numbering;
  uint16_t virtualKey;
  uint32_t flagsWord;
};

class KeyEventCodes : public ::testing::TestWithParam<KeyEventCase> {};

TEST_P(KeyEventCodes, GiveTheWindowsKeyAndFlagsWord) {
  test::OffscreenApp();
  const KeyEventCase& c = GetParam();
  const QKeyEvent event(QEvent::KeyPress, c.qtKey, c.modifiers, c.nativeCode, 0, 0);
  const auto captured = CaptureFromKeyEvent(event, c.numbering);
  ASSERT_TRUE(captured.has_value());
  EXPECT_EQ(captured->virtualKey, c.virtualKey);
  EXPECT_EQ(captured->flagsWord, c.flagsWord);
}

constexpr auto kXkb = NativeKeycodes::kXkb;
constexpr auto kNone = NativeKeycodes::kUnknown;
constexpr Qt::KeyboardModifiers kNoMods = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kPad = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyEventCodes,
    ::testing::Values(
        KeyEventCase{"A by X keycode", Qt::Key_A, kNoMods, X11(30), kXkb, 0x41, 0x1E},
        KeyEventCase{"A by Qt key", Qt::Key_A, kNoMods, 0, kNone, 0x41, 0x1E},
        KeyEventCase{"shifted 1 by Qt key", Qt::Key_Exclam, Qt::ShiftModifier, 0, kNone, 0x31, 0x02},
        KeyEventCase{"Right arrow by X keycode", Qt::Key_Right, kNoMods, X11(106), kXkb, 0x27, 0x14D},
        KeyEventCase{"Right arrow by Qt key", Qt::Key_Right, kNoMods, 0, kNone, 0x27, 0x14D},
        KeyEventCase{"keypad 6 by X keycode", Qt::Key_6, kPad, X11(77), kXkb, 0x66, 0x4D},
        KeyEventCase{"keypad 6 by Qt key", Qt::Key_6, kPad, 0, kNone, 0x66, 0x4D},
        KeyEventCase{"keypad 6 without Num Lock is the same key", Qt::Key_Right, kPad, 0, kNone, 0x66, 0x4D},
        KeyEventCase{"keypad Enter", Qt::Key_Enter, kPad, 0, kNone, 0x0D, 0x11C},
        KeyEventCase{"Return", Qt::Key_Return, kNoMods, 0, kNone, 0x0D, 0x1C},
        KeyEventCase{"F10 with Alt", Qt::Key_F10, Qt::AltModifier, X11(68), kXkb, 0x79, 0x44},
        KeyEventCase{"Ctrl by X keycode", Qt::Key_Control, Qt::ControlModifier, X11(29), kXkb, 0x11, 0x1D},
        KeyEventCase{"right Ctrl by X keycode", Qt::Key_Control, Qt::ControlModifier, X11(97), kXkb, 0x11, 0x11D},
        KeyEventCase{"Alt by Qt key", Qt::Key_Alt, Qt::AltModifier, 0, kNone, 0x12, 0x38},
        KeyEventCase{"Shift by Qt key", Qt::Key_Shift, Qt::ShiftModifier, 0, kNone, 0x10, 0x2A},
        KeyEventCase{"Backtab is the Tab key", Qt::Key_Backtab, Qt::ShiftModifier, 0, kNone, 0x09, 0x0F},
        KeyEventCase{"Escape", Qt::Key_Escape, kNoMods, X11(1), kXkb, 0x1B, 0x01},
        KeyEventCase{"X keycode unknown to the key map falls back to the Qt key", Qt::Key_B, kNoMods, 255, kXkb,
                     0x42, 0x30},
        KeyEventCase{"native code ignored where it is no X keycode", Qt::Key_B, kNoMods, X11(30), kNone, 0x42, 0x30}),
    test::NameFromWhat{});

TEST(KeyEventCodes, KeyUnknownToTheKeyMapGivesNothing) {
  test::OffscreenApp();
  const QKeyEvent event(QEvent::KeyPress, Qt::Key_Launch5, Qt::NoModifier, 0, 0, 0);
  EXPECT_FALSE(CaptureFromKeyEvent(event, NativeKeycodes::kUnknown).has_value());
}

// A dialog holding the key box, another box, a default button and a menu shortcut; it
// counts the key events that reach it.
class CaptureDialog : public QDialog {
 public:
  CaptureDialog() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(keyBox = new KeyCaptureEdit(this));
    layout->addWidget(other = new QLineEdit(this));
    keyBox->SetNativeKeycodes(NativeKeycodes::kXkb);
    shortcut = new QAction(this);
    shortcut->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F));
    addAction(shortcut);
    QObject::connect(shortcut, &QAction::triggered, [this] { ++shortcutsFired; });
    QObject::connect(keyBox, &KeyCaptureEdit::keyDown,
                     [this](int virtualKey, int, uint32_t flagsWord) { captured.push_back({virtualKey, flagsWord}); });
  }

  KeyCaptureEdit* keyBox;
  QLineEdit* other;
  QAction* shortcut;
  int shortcutsFired = 0;
  int keyEventsSeen = 0;
  std::vector<std::pair<int, uint32_t>> captured;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    ++keyEventsSeen;
    QDialog::keyPressEvent(event);
  }
  void keyReleaseEvent(QKeyEvent* event) override {
    ++keyEventsSeen;
    QDialog::keyReleaseEvent(event);
  }
};

struct ClaimedKeyCase {
  const char* what;
  int qtKey;
  Qt::KeyboardModifiers modifiers;
  uint16_t evdev;
  int virtualKey;
};

class KeyCaptureEditClaims : public ::testing::TestWithParam<ClaimedKeyCase> {};

TEST_P(KeyCaptureEditClaims, TheKeyInsteadOfTheDialog) {
  test::OffscreenApp();
  const ClaimedKeyCase& c = GetParam();
  CaptureDialog dialog;
  test::ShowActive(dialog);
  dialog.keyBox->setFocus();
  ASSERT_TRUE(dialog.keyBox->hasFocus());

  EXPECT_TRUE(test::SendKeyPress(dialog.keyBox, c.qtKey, c.modifiers, X11(c.evdev)));
  EXPECT_TRUE(test::SendKeyRelease(dialog.keyBox, c.qtKey, c.modifiers, X11(c.evdev)));

  ASSERT_EQ(dialog.captured.size(), 1u);
  EXPECT_EQ(dialog.captured[0].first, c.virtualKey);
  EXPECT_TRUE(dialog.isVisible()) << "the dialog was ended";
  EXPECT_EQ(dialog.result(), 0);
  EXPECT_TRUE(dialog.keyBox->hasFocus()) << "the focus moved";
  EXPECT_EQ(dialog.shortcutsFired, 0);
  EXPECT_EQ(dialog.keyEventsSeen, 0);
  EXPECT_TRUE(dialog.keyBox->text().isEmpty()) << "the key typed into the box";
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyCaptureEditClaims,
                         ::testing::Values(ClaimedKeyCase{"Escape", Qt::Key_Escape, Qt::NoModifier, 1, 0x1B},
                                           ClaimedKeyCase{"Tab", Qt::Key_Tab, Qt::NoModifier, 15, 0x09},
                                           ClaimedKeyCase{"Backtab", Qt::Key_Backtab, Qt::ShiftModifier, 15, 0x09},
                                           ClaimedKeyCase{"Enter", Qt::Key_Return, Qt::NoModifier, 28, 0x0D},
                                           ClaimedKeyCase{"Down", Qt::Key_Down, Qt::NoModifier, 108, 0x28},
                                           ClaimedKeyCase{"Alt F shortcut", Qt::Key_F, Qt::AltModifier, 33, 0x46},
                                           ClaimedKeyCase{"letter", Qt::Key_Q, Qt::NoModifier, 16, 0x51}),
                         test::NameFromWhat{});

TEST(KeyCaptureEdit, KeysElsewhereInTheDialogStillWork) {
  test::OffscreenApp();
  CaptureDialog dialog;
  test::ShowActive(dialog);
  dialog.other->setFocus();
  test::SendKeyPress(dialog.other, Qt::Key_F, Qt::AltModifier);
  EXPECT_EQ(dialog.shortcutsFired, 1);
  test::SendKeyPress(dialog.other, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.captured.empty());
}

}  // namespace
}  // namespace orvo
