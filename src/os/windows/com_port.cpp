#include "os/windows/com_port.h"

#include <algorithm>
#include <vector>

namespace orvo {
namespace {

// The reader's wait for a first byte: a read that ends this often, so that a port whose
// read time-outs misbehave still lets the reader look around.
constexpr DWORD kReaderWaitMs = 300;
// What the reader moves from the driver at a time.
constexpr DWORD kChunk = 4096;

// The bridge's purge flags are the Windows ones.
constexpr uint32_t kPurgeRxAbort = PURGE_RXABORT;
constexpr uint32_t kPurgeRxClear = PURGE_RXCLEAR;
constexpr uint32_t kPurgeFlags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

ComPort::ComPort(HANDLE handle, std::function<void()> onGone)
    : handle_(handle),
      onGone_(std::move(onGone)),
      readEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      wakeEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      writeEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  SetTimeouts({});
  reader_ = std::thread([this] { ReadLoop(); });
}

ComPort::~ComPort() {
  Close();
  CloseHandle(readEvent_);
  CloseHandle(wakeEvent_);
  CloseHandle(writeEvent_);
}

bool ComPort::Close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    closed_ = true;
    Complete(wait_, false, 0);
    Complete(read_.ov, false, read_.got);
  }
  CancelIoEx(handle_, nullptr);  // the reader's read and a write in progress
  SetEvent(wakeEvent_);
  if (reader_.joinable()) reader_.join();
  std::lock_guard write(writeMutex_);
  CloseHandle(handle_);
  return true;
}

void ComPort::SetTimeouts(const CommTimeouts& timeouts) {
  std::lock_guard lock(mutex_);
  timeouts_ = timeouts;
  // Reads are the reader's own; writes keep the caller's time-out.
  COMMTIMEOUTS port{0, 0, kReaderWaitMs, timeouts.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutConstant};
  SetCommTimeouts(handle_, &port);
  SetEvent(wakeEvent_);
}

// Under the lock: the port's settings now, or false with the error kept.
bool ComPort::CurrentState(DCB& state) {
  state = DCB{};
  state.DCBlength = sizeof state;
  if (!closed_ && GetCommState(handle_, &state)) return true;
  lastError_ = closed_ ? ERROR_INVALID_HANDLE : GetLastError();
  return false;
}

bool ComPort::GetState(DeviceControlBlock& dcb) {
  DCB state;
  std::lock_guard lock(mutex_);
  if (!CurrentState(state)) return false;
  dcb.BaudRate = state.BaudRate;
  dcb.ByteSize = state.ByteSize;
  dcb.Parity = state.Parity;
  dcb.StopBits = state.StopBits;
  dcb.OutxCtsFlow = state.fOutxCtsFlow;
  dcb.OutxDsrFlow = state.fOutxDsrFlow;
  dcb.DtrControl = static_cast<uint8_t>(state.fDtrControl);
  dcb.OutX = state.fOutX;
  dcb.InX = state.fInX;
  dcb.RtsControl = static_cast<uint8_t>(state.fRtsControl);
  dcb.AbortOnError = state.fAbortOnError;
  return true;
}

bool ComPort::SetState(const DeviceControlBlock& dcb) {
  DCB state;
  std::lock_guard lock(mutex_);
  if (!CurrentState(state)) return false;
  state.BaudRate = dcb.BaudRate;
  state.ByteSize = dcb.ByteSize;
  state.Parity = dcb.Parity;
  state.StopBits = dcb.StopBits;
  state.fBinary = TRUE;
  state.fParity = dcb.Parity != NOPARITY;
  state.fOutxCtsFlow = dcb.OutxCtsFlow;
  state.fOutxDsrFlow = dcb.OutxDsrFlow;
  state.fDtrControl = dcb.DtrControl & 3;
  state.fOutX = dcb.OutX;
  state.fInX = dcb.InX;
  state.fRtsControl = dcb.RtsControl & 3;
  state.fAbortOnError = dcb.AbortOnError;
  if (!SetCommState(handle_, &state)) {
    lastError_ = GetLastError();
    return false;
  }
  return true;
}

bool ComPort::SetEventMask(uint32_t mask) {
  std::lock_guard lock(mutex_);
  if (closed_) return false;
  eventMask_ = mask;  // the reader serves received characters; nothing else is asked for
  return true;
}

uint32_t ComPort::LastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

bool ComPort::Gone() const {
  std::lock_guard lock(mutex_);
  return gone_;
}

