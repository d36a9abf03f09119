// The foreground window's program on Windows, under Wine with a display.
#include "os/windows/focus.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "os/windows/process_name.h"
#include "support/win32_test_window.h"

namespace orvo {
namespace {

TEST(WindowsForeground, NamesTheProgramOfTheWindowInFrontAndKnowsTheEditorsWindows) {
  test::Win32TestWindow window;
  if (!window.InFront()) GTEST_SKIP() << "no desktop to put a window in front on";
  WindowsForeground foreground;
  ASSERT_TRUE(foreground.Available());
  ForegroundWindow found = foreground.Foreground();
  ASSERT_TRUE(found.found);
  EXPECT_EQ(found.processId, GetCurrentProcessId());
  EXPECT_EQ(found.ownerId, kOwnerOther);
  EXPECT_EQ(foreground.ProcessBaseName(found.processId), "windows_focus_test");

  foreground.EditorWindows().Add(static_cast<unsigned long>(reinterpret_cast<uintptr_t>(window.Handle())));
  EXPECT_EQ(foreground.Foreground().ownerId, kOwnerEditor);
}

TEST(WindowsForeground, AProcessThatIsNotThereHasNoName) {
  EXPECT_EQ(ProcessExecutableBaseName(0xFFFFFFF0u), "");
  EXPECT_EQ(ProcessExecutableBaseName(GetCurrentProcessId()), "windows_focus_test");
}

}  // namespace
}  // namespace orvo
