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
    std::unique_ptr<MappingTable> table = std::exchange(read.tables_.back(), std::make_unique<MappingTable>());
    read.current_.store(read.tables_.back().get(), std::memory_order_release);
    current_.store(table.get(), std::memory_order_release);
    tables_.push_back(std::move(table));
  }
  MidiInPort.Set(read.MidiInPort.Get());
  MidiOutPort.Set(read.MidiOutPort.Get());
  DeviceMode.store(read.DeviceMode.load());
  FileLines.TakeFrom(read.FileLines);
}

Keyset* Mapper::FindOrCreate(std::string_view name, bool create) {
  std::string upper = UpperCased(name);
  if (Keyset* found = keysets_.Find(upper)) return found;
  if (!create) return nullptr;
  auto keyset = std::make_unique<Keyset>(upper);
  return keysets_.Insert(std::move(upper), std::move(keyset));
}

}  // namespace orvo