bool ComPort::Fail(Overlapped& ov, DWORD error) {
  lastError_ = error;
  ov.Transferred.store(0);
  ov.Succeeded.store(false);
  ov.Event.Set();
  return false;
}

void ComPort::Complete(Overlapped*& ov, bool succeeded, uint32_t transferred) {
  if (!ov) return;
  ov->Transferred.store(transferred);
  ov->Succeeded.store(succeeded);
  ov->Event.Set();
  ov = nullptr;
}

bool ComPort::WaitEvent(uint32_t& events, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  if (closed_) return Fail(ov, ERROR_INVALID_HANDLE);
  if (!gone_ && !received_.empty()) {
    events = kEvRxChar & eventMask_;
    return true;
  }
  // Gone: pends until the port is closed.
  if (wait_ != &ov) Complete(wait_, false, 0);
  ov.Event.Reset();
  ov.Succeeded.store(false);
  ov.Transferred.store(0);
  wait_ = &ov;
  lastError_ = ERROR_IO_PENDING;
  return false;
}

bool ComPort::QueueStatus(uint32_t& pending) {
  std::lock_guard lock(mutex_);
  pending = 0;
  if (closed_ || gone_) {
    lastError_ = closed_ ? ERROR_INVALID_HANDLE : ERROR_DEVICE_NOT_CONNECTED;
    return false;
  }
  pending = static_cast<uint32_t>(received_.size());
  return true;
}

bool ComPort::Read(uint8_t* buffer, uint32_t count, uint32_t& read, Overlapped& ov) {
  std::lock_guard lock(mutex_);
  read = 0;
  if (closed_ || gone_) return Fail(ov, closed_ ? ERROR_INVALID_HANDLE : ERROR_DEVICE_NOT_CONNECTED);
  const uint32_t now = static_cast<uint32_t>(std::min<std::size_t>(count, received_.size()));
  std::copy_n(received_.begin(), now, buffer);
  received_.erase(received_.begin(), received_.begin() + now);
  const CommTimeouts& t = timeouts_;
  const bool returnsWhatIsThere =
      t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
  if (now == count || returnsWhatIsThere) {
    read = now;
    return true;
  }
  // The rest comes from the reader, or the read ends short at its total time-out.
  if (read_.ov != &ov) Complete(read_.ov, false, read_.got);
  const uint64_t total = uint64_t{t.ReadTotalTimeoutMultiplier} * count + t.ReadTotalTimeoutConstant;
  read_ = {&ov, buffer, count, now, std::nullopt};
  if (total > 0) read_.deadline = Clock::now() + std::chrono::milliseconds(total);
  ov.Event.Reset();
  ov.Succeeded.store(false);
  ov.Transferred.store(0);
  lastError_ = ERROR_IO_PENDING;
  SetEvent(wakeEvent_);
  return false;
}

bool ComPort::Write(const uint8_t* bytes, uint32_t count, uint32_t& written, Overlapped& ov) {
  written = 0;
  // Close takes writeMutex_ before it closes the handle: looked at under it, an open port
  // stays open until this write is done.
  std::lock_guard write(writeMutex_);
  {
    std::lock_guard lock(mutex_);
    if (closed_ || gone_) return Fail(ov, closed_ ? ERROR_INVALID_HANDLE : ERROR_DEVICE_NOT_CONNECTED);
  }
  if (count == 0) return true;
  OVERLAPPED pending{};
  pending.hEvent = writeEvent_;
  ResetEvent(writeEvent_);
  DWORD done = 0;
  BOOL ok = WriteFile(handle_, bytes, count, &done, &pending);
  if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(handle_, &pending, &done, TRUE);
  // A write that times out keeps what went; the caller sees the short count.
  if (!ok && GetLastError() != ERROR_TIMEOUT) {
    const DWORD error = GetLastError();
    std::lock_guard lock(mutex_);
    return Fail(ov, error);
  }
  written = done;
  return true;
}

bool ComPort::OverlappedResult(Overlapped& ov, uint32_t& transferred) {
  std::lock_guard lock(mutex_);
  transferred = 0;
  if (wait_ == &ov || read_.ov == &ov) {
    lastError_ = ERROR_IO_INCOMPLETE;
    return false;
  }
  transferred = ov.Transferred.load();
  return ov.Succeeded.load();
}

