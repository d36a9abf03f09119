// The Windows program as users start it: orvo.exe --headless on COM5, while the test plays
// the surface on COM6 (the test command joins the two back to back) and keeps a window of
// its own in front, whose executable names a Keyset. What the surface and the window get,
// and what the driver prints, is checked from the outside.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "os/windows/serial.h"
#include "os/windows/wide_text.h"
#include "protocol/device_modes.h"
#include "support/win32_test_window.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using test::Win32TestWindow;

// Generous: the machine running the tests is slow and shared, and Wine slower still.
constexpr auto kPatience = 20s;
constexpr auto kHostModeLimit = 5s;  // from the start to Host mode with its dark lamps

const Bytes kHostModeMessage{0xF0, 0x15, 0x29, 0x01, 0xF7};
const Bytes kStandardModeMessage{0xF0, 0x15, 0x29, 0x02, 0xF7};
const Bytes kPlayDown{0xBE, 0x4C, 0x7F};
const Bytes kPlayUp{0xBE, 0x4C, 0x00};

Bytes HostModeAndDarkLamps() {
  Bytes expected = kHostModeMessage;
  const auto& lamps = DarkLampBuffer();
  expected.insert(expected.end(), lamps.begin(), lamps.end());
  return expected;
}

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// Wine draws its windows on an X display; without one none comes to the front.
bool UnderWineWithoutDisplay() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr && !Env("DISPLAY");
}

// The build names programs by their path on the build machine; under Wine a Unix path is
// reached through drive Z:.
std::wstring WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') {
    std::replace(path.begin(), path.end(), '/', '\\');
    path = "Z:" + path;
  }
  return Widened(path);
}

