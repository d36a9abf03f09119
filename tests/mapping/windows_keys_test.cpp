// Keystrokes through SendInput into a window of the test's own, under Wine with a display:
// the window sees the stored virtual-key and scan codes, as from a keyboard.
#include "os/windows/keys.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "support/win32_test_window.h"

namespace orvo {
namespace {

std::vector<test::KeyMessage> Downs(const std::vector<test::KeyMessage>& keys) {
  std::vector<test::KeyMessage> downs;
  for (const auto& key : keys)
    if (key.message == WM_KEYDOWN) downs.push_back(key);
  return downs;
}

TEST(SendInputInjector, TypesStoredKeysWithTheirScanCodesIntoTheWindowInFront) {
  test::Win32TestWindow window;
  if (!window.InFront()) GTEST_SKIP() << "no desktop to put a window in front on";
  SendInputInjector injector;
  const KeyboardInput keys[] = {
      {0x41, 0x1E, 0}, {0x41, 0x1E, kKeyEventKeyUp},                          // A
      {0x74, 0x3F, 0}, {0x74, 0x3F, kKeyEventKeyUp},                          // F5
      {0x20, 0x39, 0}, {0x20, 0x39, kKeyEventKeyUp},                          // Space
      {0x27, 0x4D, kKeyEventExtendedKey}, {0x27, 0x4D, kKeyEventExtendedKey | kKeyEventKeyUp},  // Right
      {VK_CONTROL, 0, 0}, {0x53, 0x1F, 0}, {0x53, 0x1F, kKeyEventKeyUp}, {VK_CONTROL, 0, kKeyEventKeyUp},  // Ctrl+S
  };
  injector.SendInput(keys, sizeof keys / sizeof keys[0]);
  ASSERT_TRUE(test::Win32TestWindow::PumpUntil([&] { return Downs(window.Keys()).size() >= 6; }));
  const auto downs = Downs(window.Keys());
  ASSERT_EQ(downs.size(), 6u);
  const WPARAM virtualKeys[] = {0x41, 0x74, 0x20, 0x27, VK_CONTROL, 0x53};
  const unsigned scanCodes[] = {0x1E, 0x3F, 0x39, 0x4D, 0x1D, 0x1F};  // Ctrl's from the key map
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(downs[i].wParam, virtualKeys[i]) << i;
    EXPECT_EQ(downs[i].scanCode, scanCodes[i]) << i;
    EXPECT_EQ(downs[i].extended, i == 3) << i;
  }
  bool controlS = false;
  for (const auto& key : window.Keys()) controlS = controlS || (key.message == WM_CHAR && key.wParam == 0x13);
  EXPECT_TRUE(controlS);
  EXPECT_EQ(injector.RefusedInputs(), 0u);
}

}  // namespace
}  // namespace orvo
