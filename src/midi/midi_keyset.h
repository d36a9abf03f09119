#pragma once
// The Keyset and Mapper as the MIDI ports see them. Stand-in until the mapping engine's
// Keyset joins this branch: the same member names and types, nothing more.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/midi_system.h"

namespace orvo {

class SharedText {
 public:
  std::string Get() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void Set(std::string_view text) {
    std::lock_guard lock(mutex_);
    text_.assign(text);
  }
  bool Empty() const {
    std::lock_guard lock(mutex_);
    return text_.empty();
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

class Keyset {
 public:
  explicit Keyset(std::string name) : Name(std::move(name)) {}
  Keyset(const Keyset&) = delete;
  Keyset& operator=(const Keyset&) = delete;

  const std::string Name;
  SharedText MidiOutPort;
  std::atomic<int32_t> MidiInDeviceIndex{-1};
  std::atomic<orvo::MidiInHandle> MidiInHandle{kNoMidiHandle};
  SharedText MidiInPort;
  std::atomic<int32_t> MidiOutDeviceIndex{-1};
  std::atomic<orvo::MidiOutHandle> MidiOutHandle{kNoMidiHandle};
};

class Mapper {
 public:
  Keyset* FindOrCreate(std::string_view name, bool create) {
    std::lock_guard lock(mutex_);
    for (auto& keyset : keysets_)
      if (keyset->Name == name) return keyset.get();
    if (!create) return nullptr;
    keysets_.push_back(std::make_unique<Keyset>(std::string(name)));
    return keysets_.back().get();
  }
  template <class F>
  void ForEachKeyset(F&& f) const {
    std::vector<Keyset*> keysets;
    {
      std::lock_guard lock(mutex_);
      for (auto& keyset : keysets_) keysets.push_back(keyset.get());
    }
    for (Keyset* keyset : keysets) f(keyset->Name, *keyset);
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Keyset>> keysets_;
};

}  // namespace orvo