// The Keyset name of this test program: its executable's base name, upper-cased.
std::string OwnKeysetName() {
  wchar_t path[MAX_PATH * 4];
  const DWORD size = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::string name = std::filesystem::path(std::wstring(path, size)).filename().string();
  name = name.substr(0, name.find('.'));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

// The surface's end of the line: 38400 8N1, a thread that collects what arrives.
class SurfacePort {
 public:
  explicit SurfacePort(const std::string& port)
      : handle_(CreateFileW(Widened(ComDevicePath(port)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                            nullptr)) {
    if (!Open()) return;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(handle_, &dcb);
    dcb.BaudRate = 38400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    SetCommState(handle_, &dcb);
    COMMTIMEOUTS timeouts{0, 0, 50, 0, 1000};  // a read ends after 50 ms with what came
    SetCommTimeouts(handle_, &timeouts);
    reader_ = std::thread([this] { Collect(); });
  }
  ~SurfacePort() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (Open()) CloseHandle(handle_);
  }
  SurfacePort(const SurfacePort&) = delete;
  SurfacePort& operator=(const SurfacePort&) = delete;

  bool Open() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Send(const Bytes& bytes) {
    DWORD written = 0;
    return WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
  }
  Bytes Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  std::size_t Count() const {
    std::lock_guard lock(mutex_);
    return received_.size();
  }
  // When the count first reached `count`, if it has.
  std::optional<Clock::time_point> ReachedAt(std::size_t count) const {
    std::lock_guard lock(mutex_);
    if (received_.size() < count) return std::nullopt;
    return arrivals_.lower_bound(count)->second;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    received_.clear();
    arrivals_.clear();
  }

 private:
  void Collect() {  // reader thread
    while (!stop_) {
      uint8_t buffer[512];
      DWORD got = 0;
      if (!ReadFile(handle_, buffer, sizeof buffer, &got, nullptr) && GetLastError() != ERROR_TIMEOUT) {
        Sleep(10);  // a failing port is not spun on
        continue;
      }
      if (got == 0) continue;
      const auto now = Clock::now();
      std::lock_guard lock(mutex_);
      received_.insert(received_.end(), buffer, buffer + got);
      arrivals_.emplace(received_.size(), now);
    }
  }

  HANDLE handle_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  Bytes received_;
  std::map<std::size_t, Clock::time_point> arrivals_;  // count after each read -> its time
  std::thread reader_;
};

// orvo.exe as a child process with a hidden console of its own, its standard output and
// error read line by line on threads. Lines are kept; waits look at every line from a mark
// on, and pump this thread's window messages meanwhile.
class DriverProcess {
 public:
  DriverProcess(const std::wstring& program, const std::vector<std::string>& args) {
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const auto& arg : args) commandLine += L" \"" + Widened(arg) + L"\"";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherited, 0)) return;
    if (!CreatePipe(&errRead, &errWrite, &inherited, 0)) {
      CloseHandle(outRead);
      CloseHandle(outWrite);
      return;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, 0, &inherited, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION info{};
    // A console of its own, without a window (nothing to take the focus): the console
    // control events reach it there. Not a process group of its own: a process started so
    // ignores Ctrl+C until it asks for it, and Wine's consoles carry no Ctrl+Break.
    startedAt_ = Clock::now();
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                       &startup, &info)) {
      process_ = info.hProcess;
      processId_ = info.dwProcessId;
      CloseHandle(info.hThread);
    } else {
      error_ = GetLastError();
    }
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
    readers_.emplace_back([this, outRead] { ReadLines(outRead, false); });
    readers_.emplace_back([this, errRead] { ReadLines(errRead, true); });
  }
  ~DriverProcess() {
    if (process_ && !exitCode_) {
      TerminateProcess(process_, 99);
      WaitForSingleObject(process_, 5000);
    }
    DetachFromConsole();
    for (auto& reader : readers_) reader.join();  // both pipes end with the process and its console
    if (process_) CloseHandle(process_);
  }
  DriverProcess(const DriverProcess&) = delete;
  DriverProcess& operator=(const DriverProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  DWORD StartError() const { return error_; }
  Clock::time_point StartedAt() const { return startedAt_; }

  std::size_t Mark() const {
    std::lock_guard lock(mutex_);
    return lines_.size();
  }
  // The index of the first line from `from` on that holds every one of `parts`.
  std::optional<std::size_t> WaitForLine(const std::vector<std::string>& parts, std::size_t from,
                                         Clock::duration patience = kPatience) const {
    std::optional<std::size_t> found;
    Win32TestWindow::PumpUntil(
        [&] {
          std::lock_guard lock(mutex_);
          for (std::size_t i = from; i < lines_.size() && !found; ++i)
            if (std::all_of(parts.begin(), parts.end(),
                            [&](const std::string& part) { return lines_[i].find(part) != std::string::npos; }))
              found = i;
          return found.has_value();
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(patience));
    return found;
  }
  std::string Transcript() const {
    std::lock_guard lock(mutex_);
    std::string text = "driver output:\n";
    for (const auto& line : lines_) text += "  " + line + "\n";
    return text;
  }

  // Ends the driver as a user does at its console: Ctrl+Break, or Ctrl+C where the
  // console cannot carry Ctrl+Break (Wine carries only Ctrl+C). The exit code, once the
  // process has ended within `patience`; how it was asked in `how`.
  std::optional<DWORD> Interrupt(Clock::duration patience, std::string& how) {
    // Only a process attached to the driver's console can signal it; this one leaves its
    // own (under Wine it has one without a terminal) and ignores the events itself.
    FreeConsole();
    if (!AttachConsole(processId_)) {
      how = "AttachConsole failed with " + std::to_string(GetLastError());
      return std::nullopt;
    }
    attached_ = true;
    SetConsoleCtrlHandler(&Ignore, TRUE);
    // Group 0: every process on the console, the driver (started in this one's group) and
    // this one, which ignores it.
    if (GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)) {
      how = "Ctrl+Break";
    } else if (const DWORD breakError = GetLastError(); GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
      how = "Ctrl+C (Ctrl+Break could not be sent: " + std::to_string(breakError) + ")";
    } else {
      how = "no console control event could be sent: " + std::to_string(GetLastError());
      return std::nullopt;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(patience).count();
    if (WaitForSingleObject(process_, static_cast<DWORD>(wait)) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    exitCode_ = code;
    return code;
  }

 private:
  static BOOL WINAPI Ignore(DWORD) { return TRUE; }

  // Leaves the driver's console, so that it ends and the pipes it holds with it.
  void DetachFromConsole() {
    if (!attached_) return;
    FreeConsole();
    attached_ = false;
  }

  void ReadLines(HANDLE pipe, bool fromStderr) {  // a reader thread per pipe
    std::string pending;
    char buffer[1024];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending.append(buffer, got);
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        std::string line = pending.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::lock_guard lock(mutex_);
        lines_.push_back(fromStderr ? "[stderr] " + line : line);
      }
    }
    CloseHandle(pipe);
  }

  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  DWORD error_ = 0;
  bool attached_ = false;
  std::optional<DWORD> exitCode_;
  Clock::time_point startedAt_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::thread> readers_;
};

