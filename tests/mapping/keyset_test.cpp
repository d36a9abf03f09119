#include "mapping/keyset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace orvo {
namespace {

std::vector<ControlId> Order(const Keyset& keyset) {
  std::vector<ControlId> ids;
  keyset.ForEachMapping([&](ControlId id, const ControlMapping& mapping) {
    EXPECT_EQ(id, mapping.ControlId);
    ids.push_back(id);
  });
  return ids;
}

TEST(Mapper, FindOrCreateUpperCasesWhileLookupIsExact) {
  Mapper mapper;
  Keyset* created = mapper.FindOrCreate("ProTools", true);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(created->Name, "PROTOOLS");
  EXPECT_EQ(mapper.FindOrCreate("protools", false), created);
  EXPECT_EQ(mapper.FindOrCreate("protools", true), created);
  EXPECT_EQ(mapper.Lookup("PROTOOLS"), created);
  EXPECT_EQ(mapper.Lookup("protools"), nullptr);
  EXPECT_EQ(mapper.FindOrCreate("cubase", false), nullptr);
  EXPECT_EQ(mapper.Count(), 1u);
}

TEST(Mapper, NewKeysetAndMappingHaveTheDefaults) {
  Mapper mapper;
  const Keyset& keyset = *mapper.FindOrCreate("new", true);
  EXPECT_EQ(keyset.DeviceMode.load(), kModeHost);
  EXPECT_TRUE(keyset.MidiInPort.Empty());
  EXPECT_TRUE(keyset.MidiOutPort.Empty());
  EXPECT_EQ(keyset.MidiInHandle.load(), kNoMidiHandle);
  EXPECT_EQ(keyset.MidiOutHandle.load(), kNoMidiHandle);
  EXPECT_EQ(keyset.Count(), 0u);
  EXPECT_EQ(mapper.DefaultKeyset(), nullptr);

  const ControlMapping mapping(*LookupControlById(1204));
  EXPECT_EQ(mapping.ControlId, 1204);
  EXPECT_EQ(&mapping.Descriptor, LookupControlById(1204));
  EXPECT_EQ(mapping.KeyFlags.load(), kNoKey);
  EXPECT_EQ(mapping.KeyCode.load(), 24);
  EXPECT_EQ(mapping.Label.Get(), "");
  EXPECT_EQ(mapping.MapType.load(), MapType::kNative);
  EXPECT_EQ(mapping.DataA.load(), 0);
  EXPECT_EQ(mapping.DataB.load(), 0);
}

TEST(Keyset, EnumeratesBucketsInTurnLatestFirst) {
  Keyset keyset("APP");
  for (ControlId id : {1000, 1270, 1088}) keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(id)));
  EXPECT_EQ(Order(keyset), (std::vector<ControlId>{1088, 1270, 1000}));

  // A whole table: ascending buckets; within one, reverse order of entry.
  Keyset all("ALL");
  for (const ControlDescriptor& row : kControls) all.SetMapping(std::make_unique<ControlMapping>(row));
  const auto ids = Order(all);
  ASSERT_EQ(ids.size(), kControlRowCount);
  for (std::size_t i = 1; i < ids.size(); ++i) {
    const auto before = (ids[i - 1] / 16) % 17, after = (ids[i] / 16) % 17;
    EXPECT_TRUE(before < after || (before == after && ids[i - 1] > ids[i])) << ids[i - 1] << " then " << ids[i];
  }
}

TEST(Keyset, SetMappingNeverReplaces) {
  Keyset keyset("APP");
  ControlMapping* first = keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(1204)));
  first->Label.Set("first");
  ControlMapping* again = keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(1204)));
  EXPECT_EQ(again, first);
  EXPECT_EQ(keyset.LookupMapping(1204)->Label.Get(), "first");
  EXPECT_EQ(keyset.Count(), 1u);
  EXPECT_EQ(keyset.LookupMapping(1205), nullptr);
}

TEST(Mapper, EnumeratesByNameBucketLatestFirst) {
  Mapper mapper;
  std::vector<std::string> created;
  for (int i = 0; i < 40; ++i) created.push_back(mapper.FindOrCreate("app" + std::to_string(i), true)->Name);

  std::vector<std::string> seen;
  mapper.ForEachKeyset([&](const std::string& name, const Keyset& keyset) {
    EXPECT_EQ(name, keyset.Name);
    seen.push_back(name);
  });
  ASSERT_EQ(seen.size(), created.size());
  std::map<std::string, std::size_t> createdAt;
  for (std::size_t i = 0; i < created.size(); ++i) createdAt[created[i]] = i;
  bool sawSharedBucket = false;
  for (std::size_t i = 1; i < seen.size(); ++i) {
    const auto before = NameBucket{}(seen[i - 1]) % 17, after = NameBucket{}(seen[i]) % 17;
    EXPECT_LE(before, after);
    if (before == after) {
      sawSharedBucket = true;
      EXPECT_GT(createdAt[seen[i - 1]], createdAt[seen[i]]);
    }
  }
  EXPECT_TRUE(sawSharedBucket);  // 40 names in 17 buckets
}

