#include "os/x11/focus.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "harness/focus_client_process.h"
#include "platform/application_name.h"
#include "support/case_names.h"
#include "support/x11_test_window.h"

namespace orvo {
namespace {

using namespace std::chrono_literals;
using test::FocusClientProcess;

// Polls until the query reports `processId` as focused (the window manager needs a
// moment to act on a focus request).
bool WaitForFocus(X11Foreground& query, uint32_t processId, ForegroundWindow* seen = nullptr) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (std::chrono::steady_clock::now() < deadline) {
    const ForegroundWindow window = query.Foreground();
    if (window.found && window.processId == processId) {
      if (seen) *seen = window;
      return true;
    }
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

struct ClientCase {
  const char* what;
  const char* executable;
  bool setsPid;
  bool useActiveWindowProperty;
  const char* baseName;
};

class X11ForegroundClients : public ::testing::TestWithParam<ClientCase> {};

TEST_P(X11ForegroundClients, FindsTheFocusedClientAndItsExecutable) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  const ClientCase& c = GetParam();
  X11Foreground query(nullptr, X11ForegroundOptions{c.useActiveWindowProperty});
  ASSERT_TRUE(query.Available()) << query.Why();
  std::vector<std::string> args;
  if (!c.setsPid) args.push_back("--no-pid");
  FocusClientProcess client(c.executable, c.what, args);
  ASSERT_TRUE(client.WaitReady());

  ForegroundWindow seen;
  ASSERT_TRUE(WaitForFocus(query, static_cast<uint32_t>(client.Pid()), &seen));
  EXPECT_EQ(query.LastWindow(), client.Window());
  EXPECT_EQ(seen.ownerId, kOwnerOther);
  EXPECT_EQ(query.ProcessBaseName(seen.processId), c.baseName);
}

INSTANTIATE_TEST_SUITE_P(
    X11Foreground, X11ForegroundClients,
    ::testing::Values(ClientCase{"sequencer", "sequencer", true, true, "sequencer"},
                      ClientCase{"dotted name cut at first dot", "my.tool", true, true, "my"},
                      ClientCase{"no pid property asks the server", "Sequencer.Main.bin", false, true,
                                 "Sequencer"},
                      ClientCase{"input focus walks up to the client", "plain", true, false, "plain"},
                      ClientCase{"input focus and no pid property", "bare", false, false, "bare"}),
    test::NameFromWhat{});

TEST(X11Foreground, FollowsTheFocusFromOneClientToAnother) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  X11Foreground query;
  FocusClientProcess first("first", "first");
  ASSERT_TRUE(first.WaitReady());
  FocusClientProcess second("second", "second");
  ASSERT_TRUE(second.WaitReady());
  ASSERT_TRUE(WaitForFocus(query, static_cast<uint32_t>(second.Pid())));
  first.Send("focus");
  ASSERT_TRUE(WaitForFocus(query, static_cast<uint32_t>(first.Pid())));
  EXPECT_EQ(query.LastWindow(), first.Window());
}

TEST(X11Foreground, OwnWindowsAreToldApartByTheEditorSet) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  X11Foreground query;
  test::X11TestWindow editor("editor");
  test::X11TestWindow menu("menu");
  query.EditorWindows().Add(editor.Id());
  const auto self = static_cast<uint32_t>(getpid());

  // The window manager may take a moment to follow (and may first focus the window mapped
  // last); judge the sample that saw the window.
  auto sampleWhenFocused = [&](unsigned long window) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    ForegroundWindow sample;
    while (std::chrono::steady_clock::now() < deadline) {
      sample = query.Foreground();
      if (query.LastWindow() == window) break;
      std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(query.LastWindow(), window);
    return sample;
  };

  editor.TakeFocus();
  ForegroundWindow seen = sampleWhenFocused(editor.Id());
  EXPECT_EQ(seen.processId, self);
  EXPECT_EQ(seen.ownerId, kOwnerEditor);

  menu.TakeFocus();
  seen = sampleWhenFocused(menu.Id());
  EXPECT_EQ(seen.processId, self);
  EXPECT_EQ(seen.ownerId, kOwnerOther);

  query.EditorWindows().Remove(editor.Id());
  editor.TakeFocus();
  seen = sampleWhenFocused(editor.Id());
  EXPECT_EQ(seen.processId, self);
  EXPECT_EQ(seen.ownerId, kOwnerOther);
}

TEST(X11Foreground, WithoutADisplayItSaysWhyAndFindsNothing) {
  struct Case {
    const char* display;
    const char* mentions;
  };
  for (const Case& c : {Case{"", "DISPLAY is not set"}, Case{":97", "Cannot open the X11 display \":97\""}}) {
    X11Foreground query(c.display);
    EXPECT_FALSE(query.Available());
    EXPECT_NE(query.Why().find(c.mentions), std::string::npos) << query.Why();
    EXPECT_NE(query.Why().find("DEFAULT"), std::string::npos) << query.Why();
    EXPECT_FALSE(query.Foreground().found);
  }
}

TEST(X11Foreground, ProcessBaseNameOfAProcessThatIsGone) {
  X11Foreground query("");
  EXPECT_EQ(query.ProcessBaseName(0), "");
  EXPECT_EQ(query.ProcessBaseName(0x7FFFFFF0u), "");
  EXPECT_FALSE(query.ProcessBaseName(static_cast<uint32_t>(getpid())).empty());
}

TEST(X11Foreground, BaseNameOfExecutableCutsAtTheFirstDot) {
  EXPECT_EQ(BaseNameOfExecutable("/usr/bin/sequencer"), "sequencer");
  EXPECT_EQ(BaseNameOfExecutable("/opt/Sequencer.Main.exe"), "Sequencer");
  EXPECT_EQ(BaseNameOfExecutable("/tmp/x/my.tool (deleted)"), "my");
  EXPECT_EQ(BaseNameOfExecutable("/opt/.hidden"), "");
  EXPECT_EQ(BaseNameOfExecutable("plain"), "plain");
}

}  // namespace
}  // namespace orvo

namespace orvo {
namespace {

// A window manager may leave _NET_ACTIVE_WINDOW naming a window that is gone, and its id
// may be handed to another client later: it must not decide whose the focus is.
TEST(X11Foreground, AStaleActiveWindowIsPassedOver) {
  ORVO_SKIP_WITHOUT_DISPLAY();
  unsigned long gone = 0;
  { gone = test::X11TestWindow("gone").Id(); }
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  XChangeProperty(display, DefaultRootWindow(display), active, XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&gone), 1);
  XSync(display, False);
  X11Foreground query;
  query.Foreground();
  EXPECT_NE(query.LastWindow(), gone);
  XCloseDisplay(display);
}

}  // namespace
}  // namespace orvo
