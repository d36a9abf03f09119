#include "mapping/keyset.h"

#include <utility>

namespace orvo {

bool MapsSomething(const ControlMapping& mapping) {
  return HasKeystroke(mapping.KeyFlags.load()) || !mapping.Label.Empty() || mapping.MapType.load() != MapType::kNative;
}

void ClearMapping(ControlMapping& mapping) {
  mapping.KeyFlags.store(kNoKey);
  mapping.KeyCode.store(static_cast<int32_t>(kNoKey));
  mapping.Label.Set("");
  mapping.MapType.store(MapType::kNative);
  mapping.DataA.store(0);
  mapping.DataB.store(0);
}

void CopyMappings(const Keyset& from, Keyset& to) {
  from.ForEachMapping([&](orvo::ControlId id, const ControlMapping& mapping) {
    if (!MapsSomething(mapping) || to.LookupMapping(id)) return;
    auto copy = std::make_unique<ControlMapping>(mapping.Descriptor);
    copy->KeyCode.store(mapping.KeyCode.load());
    copy->KeyFlags.store(mapping.KeyFlags.load());
    copy->Label.Set(mapping.Label.Get());
    copy->DataA.store(mapping.DataA.load());
    copy->DataB.store(mapping.DataB.load());
    copy->MapType.store(mapping.MapType.load());
    to.SetMapping(std::move(copy));
  });
}

std::string UpperCased(std::string_view name) {
  std::string upper(name);
  for (char& ch : upper)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  return upper;
}

void Keyset::TakeContentOf(Keyset& read) {
  {
    std::scoped_lock lock(tablesMutex_, read.tablesMutex_);
    auto fresh = std::make_unique<MappingTable>();  // before anything changes: may throw
    retired_.reserve(retired_.size() + 1);
    std::unique_ptr<MappingTable> table = std::exchange(read.table_, std::move(fresh));
    read.current_.store(read.table_.get(), std::memory_order_release);
    retired_.push_back(std::exchange(table_, std::move(table)));
    current_.store(table_.get(), std::memory_order_seq_cst);
    FreeUnreadTables();
  }
  MidiInPort.Set(read.MidiInPort.Get());
  MidiOutPort.Set(read.MidiOutPort.Get());
  DeviceMode.store(read.DeviceMode.load());
  FileLines.TakeFrom(read.FileLines);
}

void Keyset::FreeUnreadTables() {
  const uint32_t now = epoch_.load(std::memory_order_seq_cst);
  if (readers_[now ^ 1].load(std::memory_order_seq_cst) != 0) return;  // some came in before the last flip
  draining_.clear();
  if (retired_.empty()) return;
  // A reader that counts itself after the flip finds the table in force now.
  draining_ = std::move(retired_);
  retired_.clear();
  epoch_.store(now ^ 1, std::memory_order_seq_cst);
  if (readers_[now].load(std::memory_order_seq_cst) == 0) draining_.clear();
}

std::size_t Keyset::RetiredTables() const {
  std::lock_guard lock(tablesMutex_);
  return retired_.size() + draining_.size();
}

Keyset* Mapper::FindOrCreate(std::string_view name, bool create) {
  std::string upper = UpperCased(name);
  if (Keyset* found = keysets_.Find(upper)) return found;
  if (!create) return nullptr;
  auto keyset = std::make_unique<Keyset>(upper);
  return keysets_.Insert(std::move(upper), std::move(keyset));
}

}  // namespace orvo