// Readers on other threads walk and look up while the editor adds Keysets and mappings.
TEST(Mapper, ReadersStaySafeWhileTheEditorInserts) {
  Mapper mapper;
  Keyset* shown = mapper.FindOrCreate("SHOWN", true);
  std::atomic<bool> done{false};
  std::atomic<long> passes{0};
  std::thread reader([&] {
    long found = 0;
    for (; !done.load(); ++passes) {
      for (ControlId id = kFirstControlId; id <= kLastControlId; ++id)
        if (const ControlMapping* m = shown->LookupMapping(id)) found += m->KeyFlags.load() == kNoKey;
      shown->ForEachMapping([&](ControlId, const ControlMapping& m) { found += static_cast<uint8_t>(m.MapType.load()); });
      found += mapper.FindOrCreate("app7", false) != nullptr;
      mapper.ForEachKeyset([&](const std::string&, const Keyset& k) { found += k.DeviceMode.load(); });
    }
    EXPECT_GT(found, 0);
  });
  while (passes.load() == 0) std::this_thread::yield();
  for (const ControlDescriptor& row : kControls) {
    auto mapping = std::make_unique<ControlMapping>(row);
    mapping->MapType = MapType::kCustom1Status;
    shown->SetMapping(std::move(mapping))->KeyFlags = kNoKey;
  }
  for (int i = 0; i < 50; ++i) mapper.FindOrCreate("app" + std::to_string(i), true)->DeviceMode = kModeStandard;
  const long before = passes.load();
  while (passes.load() < before + 2) std::this_thread::yield();  // readers saw the full tables too
  done = true;
  reader.join();
  EXPECT_EQ(shown->Count(), kControlRowCount);
  EXPECT_EQ(mapper.Count(), 51u);
}

// A Keyset read again from its file while a reader on another thread walks it: the
// reader finds every mapping of one version or every mapping of the other, never a mix,
// and never a freed table (the sanitizer build says so); replaced tables are freed, so
// memory stays bounded however often the file changes.
TEST(Keyset, ReadAgainSwapsAllMappingsAtOnceAndFreesTheOldTable) {
  Keyset keyset("SEQ");
  auto fill = [](Keyset& into, uint8_t version) {
    for (ControlId id : {ControlId{1000}, ControlId{1204}, ControlId{1224}})
      into.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(id)))->DataA = version;
  };
  fill(keyset, 0);
  std::atomic<bool> done{false};
  std::atomic<long> mixed{0}, passes{0};
  std::thread reader([&] {
    for (; !done.load(); ++passes) {
      uint8_t versions[3];
      std::size_t n = 0;
      const Keyset::MappingReader mappings(keyset);
      mappings.ForEach([&](ControlId, const ControlMapping& m) { versions[n < 3 ? n++ : 2] = m.DataA.load(); });
      if (n != 3 || versions[0] != versions[1] || versions[1] != versions[2]) ++mixed;
      if (!mappings.Find(1204)) ++mixed;
    }
  });
  while (passes.load() == 0) std::this_thread::yield();
  for (int version = 1; version <= 2000; ++version) {
    Keyset read("SEQ");
    fill(read, static_cast<uint8_t>(version));
    read.DeviceMode = version;
    keyset.TakeContentOf(read);
    EXPECT_EQ(read.Count(), 0u);
  }
  done = true;
  reader.join();
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_EQ(keyset.LookupMapping(1204)->DataA.load(), 2000 % 256);
  EXPECT_EQ(keyset.DeviceMode.load(), 2000);
  // With the reader gone, the next reload frees every table replaced.
  Keyset again("SEQ");
  fill(again, 2000 % 256);
  keyset.TakeContentOf(again);
  EXPECT_EQ(keyset.RetiredTables(), 0u);

  // A reader inside keeps what it holds through any number of reloads.
  {
    const Keyset::MappingReader held(keyset);
    for (int version = 1; version <= 5; ++version) {
      Keyset read("SEQ");
      fill(read, static_cast<uint8_t>(version));
      keyset.TakeContentOf(read);
    }
    EXPECT_EQ(held.Find(1204)->DataA.load(), 2000 % 256);
    EXPECT_EQ(keyset.RetiredTables(), 5u);
  }
  Keyset last("SEQ");
  keyset.TakeContentOf(last);
  EXPECT_EQ(keyset.RetiredTables(), 0u);
}

}  // namespace
}  // namespace orvo
