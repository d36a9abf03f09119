// The foreground window's program on Windows, under Wine with a display.
#include "os/windows/focus.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "os/windows/process_name.h"
#include "os/windows/window_list.h"
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

  // "New Keyset" offers the window with its program's executable.
  const std::vector<ListedWindow> listed = ListProgramWindows();
  const auto own = std::find_if(listed.begin(), listed.end(),
                                [](const ListedWindow& w) { return w.processId == GetCurrentProcessId(); });
  ASSERT_NE(own, listed.end());
  EXPECT_EQ(own->title, "Orvo test window");
  EXPECT_TRUE(own->executable.ends_with("windows_focus_test.exe")) << own->executable;
}

TEST(WindowsForeground, AProcessThatIsNotThereHasNoName) {
  EXPECT_EQ(ProcessExecutableBaseName(0xFFFFFFF0u), "");
  EXPECT_EQ(ProcessExecutableBaseName(GetCurrentProcessId()), "windows_focus_test");
}

}  // namespace
}  // namespace orvo
