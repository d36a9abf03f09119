#pragma once
// The per-application mapping model: a Keyset per application (named after its upper-cased
// executable base name, DEFAULT for all others), holding a ControlMapping per mapped
// control, and the Mapper that owns every Keyset.
//
// Threads: the editor (GUI thread) adds Keysets and mappings and edits their fields while
// the focus finder, the read thread (dispatch) and the MIDI threads read them. Lookups
// take no lock (see BucketTable); every field that changes after creation is an atomic or
// a SharedText. Nothing is ever removed before the Mapper is destroyed at exit: a Keyset
// read again from its file puts a new mapping table in force and keeps the old one.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/bucket_table.h"
#include "mapping/kept_file_lines.h"
#include "mapping/map_type.h"
#include "mapping/shared_text.h"
#include "platform/midi_system.h"
#include "protocol/control_table.h"
#include "protocol/lamp_memory.h"
#include "protocol/protocol_state.h"

namespace orvo {

// The low half of KeyFlags: the modifiers, or kNoKey when no keystroke is assigned.
inline constexpr uint32_t kModCtrl = 1;
inline constexpr uint32_t kModAlt = 2;
inline constexpr uint32_t kModShift = 4;
inline constexpr uint32_t kNoKey = 24;
// The high half: the captured key-down's scan code (bits 16-23) and extended flag (bit 24).
inline constexpr uint32_t kKeyFlagsExtended = 1u << 24;

constexpr bool HasKeystroke(uint32_t keyFlags) { return (keyFlags & 0xFFFF) != kNoKey; }
constexpr uint16_t ScanCodeOf(uint32_t keyFlags) { return static_cast<uint16_t>((keyFlags >> 16) & 0xFF); }

// What one control does in one Keyset.
struct ControlMapping {
  // For the control of `row`, with no keystroke, no label and the native message.
  explicit ControlMapping(const ControlDescriptor& row) : ControlId(row.id), Descriptor(row) {}
  ControlMapping(const ControlMapping&) = delete;
  ControlMapping& operator=(const ControlMapping&) = delete;

  const orvo::ControlId ControlId;
  const ControlDescriptor& Descriptor;
  std::atomic<uint32_t> KeyFlags{kNoKey};
  std::atomic<int32_t> KeyCode{static_cast<int32_t>(kNoKey)};
  SharedText Label;
  std::atomic<orvo::MapType> MapType{orvo::MapType::kNative};
  std::atomic<uint8_t> DataA{0};  // replacement status byte
  std::atomic<uint8_t> DataB{0};  // replacement data byte
};

// Whether the mapping does anything: a keystroke, a label or a MIDI rule. Selecting a
// control makes a blank mapping, which does nothing.
bool MapsSomething(const ControlMapping& mapping);
// Makes the mapping blank again (mappings stay in their table while the Keyset lives).
void ClearMapping(ControlMapping& mapping);

struct ControlIdBucket {
  std::size_t operator()(orvo::ControlId id) const { return static_cast<uint32_t>(id) / 16; }
};

// One application's mapping set, its device mode and its two MIDI ports. Port names are
// the application's view: the application receives on MidiInPort (our output) and sends
// on MidiOutPort (our input).
class Keyset {
 public:
  explicit Keyset(std::string name) : Name(std::move(name)) {}
  Keyset(const Keyset&) = delete;
  Keyset& operator=(const Keyset&) = delete;

  const std::string Name;  // upper case; never changes
  std::atomic<int32_t> DeviceMode{kModeHost};
  SharedText MidiOutPort;
  std::atomic<orvo::MidiInHandle> MidiInHandle{kNoMidiHandle};
  SharedText MidiInPort;
  std::atomic<orvo::MidiOutHandle> MidiOutHandle{kNoMidiHandle};
  KeptFileLines FileLines;  // what its file holds beyond the fields above
  LampMemory Lamps;         // what its application last wrote to the surface's lamps