bool ComPort::Purge(uint32_t flags) {
  std::lock_guard lock(mutex_);
  if (closed_) {
    lastError_ = ERROR_INVALID_HANDLE;
    return false;
  }
  if (flags & kPurgeRxAbort) Complete(read_.ov, false, read_.got);
  if (flags & kPurgeRxClear) received_.clear();
  if (gone_) return true;
  if (!PurgeComm(handle_, flags & kPurgeFlags)) {
    lastError_ = GetLastError();
    return false;
  }
  return true;
}

DWORD ComPort::WaitMillisecondsLocked() const {
  if (!read_.ov || !read_.deadline) return INFINITE;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*read_.deadline - Clock::now()).count();
  return static_cast<DWORD>(std::max<long long>(left, 0));
}

void ComPort::TakeReceivedLocked() {
  if (wait_ && !received_.empty()) Complete(wait_, true, 0);
  if (!read_.ov || received_.empty()) return;
  const uint32_t take = static_cast<uint32_t>(std::min<std::size_t>(read_.count - read_.got, received_.size()));
  std::copy_n(received_.begin(), take, read_.buffer + read_.got);
  received_.erase(received_.begin(), received_.begin() + take);
  read_.got += take;
  if (read_.got == read_.count) Complete(read_.ov, true, read_.got);
}

void ComPort::ExpireDeadlineLocked() {
  // A read's total time-out ends it with what it has, as a success.
  if (read_.ov && read_.deadline && Clock::now() >= *read_.deadline) Complete(read_.ov, true, read_.got);
}

std::optional<DWORD> ComPort::ReadPort(uint8_t* buffer, DWORD count) {
  OVERLAPPED pending{};
  pending.hEvent = readEvent_;
  ResetEvent(readEvent_);
  DWORD got = 0;
  if (ReadFile(handle_, buffer, count, &got, &pending)) return got;
  DWORD error = GetLastError();
  if (error == ERROR_IO_PENDING) {
    const HANDLE events[2] = {readEvent_, wakeEvent_};
    for (;;) {
      DWORD waitMs;
      bool closing;
      {
        std::lock_guard lock(mutex_);
        closing = closed_;
        if (closing) CancelIoEx(handle_, &pending);  // ends soon; `pending` lives until then
        waitMs = closing ? INFINITE : WaitMillisecondsLocked();
      }
      const DWORD woke =
          closing ? WaitForSingleObject(readEvent_, INFINITE) : WaitForMultipleObjects(2, events, FALSE, waitMs);
      if (woke == WAIT_OBJECT_0) break;
      if (woke == WAIT_TIMEOUT) {
        std::lock_guard lock(mutex_);
        ExpireDeadlineLocked();
      }
    }
    if (GetOverlappedResult(handle_, &pending, &got, FALSE)) return got;
    error = GetLastError();
  }
  std::lock_guard lock(mutex_);
  if (closed_) return std::nullopt;
  if (error == ERROR_TIMEOUT) return 0;  // Wine ends an empty read so; Windows with 0 bytes
  if (error == ERROR_OPERATION_ABORTED) {
    // A purge, or an error that fAbortOnError stops the port for until it is cleared.
    DWORD errors = 0;
    ClearCommError(handle_, &errors, nullptr);
    return 0;
  }
  lastError_ = error;  // unplugged: 109, 21 and the like
  return std::nullopt;
}

void ComPort::MarkGone() {
  {
    std::lock_guard lock(mutex_);
    if (closed_ || gone_) return;
    gone_ = true;
    Complete(read_.ov, false, read_.got);
    received_.clear();
  }
  if (onGone_) onGone_();
}

void ComPort::ReadLoop() {
  std::vector<uint8_t> chunk(kChunk);
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
    }
    std::optional<DWORD> got = ReadPort(chunk.data(), 1);
    if (got && *got == 1) {
      // What the driver holds beyond the first byte is there now: no wait.
      DWORD errors = 0;
      COMSTAT status{};
      if (ClearCommError(handle_, &errors, &status) && status.cbInQue > 0) {
        const auto more = ReadPort(chunk.data() + 1, std::min<DWORD>(status.cbInQue, kChunk - 1));
        *got += more.value_or(0);
      }
    }
    if (!got) break;
    std::lock_guard lock(mutex_);
    if (closed_) return;
    received_.insert(received_.end(), chunk.begin(), chunk.begin() + *got);
    TakeReceivedLocked();
    ExpireDeadlineLocked();
  }
  MarkGone();
  // The device went: sleep until the port is closed.
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (closed_) return;
    }
    WaitForSingleObject(wakeEvent_, INFINITE);
  }
}

}  // namespace orvo
