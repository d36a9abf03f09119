#include "os/windows/midi.h"

#include <windows.h>
// clang-format off
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "os/windows/wide_text.h"

namespace orvo {
namespace {

// WinMM's result codes are the MIDI system's.
MidiResult Result(MMRESULT result) { return static_cast<MidiResult>(result); }

template <typename Caps, typename GetCaps>
std::vector<std::string> ListDevices(UINT count, GetCaps getCaps) {
  std::vector<std::string> names;
  for (UINT device = 0; device < count; ++device) {
    Caps caps{};
    names.push_back(getCaps(device, &caps, sizeof caps) == MMSYSERR_NOERROR ? Narrowed(caps.szPname) : std::string());
  }
  return names;
}

// The number of the listed device with this name, or -1.
int DeviceNumber(const std::vector<std::string>& names, const std::string& device) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty() && SameDeviceName(names[i], device)) return static_cast<int>(i);
  return -1;
}

class WinmmOutputLink : public MidiOutputLink {
 public:
  WinmmOutputLink(HMIDIOUT out, HANDLE done) : out_(out), done_(done) {}
  ~WinmmOutputLink() override {
    midiOutReset(out_);  // every long message in flight is done after this
    for (Slot& slot : slots_)
      if (slot.used) midiOutUnprepareHeader(out_, &slot.header, sizeof slot.header);
    midiOutClose(out_);
    CloseHandle(done_);
  }

  MidiResult Send(const uint8_t* bytes, std::size_t count) override {
    if (count == 0) return kMidiNoError;
    if (bytes[0] != 0xF0 && count <= 3) {
      DWORD message = 0;
      for (std::size_t i = 0; i < count; ++i) message |= DWORD{bytes[i]} << (8 * i);
      return Result(midiOutShortMsg(out_, message));
    }
    // A long message is copied into a slot of ours and sent without waiting for the line,
    // so that the caller's thread (also the read thread) never blocks here.
    if (Slot* slot = FreeSlot(count)) {
      std::copy_n(bytes, count, slot->data.begin());
      slot->header = {};
      slot->header.lpData = reinterpret_cast<LPSTR>(slot->data.data());
      slot->header.dwBufferLength = static_cast<DWORD>(count);
      MMRESULT result = midiOutPrepareHeader(out_, &slot->header, sizeof slot->header);
      if (result != MMSYSERR_NOERROR) return Result(result);
      slot->used = true;
      result = midiOutLongMsg(out_, &slot->header, sizeof slot->header);
      if (result != MMSYSERR_NOERROR) slot->header.dwFlags |= MHDR_DONE;  // free again
      return Result(result);
    }
    return SendWaiting(bytes, count);
  }

 private:
  static constexpr std::size_t kSlots = 16;
  static constexpr std::size_t kSlotSize = 256;
  struct Slot {
    MIDIHDR header{};
    bool used = false;  // prepared on the port
    std::array<uint8_t, kSlotSize> data{};
  };

  // A slot WinMM is done with (unprepared again), or nullptr.
  Slot* FreeSlot(std::size_t count) {
    if (count > kSlotSize) return nullptr;
    for (Slot& slot : slots_) {
      if (slot.used && !(slot.header.dwFlags & MHDR_DONE)) continue;
      if (slot.used) midiOutUnprepareHeader(out_, &slot.header, sizeof slot.header);
      slot.used = false;
      return &slot;
    }
    return nullptr;
  }

  // A message larger than a slot, or every slot still in flight: sent from the caller's
  // buffer, which must stay until WinMM is done with it.
  MidiResult SendWaiting(const uint8_t* bytes, std::size_t count) {
    MIDIHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(bytes));
    header.dwBufferLength = static_cast<DWORD>(count);
    MMRESULT result = midiOutPrepareHeader(out_, &header, sizeof header);
    if (result != MMSYSERR_NOERROR) return Result(result);
    result = midiOutLongMsg(out_, &header, sizeof header);
    // 3 bytes a millisecond on a MIDI cable; a generous bound for a stuck driver.
    for (int waited = 0; result == MMSYSERR_NOERROR && !(header.dwFlags & MHDR_DONE) && waited < 100; ++waited)
      WaitForSingleObject(done_, 20);
    if (!(header.dwFlags & MHDR_DONE)) midiOutReset(out_);
    midiOutUnprepareHeader(out_, &header, sizeof header);
    return Result(result);
  }

  HMIDIOUT out_;
  HANDLE done_;  // WinMM signals it when a long message is done
  std::array<Slot, kSlots> slots_{};
};

class WinmmInputLink : public MidiInputLink {
 public:
  explicit WinmmInputLink(MidiInputSink& sink) : sink_(sink) { InitializeCriticalSection(&lock_); }
  ~WinmmInputLink() override {
    closing_.store(true);
    if (in_) {
      midiInStop(in_);
      midiInReset(in_);  // the buffers come back through the callback
    }
    if (thread_.joinable()) {
      SetEvent(ready_);
      thread_.join();
    }
    if (in_) {
      for (MIDIHDR& header : headers_) midiInUnprepareHeader(in_, &header, sizeof header);
      midiInClose(in_);
    }
    if (ready_) CloseHandle(ready_);
    DeleteCriticalSection(&lock_);
  }

  MidiResult Open(UINT device) {
    ready_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    MMRESULT result = midiInOpen(&in_, device, reinterpret_cast<DWORD_PTR>(&WinmmInputLink::Callback),
                                 reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION);
    if (result != MMSYSERR_NOERROR) {
      in_ = nullptr;
      return Result(result);
    }
    for (std::size_t i = 0; i < kBuffers; ++i) {
      headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
      headers_[i].dwBufferLength = kBufferSize;
      midiInPrepareHeader(in_, &headers_[i], sizeof headers_[i]);
      midiInAddBuffer(in_, &headers_[i], sizeof headers_[i]);
    }
    thread_ = std::thread([this] { Run(); });
    return Result(midiInStart(in_));
  }