// A settings folder of the test's own, under the temporary folder.
class SettingsFolder {
 public:
  SettingsFolder() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::filesystem::path(temp) / ("orvo-e2e-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~SettingsFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(path_ / name, std::ios::binary) << text;
    written_[name] = text;
  }
  // Every file of the folder, by name.
  std::map<std::string, std::string> Contents() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      std::ifstream in(entry.path(), std::ios::binary);
      files[entry.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
  }
  const std::map<std::string, std::string>& Written() const { return written_; }

 private:
  std::filesystem::path path_;
  std::map<std::string, std::string> written_;
};

std::vector<test::KeyMessage> KeysSince(const Win32TestWindow& window, std::size_t from) {
  const auto& keys = window.Keys();
  return {keys.begin() + static_cast<std::ptrdiff_t>(std::min(from, keys.size())), keys.end()};
}

bool SpaceTyped(const std::vector<test::KeyMessage>& keys) {
  return keys.size() == 3 && keys[0].message == WM_KEYDOWN && keys[0].wParam == VK_SPACE && keys[0].scanCode == 0x39 &&
         !keys[0].extended && keys[1].message == WM_CHAR && keys[1].wParam == L' ' && keys[2].message == WM_KEYUP &&
         keys[2].wParam == VK_SPACE && keys[2].scanCode == 0x39;
}

std::string Describe(const std::vector<test::KeyMessage>& keys) {
  std::string text;
  for (const auto& key : keys) {
    char one[64];
    std::snprintf(one, sizeof one, " (msg 0x%X key 0x%X scan 0x%X)", key.message, static_cast<unsigned>(key.wParam),
                  key.scanCode);
    text += one;
  }
  return text.empty() ? " nothing" : text;
}

