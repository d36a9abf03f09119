#include "os/x11/keys.h"

#include <gtest/gtest.h>
// Xlib after gtest: its macros (None, Bool) clash with gtest's names.
#include <X11/Xlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "harness/focus_client_process.h"
#include "support/case_names.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using test::FocusClientProcess;

KeyboardInput Down(uint16_t virtualKey, uint16_t scanCode = 0, uint32_t flags = 0) {
  return KeyboardInput{virtualKey, scanCode, flags};
}
KeyboardInput Up(uint16_t virtualKey, uint16_t scanCode = 0) {
  return KeyboardInput{virtualKey, scanCode, kKeyEventKeyUp};
}

// No key of the keyboard is down, as the server sees it.
bool NothingPressed() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  char keys[32];
  XQueryKeymap(display, keys);
  XCloseDisplay(display);
  for (char byte : keys)
    if (byte) return false;
  return true;
}

class XTestInjectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ORVO_SKIP_WITHOUT_DISPLAY();
    client_ = std::make_unique<FocusClientProcess>("typist", "typist");
    ASSERT_TRUE(client_->WaitReady());
    ASSERT_TRUE(injector_.Available()) << injector_.Why();
  }
  std::vector<std::string> Type(const std::vector<KeyboardInput>& records) {
    injector_.SendInput(records.data(), static_cast<uint32_t>(records.size()));
    return client_->KeyLinesUntilQuiet();
  }

  XTestInjector injector_;
  std::unique_ptr<FocusClientProcess> client_;
};

TEST_F(XTestInjectorTest, CtrlShiftAArrivesAsThatCombinationAndNothingStaysDown) {
  // As the dispatch lays them out: modifiers without scan codes, the key with its own.
  const auto lines = Type({Down(0x11), Down(0x10), Down(0x41, 0x1E), Up(0x41, 0x1E), Up(0x10), Up(0x11)});
  EXPECT_EQ(lines, test::kCtrlShiftATyped);
  EXPECT_TRUE(NothingPressed());
}

struct KeyCase {
  const char* what;
  uint16_t virtualKey;
  uint16_t scanCode;
  uint32_t downFlags;
  std::string pressLine;
  std::string releaseLine;
};

class XTestInjectorKeys : public XTestInjectorTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(XTestInjectorKeys, TypesThePhysicalKey) {
  const KeyCase& c = GetParam();
  // The up record does not repeat the extended flag; it must still release the same key.
  const auto lines = Type({Down(c.virtualKey, c.scanCode, c.downFlags), Up(c.virtualKey, c.scanCode)});
  EXPECT_EQ(lines, (std::vector<std::string>{c.pressLine, c.releaseLine}));
  EXPECT_TRUE(NothingPressed());
}

INSTANTIATE_TEST_SUITE_P(
    XTestInjector, XTestInjectorKeys,
    ::testing::Values(
        KeyCase{"extended right is the arrow", 0x27, 0x4D, kKeyEventExtendedKey,
                "press keycode=114 keysym=Right state=none", "release keycode=114 keysym=Right state=none"},
        KeyCase{"plain scan code 4D is the keypad key", 0x66, 0x4D, 0, "press keycode=85 keysym=KP_Right state=none",
                "release keycode=85 keysym=KP_Right state=none"},
        KeyCase{"extended enter is the keypad enter", 0x0D, 0x1C, kKeyEventExtendedKey,
                "press keycode=104 keysym=KP_Enter state=none", "release keycode=104 keysym=KP_Enter state=none"},
        KeyCase{"f5", 0x74, 0x3F, 0, "press keycode=71 keysym=F5 state=none",
                "release keycode=71 keysym=F5 state=none"},
        KeyCase{"space", 0x20, 0x39, 0, "press keycode=65 keysym=space state=none",
                "release keycode=65 keysym=space state=none"}),
    test::NameFromWhat{});

TEST_F(XTestInjectorTest, AnUnknownKeyTypesNothingOfTheCall) {
  const auto lines = Type({Down(0x11), Down(0xFF, 0x7F), Up(0xFF, 0x7F), Up(0x11)});
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(injector_.RejectedCalls(), 1u);
  EXPECT_TRUE(NothingPressed());
}

TEST_F(XTestInjectorTest, KeysLeftDownByACallAreReleasedAtItsEnd) {
  const auto lines = Type({Down(0x11), Down(0x12), Down(0x42, 0x30)});
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3].rfind("release keycode=56 ", 0), 0u) << lines[3];  // B first
  EXPECT_EQ(lines[5].rfind("release keycode=37 ", 0), 0u) << lines[5];  // Ctrl last
  EXPECT_TRUE(NothingPressed());
}

TEST(XTestInjectorWithoutDisplay, TypesNothingAndSaysWhy) {
  XTestInjector injector("");
  EXPECT_FALSE(injector.Available());
  EXPECT_NE(injector.Why().find("not typed"), std::string::npos) << injector.Why();
  const KeyboardInput records[] = {Down(0x41, 0x1E), Up(0x41, 0x1E)};
  injector.SendInput(records, 2);  // nothing happens, nothing breaks
}

}  // namespace
}  // namespace orvo