 private:
  static constexpr std::size_t kBuffers = 4;
  static constexpr DWORD kBufferSize = 1024;
  static constexpr std::size_t kShortCapacity = 1024;

  // WinMM's thread: copies and wakes, nothing else.
  static void CALLBACK Callback(HMIDIIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR) {
    auto* self = reinterpret_cast<WinmmInputLink*>(instance);
    if (message != MIM_DATA && message != MIM_LONGDATA) return;
    EnterCriticalSection(&self->lock_);
    if (message == MIM_DATA) {
      if (self->shortCount_ < kShortCapacity) self->shorts_[self->shortCount_++] = static_cast<DWORD>(param1);
    } else if (self->filledCount_ < kBuffers) {
      self->filled_[self->filledCount_++] = reinterpret_cast<MIDIHDR*>(param1);
    }
    LeaveCriticalSection(&self->lock_);
    SetEvent(self->ready_);
  }

  // Our delivery thread: hands on what came, gives the long-message buffers back.
  void Run() {
    std::vector<DWORD> shorts(kShortCapacity);
    std::array<MIDIHDR*, kBuffers> filled{};
    std::vector<uint8_t> longMessage;
    for (;;) {
      WaitForSingleObject(ready_, INFINITE);
      EnterCriticalSection(&lock_);
      const std::size_t shortCount = shortCount_;
      const std::size_t filledCount = filledCount_;
      std::copy_n(shorts_.begin(), shortCount, shorts.begin());
      std::copy_n(filled_.begin(), filledCount, filled.begin());
      shortCount_ = filledCount_ = 0;
      LeaveCriticalSection(&lock_);
      const bool closing = closing_.load();
      for (std::size_t i = 0; i < shortCount && !closing; ++i) {
        const uint8_t bytes[3] = {static_cast<uint8_t>(shorts[i]), static_cast<uint8_t>(shorts[i] >> 8),
                                  static_cast<uint8_t>(shorts[i] >> 16)};
        sink_.OnMidiInput(bytes, 3);
      }
      for (std::size_t i = 0; i < filledCount; ++i) {
        MIDIHDR* header = filled[i];
        if (!closing) {
          // A long message may span buffers: handed on whole, at its 0xF7.
          const auto* data = reinterpret_cast<const uint8_t*>(header->lpData);
          longMessage.insert(longMessage.end(), data, data + header->dwBytesRecorded);
          if (!longMessage.empty() && longMessage.back() == 0xF7) {
            sink_.OnMidiInput(longMessage.data(), longMessage.size());
            longMessage.clear();
          }
          midiInAddBuffer(in_, header, sizeof *header);
        }
      }
      if (closing) return;
    }
  }

  MidiInputSink& sink_;
  HMIDIIN in_ = nullptr;
  HANDLE ready_ = nullptr;
  std::atomic<bool> closing_{false};
  CRITICAL_SECTION lock_;
  std::array<DWORD, kShortCapacity> shorts_{};
  std::size_t shortCount_ = 0;
  std::array<MIDIHDR*, kBuffers> filled_{};
  std::size_t filledCount_ = 0;
  std::array<MIDIHDR, kBuffers> headers_{};
  std::array<std::array<uint8_t, kBufferSize>, kBuffers> buffers_{};
  std::thread thread_;
};

}  // namespace

std::vector<std::string> WinmmMidiBackend::ListOutputs() {
  return ListDevices<MIDIOUTCAPSW>(midiOutGetNumDevs(), [](UINT device, MIDIOUTCAPSW* caps, UINT size) {
    return midiOutGetDevCapsW(device, caps, size);
  });
}

std::vector<std::string> WinmmMidiBackend::ListInputs() {
  return ListDevices<MIDIINCAPSW>(midiInGetNumDevs(), [](UINT device, MIDIINCAPSW* caps, UINT size) {
    return midiInGetDevCapsW(device, caps, size);
  });
}

MidiResult WinmmMidiBackend::OpenOutput(const std::string& device, const std::string&,
                                        std::unique_ptr<MidiOutputLink>& link) {
  const int number = DeviceNumber(ListOutputs(), device);
  if (number < 0) return kMidiBadDeviceId;
  const HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HMIDIOUT out = nullptr;
  const MMRESULT result = midiOutOpen(&out, static_cast<UINT>(number), reinterpret_cast<DWORD_PTR>(done), 0, CALLBACK_EVENT);
  if (result != MMSYSERR_NOERROR) {
    CloseHandle(done);
    return Result(result);
  }
  link = std::make_unique<WinmmOutputLink>(out, done);
  return kMidiNoError;
}

MidiResult WinmmMidiBackend::OpenInput(const std::string& device, const std::string&, MidiInputSink& sink,
                                       std::unique_ptr<MidiInputLink>& link) {
  const int number = DeviceNumber(ListInputs(), device);
  if (number < 0) return kMidiBadDeviceId;
  auto input = std::make_unique<WinmmInputLink>(sink);
  const MidiResult result = input->Open(static_cast<UINT>(number));
  if (result != kMidiNoError) return result;
  link = std::move(input);
  return kMidiNoError;
}

std::unique_ptr<QueuedMidiSystem> CreateWindowsMidiSystem() {
  return std::make_unique<QueuedMidiSystem>(std::make_unique<WinmmMidiBackend>(), QueuedMidiSystem::Delivery::kWorkerThread);
}

}  // namespace orvo