// Started with the test's window in front: Host mode within the limit; PLAY types Space
// into the window; the focus moving away and back switches the surface's mode with its
// lamp burst; Ctrl+Break (Ctrl+C under Wine) ends the driver cleanly, no Keyset file touched.
TEST(WindowsDriverEndToEnd, DrivesTheWindowInFrontAndExitsCleanlyOnConsoleInterrupt) {
  const char* port = Env("ORVO_TEST_COM_PORT");
  const char* peer = Env("ORVO_TEST_COM_PEER");
  if (!port || !peer) GTEST_SKIP() << "needs two COM ports joined back to back (ORVO_TEST_COM_PORT, ORVO_TEST_COM_PEER)";
  if (UnderWineWithoutDisplay()) GTEST_SKIP() << "no desktop to put a window in front on";
  Win32TestWindow window;
  ASSERT_TRUE(Win32TestWindow::PumpUntil([&] { return GetForegroundWindow() == window.Handle(); }, kPatience))
      << "the test's window did not come to the front";

  // PLAY types Space in the test's Keyset (Host mode); everything else is DEFAULT, in
  // Standard mode, so that the focus moving to this window is a mode switch.
  const std::string name = OwnKeysetName();
  SettingsFolder settings;
  settings.Write(name + ".orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n");
  settings.Write("DEFAULT.orvo", "DeviceMode:1\r\n");
  SurfacePort surface(peer);
  ASSERT_TRUE(surface.Open()) << "cannot open " << peer;

  DriverProcess driver(WindowsPath(ORVO_BINARY),
                       {"--headless", "--device", port, "--settings-dir", settings.Path().string()});
  ASSERT_TRUE(driver.Started()) << "CreateProcess failed with " << driver.StartError();
  ASSERT_TRUE(driver.WaitForLine({"Surface connected"}, 0)) << driver.Transcript();
  ASSERT_TRUE(driver.WaitForLine({"Keyset " + name + " (Host mode)"}, 0)) << driver.Transcript();
  const Bytes hostMode = HostModeAndDarkLamps();
  ASSERT_TRUE(Win32TestWindow::PumpUntil([&] { return surface.Count() >= hostMode.size(); }, kPatience))
      << "the surface received " << surface.Count() << " of " << hostMode.size() << " bytes\n" << driver.Transcript();
  const Bytes first = surface.Received();
  EXPECT_TRUE(std::equal(hostMode.begin(), hostMode.end(), first.begin())) << "the Host mode message, then the 318 lamp bytes";
  const auto hostModeAfter =
      std::chrono::duration_cast<std::chrono::milliseconds>(*surface.ReachedAt(hostMode.size()) - driver.StartedAt());
  RecordProperty("host_mode_ms", static_cast<int>(hostModeAfter.count()));
  std::printf("Host mode with dark lamps %lld ms after the start\n", static_cast<long long>(hostModeAfter.count()));
  EXPECT_LE(hostModeAfter, kHostModeLimit);

  // PLAY: its line, Space typed once into the window; the release types nothing more.
  std::size_t mark = driver.Mark();
  ASSERT_TRUE(surface.Send(kPlayDown));
  EXPECT_TRUE(driver.WaitForLine({"BE4C7F: PLAY button"}, mark)) << driver.Transcript();
  const auto pressed = driver.WaitForLine({"PLAY button BE4C7F", "typed Space"}, mark);
  ASSERT_TRUE(pressed) << driver.Transcript();
  EXPECT_TRUE(Win32TestWindow::PumpUntil([&] { return KeysSince(window, 0).size() >= 3; }, kPatience));
  ASSERT_TRUE(surface.Send(kPlayUp));
  ASSERT_TRUE(driver.WaitForLine({"PLAY button BE4C00"}, *pressed + 1)) << driver.Transcript();
  Win32TestWindow::PumpUntil([] { return false; }, 300ms);  // anything more would show up here
  EXPECT_TRUE(SpaceTyped(window.Keys())) << "the window got" << Describe(window.Keys());

  // The focus away from the window: DEFAULT's Standard mode; back: Host mode with its lamps.
  mark = driver.Mark();
  surface.Clear();
  ShowWindow(window.Handle(), SW_HIDE);
  ASSERT_TRUE(driver.WaitForLine({"Keyset DEFAULT (Standard mode)"}, mark)) << driver.Transcript();
  EXPECT_TRUE(Win32TestWindow::PumpUntil([&] { return surface.Count() >= kStandardModeMessage.size(); }, kPatience));
  EXPECT_EQ(surface.Received(), kStandardModeMessage);
  mark = driver.Mark();
  surface.Clear();
  ShowWindow(window.Handle(), SW_SHOW);
  SetForegroundWindow(window.Handle());
  ASSERT_TRUE(Win32TestWindow::PumpUntil([&] { return GetForegroundWindow() == window.Handle(); }, kPatience));
  ASSERT_TRUE(driver.WaitForLine({"Keyset " + name + " (Host mode)"}, mark)) << driver.Transcript();
  EXPECT_TRUE(Win32TestWindow::PumpUntil([&] { return surface.Count() >= hostMode.size(); }, kPatience));
  EXPECT_EQ(surface.Received(), hostMode) << "the Host mode message and the lamp burst";

  // The console's interrupt: exit status 0, every Keyset file as it was written.
  std::string how;
  const auto askedAt = Clock::now();
  const std::optional<DWORD> status = driver.Interrupt(kPatience, how);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - askedAt);
  ASSERT_TRUE(status.has_value()) << "the driver did not end after " << how << "\n" << driver.Transcript();
  EXPECT_EQ(*status, 0u) << how << "\n" << driver.Transcript();
  RecordProperty("exit_ms", static_cast<int>(took.count()));
  std::printf("ended by %s in %lld ms\n", how.c_str(), static_cast<long long>(took.count()));
  EXPECT_EQ(settings.Contents(), settings.Written());
}

}  // namespace
}  // namespace orvo