  // The mapping of `id`, or nullptr. Any thread, no lock.
  ControlMapping* LookupMapping(orvo::ControlId id) const { return Mappings().Find(id); }
  // Enters `mapping` under its ControlId unless the control has one already; returns the
  // mapping in force for the control.
  ControlMapping* SetMapping(std::unique_ptr<ControlMapping> mapping) {
    const orvo::ControlId id = mapping->ControlId;
    return Mappings().Insert(id, std::move(mapping));
  }
  std::size_t Count() const { return Mappings().Count(); }
  // f(ControlId, ControlMapping&) for every mapping: buckets of 16 ControlIds in turn
  // ((id / 16) mod 17, buckets 0..16), the latest entered first within a bucket.
  template <class F>
  void ForEachMapping(F&& f) const {
    Mappings().ForEach(std::forward<F>(f));
  }

  // Puts the mappings, ports, mode and file lines of `read` (a Keyset just read from this
  // Keyset's file) in force in one step: a lookup finds either every old mapping or every
  // new one. The old mappings stay alive until exit, so that a reader still holding one
  // is safe. Main thread.
  void TakeContentOf(Keyset& read);

 private:
  using MappingTable = BucketTable<orvo::ControlId, ControlMapping, ControlIdBucket>;
  MappingTable& Mappings() const { return *current_.load(std::memory_order_acquire); }

  std::mutex tablesMutex_;
  std::vector<std::unique_ptr<MappingTable>> tables_ = MakeFirstTable();  // every table, the current last
  std::atomic<MappingTable*> current_{tables_.back().get()};

  static std::vector<std::unique_ptr<MappingTable>> MakeFirstTable() {
    std::vector<std::unique_ptr<MappingTable>> tables;
    tables.push_back(std::make_unique<MappingTable>());
    return tables;
  }
};

// FNV-1a: spreads application names over the buckets.
struct NameBucket {
  std::size_t operator()(const std::string& name) const {
    uint32_t hash = 2166136261u;
    for (unsigned char ch : name) hash = (hash ^ ch) * 16777619u;
    return hash;
  }
};

// Gives `to` a copy of every mapping of `from` that does something, for a control `to`
// has none for yet ("&New Keyset" from a copy of DEFAULT). Ports and mode stay `to`'s.
void CopyMappings(const Keyset& from, Keyset& to);

// Upper-cases the ASCII letters; other bytes stay as they are.
std::string UpperCased(std::string_view name);

// The registry of every Keyset, keyed by upper-cased name. Owns the Keysets.
class Mapper {
 public:
  static constexpr std::string_view kDefaultName = "DEFAULT";

  Mapper() = default;
  Mapper(const Mapper&) = delete;
  Mapper& operator=(const Mapper&) = delete;

  // The Keyset of the upper-cased `name`; when there is none, a new empty one if
  // `create`, else nullptr. Any thread; creation from one thread at a time is expected
  // (the loader at start-up, then the editor) but is safe from several.
  Keyset* FindOrCreate(std::string_view name, bool create);
  // The Keyset stored under exactly `name` (no upper-casing), or nullptr.
  Keyset* Lookup(const std::string& name) const { return keysets_.Find(name); }
  std::size_t Count() const { return keysets_.Count(); }
  // f(name, Keyset&) for every Keyset, in the table's order (name hash, then latest first).
  template <class F>
  void ForEachKeyset(F&& f) const {
    keysets_.ForEach(std::forward<F>(f));
  }

  // The fallback Keyset; never nullptr once the Keysets are loaded.
  Keyset* DefaultKeyset() const { return default_.load(std::memory_order_acquire); }
  void SetDefaultKeyset(Keyset* keyset) { default_.store(keyset, std::memory_order_release); }

 private:
  BucketTable<std::string, Keyset, NameBucket> keysets_;
  std::atomic<Keyset*> default_{nullptr};
};

}  // namespace orvo
