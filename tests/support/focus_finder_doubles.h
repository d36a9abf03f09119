#pragma once
// Stand-ins for what the focus finder talks to: a Keyset directory, the focus record and
// its holder, and an editor that records which Keysets it was told to show.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "mapping/editor_notifier.h"
#include "mapping/focus_finder.h"

namespace orvo::test {

// Keysets as the focus finder sees them: names (upper case) and modes. The finder only
// passes Keyset pointers around, so the fake hands out its own entries under that type.
class FakeKeysetDirectory : public KeysetDirectory {
 public:
  struct Entry {
    std::string name;
    std::atomic<int32_t> mode;
  };

  Keyset* Add(const std::string& name, int32_t mode) {
    std::lock_guard lock(mutex_);
    auto entry = std::make_unique<Entry>();
    entry->name = Upper(name);
    entry->mode = mode;
    Keyset* keyset = reinterpret_cast<Keyset*>(entry.get());
    if (entry->name == "DEFAULT") default_ = keyset;
    entries_[entry->name] = std::move(entry);
    return keyset;
  }
  static Entry& Of(const Keyset* keyset) { return *reinterpret_cast<Entry*>(const_cast<Keyset*>(keyset)); }

  Keyset* FindKeyset(const std::string& baseName) override {
    std::lock_guard lock(mutex_);
    const auto found = entries_.find(Upper(baseName));
    return found == entries_.end() ? nullptr : reinterpret_cast<Keyset*>(found->second.get());
  }
  Keyset* DefaultKeyset() override {
    std::lock_guard lock(mutex_);
    return default_;
  }
  int32_t DeviceModeOf(const Keyset& keyset) override { return Of(&keyset).mode.load(); }
  std::string NameOf(const Keyset& keyset) override { return Of(&keyset).name; }

 private:
  static std::string Upper(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::toupper(ch); });
    return name;
  }
  std::mutex mutex_;
  std::map<std::string, std::unique_ptr<Entry>> entries_;
  Keyset* default_ = nullptr;
};

class FakeFocusRecord : public FocusRecord {
 public:
  explicit FakeFocusRecord(FocusFields initial) : fields_(initial) {}
  FocusFields Peek() const override {
    std::lock_guard lock(mutex_);
    return fields_;
  }
  void Write(const FocusFields& fields) override {
    std::lock_guard lock(mutex_);
    fields_ = fields;
    ++writes_;
  }
  int Writes() const {
    std::lock_guard lock(mutex_);
    return writes_;
  }

 private:
  mutable std::mutex mutex_;
  FocusFields fields_;
  int writes_ = 0;
};

// Holds the record while "connected", like the application does.
class FakeFocusRecordSource : public FocusRecordSource {
 public:
  // A record as the connection makes it: our own process, the main thread, no Keyset.
  std::shared_ptr<FakeFocusRecord> Create(uint32_t ownProcessId) {
    auto record = std::make_shared<FakeFocusRecord>(FocusFields{ownProcessId, kOwnerMain, nullptr});
    std::lock_guard lock(mutex_);
    record_ = record;
    return record;
  }
  void Destroy() {
    std::lock_guard lock(mutex_);
    record_.reset();
  }
  std::shared_ptr<FocusRecord> CurrentRecord() override {
    std::lock_guard lock(mutex_);
    return record_;
  }

 private:
  std::mutex mutex_;
  std::shared_ptr<FakeFocusRecord> record_;
};

// An editor that records the Keysets it is told to show.
class ShownKeysetRecorder : public EditorNotifier {
 public:
  explicit ShownKeysetRecorder(bool running = true) : running_(running) {}
  bool IsRunning() override { return running_; }
  void SendControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostControlEvent(const ControlDescriptor*, uint32_t) override {}
  void PostInputMessage(const Keyset*, uint32_t) override {}
  void PostLongMessage(const Keyset*, std::span<const uint8_t>, uint32_t) override {}
  void ShowKeyset(const Keyset* keyset) override {
    std::lock_guard lock(mutex_);
    shown_.push_back(keyset);
  }
  std::vector<const Keyset*> Shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

 private:
  std::atomic<bool> running_;
  mutable std::mutex mutex_;
  std::vector<const Keyset*> shown_;
};

}  // namespace orvo::test
