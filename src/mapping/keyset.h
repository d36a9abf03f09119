#pragma once
// The per-application mapping model: a Keyset per application (named after its upper-cased
// executable base name, DEFAULT for all others), holding a ControlMapping per mapped
// control, and the Mapper that owns every Keyset.
//
// Threads: the editor (GUI thread) adds Keysets and mappings and edits their fields while
// the focus finder, the read thread (dispatch) and the MIDI threads read them. Lookups
// take no lock (see BucketTable); every field that changes after creation is an atomic or
// a SharedText. Keysets live until the Mapper is destroyed at exit. A Keyset read again
// from its file puts a new mapping table in force; the old one is freed once no reader
// can still be using it (readers off the main thread hold a MappingReader).
#include <array>
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

  // The mappings in force, held for as long as the reader lives: a table replaced
  // meanwhile is not freed before it is gone, so a reader sees the old table or the new
  // one, never a mix and never a freed one. Any thread; takes no lock, never allocates.
  class MappingReader {
   public:
    explicit MappingReader(const Keyset& keyset) : keyset_(keyset) {
      // Counted under the epoch it saw still in force after counting, so that a writer
      // that flipped the epoch meanwhile never misses it.
      for (;;) {
        epoch_ = keyset_.epoch_.load(std::memory_order_seq_cst);
        keyset_.readers_[epoch_].fetch_add(1, std::memory_order_seq_cst);
        if (keyset_.epoch_.load(std::memory_order_seq_cst) == epoch_) break;
        keyset_.readers_[epoch_].fetch_sub(1, std::memory_order_release);
      }
      table_ = keyset_.current_.load(std::memory_order_seq_cst);
    }
    ~MappingReader() { keyset_.readers_[epoch_].fetch_sub(1, std::memory_order_release); }
    MappingReader(const MappingReader&) = delete;
    MappingReader& operator=(const MappingReader&) = delete;

    ControlMapping* Find(orvo::ControlId id) const { return table_->Find(id); }
    template <class F>
    void ForEach(F&& f) const {
      table_->ForEach(std::forward<F>(f));
    }

   private:
    const Keyset& keyset_;
    uint32_t epoch_ = 0;
    const BucketTable<orvo::ControlId, ControlMapping, ControlIdBucket>* table_ = nullptr;
  };

  // The mapping of `id`, or nullptr. The main thread (which reads files again, so the
  // mapping stays valid until it returns to its loop), or a thread the Keyset is not read
  // again on; other threads use a MappingReader.
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
  // new one. The old table is freed as soon as no MappingReader can hold it, at the
  // latest at a later call once the readers inside now have left, so memory stays
  // bounded however often a file changes. Main thread.
  void TakeContentOf(Keyset& read);
  // Tables replaced and not yet freed (readers were inside when they were replaced).
  std::size_t RetiredTables() const;

 private:
  using MappingTable = BucketTable<orvo::ControlId, ControlMapping, ControlIdBucket>;
  MappingTable& Mappings() const { return *current_.load(std::memory_order_acquire); }

  mutable std::mutex tablesMutex_;
  std::unique_ptr<MappingTable> table_ = std::make_unique<MappingTable>();  // the one in force
  std::atomic<MappingTable*> current_{table_.get()};
  // Frees what no reader can hold any more; flips the epoch when the one before has
  // drained. tablesMutex_ held.
  void FreeUnreadTables();

  // Readers count themselves under the epoch in force when they came in. A table
  // replaced before a flip is held only by readers of the epoch before it: once their
  // count is 0 it is freed.
  std::vector<std::unique_ptr<MappingTable>> retired_;   // replaced since the last flip
  std::vector<std::unique_ptr<MappingTable>> draining_;  // replaced before it
  mutable std::atomic<uint32_t> epoch_{0};
  mutable std::array<std::atomic<uint32_t>, 2> readers_{};
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
