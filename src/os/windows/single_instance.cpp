#include "os/windows/single_instance.h"

#include <windows.h>
// clang-format off
#include <sddl.h>
// clang-format on

#include <vector>

#include "os/windows/wide_text.h"

namespace orvo {

std::string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  std::string sid;
  if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
      sid = Narrowed(text);
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return sid;
}

WindowsSingleInstance::WindowsSingleInstance(std::string name) : name_(std::move(name)) {
  if (name_.empty()) {
    const std::string sid = CurrentUserSid();
    if (sid.empty()) {
      problem_ = "the user's security id could not be read";
      return;
    }
    name_ = "Orvo-" + sid;
  }
  HANDLE mutex = CreateMutexW(nullptr, TRUE, Widened("Global\\" + name_).c_str());
  if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)
    mutex = CreateMutexW(nullptr, TRUE, Widened("Local\\" + name_).c_str());
  const DWORD error = GetLastError();
  if (!mutex) {
    problem_ = "the lock " + name_ + " could not be made (error " + std::to_string(error) + ")";
    return;
  }
  mutex_ = mutex;
  state_ = error == ERROR_ALREADY_EXISTS ? State::kHeldByAnother : State::kAcquired;
}

WindowsSingleInstance::~WindowsSingleInstance() {
  if (!mutex_) return;
  if (state_ == State::kAcquired) ReleaseMutex(mutex_);
  CloseHandle(mutex_);
}

}  // namespace orvo
